#ifndef EDIDWINDOWFIXTURE_H
#define EDIDWINDOWFIXTURE_H

#include "edidmanagement.h"
#include "recordingcontrollers.h"
#include "scripteddialogs.h"
#include "ui_mainui.h"

#include <QObject>
#include <QScopedPointer>
#include <QString>
#include <QTemporaryDir>

// The main window with the real EDID viewer and editor (reading monitors from `drmRoot`) and
// doubles of the other controllers. `Window` is the test's subclass of MainWin that opens up the
// members the test looks at.
template <class Window>
struct EdidWindowFixture {
    RecordingControllerFactory factory;
    QScopedPointer<Window> window;
    explicit EdidWindowFixture(const QString& drmRoot)
    {
        factory.realViewerDrmRoot = drmRoot;
        window.reset(new Window(&factory));
    }
    Ui_MainUI* ui() const { return window->form(); }
    EdidManagement* editor() const { return factory.edidViewer->edidManagement(); }
};

// Base of the test objects that use the fixture: every dialog scripted (cleared before each test),
// no update server (downloads fail at once on a closed local port) and a DRM folder without
// monitors.
class EdidWindowTest : public QObject
{
    Q_OBJECT

protected:
    ScriptedDialogs dialogs;
    QScopedPointer<ScriptedDialogs::Scope> scope;
    QTemporaryDir drm; // no monitors

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
};

#endif // EDIDWINDOWFIXTURE_H
