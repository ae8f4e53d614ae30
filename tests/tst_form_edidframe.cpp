// The frame of the Manage EDID page: the EDID source strip, the editor's tool bar and the
// wizard's controls, which the main window and the EDID editor address by name.
#include "appfonts.h"
#include "formtestutil.h"
#include "plexatest.h"
#include "resources.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QScopeGuard>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>

namespace {

// Pixmaps keep premultiplied pixels: compare in that form, where fully transparent pixels agree.
QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class TestFormEdidFrame : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;

private slots:
    void initTestCase()
    {
        initPlexaResources();
        installApplicationFonts();
        ui.setupUi(&window);
    }

    void widgets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        const QRect inLayout;
        QTest::newRow("previewDownloadFrame_2") << "previewDownloadFrame_2" << "QFrame" << "tab_7" << QRect(10, 10, 551, 40) << "" << "";
        QTest::newRow("layoutWidget_46") << "layoutWidget_46" << "QWidget" << "previewDownloadFrame_2" << QRect(10, 5, 531, 32) << "" << "";
        QTest::newRow("selectEDIDFromMonitor") << "selectEDIDFromMonitor" << "QComboBox" << "layoutWidget_46" << inLayout
            << "Select EDID From Display" << "Select an EDID from the sorvane device or a connected display.";
        QTest::newRow("downloadButtonMonitor") << "downloadButtonMonitor" << "QPushButton" << "layoutWidget_46" << inLayout
            << "Save As" << "Download selected EDID.";
        QTest::newRow("openEDIDFromMonitor") << "openEDIDFromMonitor" << "QPushButton" << "layoutWidget_46" << inLayout << "View" << "";
        QTest::newRow("loadedEDID") << "loadedEDID" << "QLabel" << "EDIDPlusTabs" << QRect(10, 5, 551, 21) << "" << "";
        QTest::newRow("topMenuFrame") << "topMenuFrame" << "QFrame" << "EDIDPlusTabs" << QRect(125, 27, 180, 47) << "" << "";
        QTest::newRow("newEDID") << "newEDID" << "QToolButton" << "EDIDPlusTabs" << QRect(10, 30, 50, 41) << "New" << "New EDID";
        QTest::newRow("showAsText") << "showAsText" << "QToolButton" << "EDIDPlusTabs" << QRect(69, 30, 50, 41) << "Details" << "View Details";
        QTest::newRow("openEDIDFromFile") << "openEDIDFromFile" << "QToolButton" << "EDIDPlusTabs" << QRect(130, 30, 50, 41) << "Open" << "Open EDID from File";
        QTest::newRow("saveEDID") << "saveEDID" << "QToolButton" << "EDIDPlusTabs" << QRect(190, 30, 50, 41) << "Save" << "Save";
        QTest::newRow("editEDID") << "editEDID" << "QToolButton" << "EDIDPlusTabs" << QRect(250, 30, 50, 41) << "Edit" << "Edit";
        QTest::newRow("saveToDevice") << "saveToDevice" << "QToolButton" << "EDIDPlusTabs" << QRect(340, 30, 50, 41) << "Upload\nTo\nDevice" << "Save";
        QTest::newRow("undoEDID") << "undoEDID" << "QToolButton" << "EDIDPlusTabs" << QRect(440, 30, 51, 41) << "Undo" << "Undo";
        QTest::newRow("undoEDIDAll") << "undoEDIDAll" << "QToolButton" << "EDIDPlusTabs" << QRect(500, 30, 51, 41) << "Undo All" << "Undo All";
        QTest::newRow("wizardBack") << "wizardBack" << "QPushButton" << "EDIDPlusTabs" << QRect(10, 710, 91, 30) << "Back" << "Back";
        QTest::newRow("wizardPage") << "wizardPage" << "QLabel" << "EDIDPlusTabs" << QRect(400, 715, 70, 20) << "Page 1 of 7" << "";
        QTest::newRow("wizardNext") << "wizardNext" << "QPushButton" << "EDIDPlusTabs" << QRect(470, 710, 91, 30) << "Next" << "Next";
    }

    void widgets()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        auto* w = window.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(QString(w->metaObject()->className()), className);
        QCOMPARE(::parentName(w), parentName);
        if (geometry.isValid())
            QCOMPARE(w->geometry(), geometry);
        QString shown;
        if (auto* l = qobject_cast<QLabel*>(w))
            shown = l->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            shown = b->text();
        else if (auto* c = qobject_cast<QComboBox*>(w))
            shown = c->currentText();
        QCOMPARE(shown, text);
        QCOMPARE(w->toolTip(), toolTip);
        QVERIFY(w->isEnabled());
    }

    // The tool bar: icons from the resource bundle at their natural size, caption under the icon.
    void toolButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<bool>("checkable");
        QTest::addColumn<int>("maxWidth");
        QTest::addColumn<int>("hPolicy");
        QTest::addColumn<int>("vPolicy");
        const int none = QWIDGETSIZE_MAX;
        const int expanding = QSizePolicy::Expanding, preferred = QSizePolicy::Preferred, minimum = QSizePolicy::Minimum;
        QTest::newRow("newEDID") << "newEDID" << ":/images/Assets/EDID/BlankDocument.png" << false << 50 << expanding << expanding;
        QTest::newRow("showAsText") << "showAsText" << ":/images/Assets/EDID/ViewText.png" << true << 50 << minimum << expanding;
        QTest::newRow("openEDIDFromFile") << "openEDIDFromFile" << ":/images/Assets/EDID/DocumentOpen.png" << false << 50 << preferred << preferred;
        QTest::newRow("saveEDID") << "saveEDID" << ":/images/Assets/EDID/Save.png" << false << 50 << preferred << preferred;
        QTest::newRow("editEDID") << "editEDID" << ":/images/Assets/EDID/Edit.png" << false << 50 << preferred << preferred;
        QTest::newRow("saveToDevice") << "saveToDevice" << "" << false << 50 << preferred << preferred;
        QTest::newRow("undoEDID") << "undoEDID" << ":/images/Assets/LeftArrow.png" << false << none << preferred << preferred;
        QTest::newRow("undoEDIDAll") << "undoEDIDAll" << ":/images/Assets/UndoAll.png" << false << none << expanding << expanding;
    }

    void toolButtons()
    {
        QFETCH(QString, name);
        QFETCH(QString, icon);
        QFETCH(bool, checkable);
        QFETCH(int, maxWidth);
        QFETCH(int, hPolicy);
        QFETCH(int, vPolicy);
        auto* b = window.findChild<QToolButton*>(name);
        QVERIFY(b);
        QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QCOMPARE(b->isCheckable(), checkable);
        QVERIFY(!b->isChecked());
        QCOMPARE(b->maximumWidth(), maxWidth);
        QCOMPARE(int(b->sizePolicy().horizontalPolicy()), hPolicy);
        QCOMPARE(int(b->sizePolicy().verticalPolicy()), vPolicy);
        QVERIFY(!b->group());
        if (icon.isEmpty()) {
            QVERIFY(b->icon().isNull());
            return;
        }
        QVERIFY2(QFile::exists(icon), qPrintable(icon + " is missing from the resource bundle"));
        const QImage expected(icon);
        QCOMPARE(b->icon().availableSizes(), QList<QSize>{expected.size()});
        QCOMPARE(argb(b->icon().pixmap(expected.size()).toImage()), argb(expected));
    }

    void wizardArrows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("icon");
        QTest::newRow("wizardBack") << "wizardBack" << ":/images/Assets/LeftArrow.png";
        QTest::newRow("wizardNext") << "wizardNext" << ":/images/Assets/RightArrow.png";
    }

    void wizardArrows()
    {
        QFETCH(QString, name);
        QFETCH(QString, icon);
        auto* b = window.findChild<QPushButton*>(name);
        QVERIFY(b);
        QVERIFY2(QFile::exists(icon), qPrintable(icon + " is missing from the resource bundle"));
        const QImage expected(icon);
        QCOMPARE(argb(b->icon().pixmap(expected.size()).toImage()), argb(expected));
        QVERIFY(!b->isCheckable());
    }

    // The upload button carries a three-line caption and no picture.
    void uploadButton()
    {
        QCOMPARE(ui.saveToDevice->text().split(QLatin1Char('\n')), (QStringList{"Upload", "To", "Device"}));
        QCOMPARE(ui.saveToDevice->iconSize(), QSize(0, 0));
        QVERIFY(ui.saveToDevice->styleSheet().isEmpty());
    }

    void sourceStrip()
    {
        QCOMPARE(ui.horizontalLayout_12->parentWidget(), ui.layoutWidget_46);
        QCOMPARE(ui.horizontalLayout_12->count(), 3);
        QCOMPARE(ui.horizontalLayout_12->itemAt(0)->widget(), ui.selectEDIDFromMonitor);
        QCOMPARE(ui.horizontalLayout_12->itemAt(1)->widget(), ui.downloadButtonMonitor);
        QCOMPARE(ui.horizontalLayout_12->itemAt(2)->widget(), ui.openEDIDFromMonitor);
        QCOMPARE(ui.horizontalLayout_12->spacing(), 6);
        QCOMPARE(ui.horizontalLayout_12->contentsMargins(), QMargins());
        QCOMPARE(ui.previewDownloadFrame_2->frameShape(), QFrame::StyledPanel);
        QCOMPARE(ui.previewDownloadFrame_2->frameShadow(), QFrame::Raised);
        QCOMPARE(ui.topMenuFrame->frameShape(), QFrame::StyledPanel);
        QCOMPARE(ui.topMenuFrame->frameShadow(), QFrame::Raised);

        // The sources found at run time are added after the one entry of the form.
        QCOMPARE(ui.selectEDIDFromMonitor->count(), 1);
        QCOMPARE(ui.selectEDIDFromMonitor->itemText(0), QStringLiteral("Select EDID From Display"));
        QCOMPARE(ui.selectEDIDFromMonitor->currentIndex(), 0);
        QCOMPARE(ui.selectEDIDFromMonitor->minimumSize(), QSize(200, 30));
        QCOMPARE(ui.downloadButtonMonitor->minimumHeight(), 30);
        QCOMPARE(ui.openEDIDFromMonitor->minimumHeight(), 30);
        QCOMPARE(ui.openEDIDFromMonitor->maximumWidth(), 200);
    }

    void loadedEdidLabel()
    {
        QVERIFY(ui.loadedEDID->text().isEmpty());
        QCOMPARE(ui.loadedEDID->alignment(), Qt::AlignCenter);
        QVERIFY(ui.loadedEDID->wordWrap());
        QCOMPARE(ui.loadedEDID->layoutDirection(), Qt::LeftToRight);
    }

    // The editor's panel lies behind Open, Save and Edit, round them, clear of the file caption
    // above them.
    void stacking()
    {
        for (QToolButton* b : {ui.openEDIDFromFile, ui.saveEDID, ui.editEDID}) {
            QVERIFY2(ui.topMenuFrame->geometry().contains(b->geometry()), qPrintable(b->objectName()));
            QCOMPARE(ui.EDIDPlusTabs->childAt(b->geometry().center()), b);
        }
        QVERIFY(!ui.topMenuFrame->geometry().intersects(ui.loadedEDID->geometry()));
    }

    // The frame as shown in the application style (the editor's pages are the editor tests'):
    // its captions fit, nothing overlaps and nothing is cut off.
    void captionsFit()
    {
        qApp->setStyleSheet(plexaStyleSheet());
        QVERIFY(!qApp->styleSheet().isEmpty());
        // the program keeps the function tabs' own tab bar hidden, which gives the page its height
        ui.tabWidget->tabBar()->hide();
        const auto restore = qScopeGuard([this] {
            window.hide();
            ui.tabWidget->tabBar()->show();
            qApp->setStyleSheet(QString());
        });
        ui.loadedEDID->setText(QStringLiteral("Viewing File: Velmo Display"));
        bringToFront(ui.tab_7);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        settleLayouts(ui.tab_7);
        RenderExceptions exceptions = mainFormRenderExceptions();
        exceptions.skipped << QStringLiteral("managementTabs");
        const QStringList faults = renderFaults(ui.tab_7, exceptions);
        ui.loadedEDID->clear();
        VERIFY_RENDERS_CLEAN(faults);
    }
};

PLEXA_TEST_MAIN(TestFormEdidFrame)
#include "tst_form_edidframe.moc"
