#ifndef CALTORFIXTURE_H
#define CALTORFIXTURE_H

// The main form and the real Caltor page over the simulated unit (tests/sim/caltorsim), with
// dialogs answered by what they show and the status bar's messages logged.
#include "caltor.h"
#include "caltorsim.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "ui_mainui.h"

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QSerialPort>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <functional>
#include <memory>

// Answers dialogs by what they show: `answer(title, text)` returns a button, a text for item
// choices, or an invalid value for the default answer.
class PageDialogs : public ScriptedDialogs
{
public:
    std::function<QVariant(const QString& title, const QString& text)> answer;

    QMessageBox::StandardButton message(Kind kind, QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        const QVariant a = answer ? answer(title, text) : QVariant();
        if (a.isValid())
            answerButton(QMessageBox::StandardButton(a.toInt()));
        return ScriptedDialogs::message(kind, parent, title, text, buttons, a.isValid() ? defaultButton : QMessageBox::Ok);
    }
    QString item(QWidget* parent, const QString& title, const QString& label, const QStringList& items, int current,
                 bool editable, bool* ok) override
    {
        const QVariant a = answer ? answer(title, label) : QVariant();
        if (a.isValid())
            answerText(a.toString());
        return ScriptedDialogs::item(parent, title, label, items, current, editable, ok);
    }
    QStringList titles() const
    {
        QStringList list;
        for (const Shown& s : shown())
            list.append(s.title);
        return list;
    }
    QString textOf(const QString& title) const
    {
        for (const Shown& s : shown()) {
            if (s.title == title)
                return s.text;
        }
        return QString();
    }
};

struct Fixture {
    QMainWindow window;
    Ui_MainUI ui;
    std::unique_ptr<Caltor> page;
    CaltorSim unit;
    PageDialogs dialogs;
    ScriptedDialogs::Scope scope{dialogs};
    QStringList statusLog;
    QTemporaryDir dir;

    Fixture()
    {
        ui.setupUi(&window);
        page = std::make_unique<Caltor>(&ui);
        QObject::connect(ui.statusBar, &QStatusBar::messageChanged, [this](const QString& text) {
            if (!text.isEmpty())
                statusLog.append(text);
        });
        page->setPcAddressesForTest({QStringLiteral("127.0.0.1")});
        page->tftpListenPort = freeUdpPort();
        unit.setTftpServerPort(page->tftpListenPort);
        unit.start();
        // The COM port choice takes the unit's port; the "Select PC" choice is not asked with
        // one address.
        dialogs.answer = [this](const QString& title, const QString&) -> QVariant {
            if (title == QLatin1String("Serial Port connection"))
                return unit.portName();
            return QVariant();
        };
    }
    ~Fixture() { SerialPortLister::clearRegisteredPorts(); }

    static quint16 freeUdpPort()
    {
        QUdpSocket probe;
        probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
        return probe.localPort();
    }
    // A package folder with the given images.
    QString package(const QMap<QString, QByteArray>& files)
    {
        const QString folder = dir.filePath(QStringLiteral("pkg"));
        QDir().mkpath(folder);
        for (auto it = files.begin(); it != files.end(); ++it) {
            QFile f(folder + QLatin1Char('/') + it.key());
            f.open(QIODevice::WriteOnly);
            f.write(it.value());
        }
        ui.firmwareFolder->setText(folder);
        return folder;
    }
    // The link as the package flow leaves it before the module update: 57600 baud, unit found
    // at `code` earlier.
    void linkAt57600(int foundCode)
    {
        unit.setBaudCode(2);
        page->portName = unit.portName();
        page->serial()->setBaudRate(57600);
        QVERIFY(page->openPort());
        page->baudIndex = foundCode;
        page->hostIpAddress = QStringLiteral("127.0.0.1");
        page->ipAddress = QStringLiteral("127.0.0.1");
    }
    bool statusShown(const QString& text) const { return statusLog.contains(text); }
};


#endif // CALTORFIXTURE_H
