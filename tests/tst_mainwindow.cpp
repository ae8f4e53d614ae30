// The main window's construction, connections, start state, window events and shutdown, driven
// on recording doubles of the controllers.
#include "plexatest.h"
#include "connections.h"
#include "endpoints.h"
#include "mainwin.h"
#include "recordingcontrollers.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "ui_mainui.h"
#include "updatedownloadmanager.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

// The window with its members in reach of the test.
class TestableWindow : public MainWin
{
public:
    using MainWin::MainWin;
    using MainWindow::closeEvent;
    using MainWindow::dropdownPending;
    using MainWindow::dropdownTimer;
    using MainWindow::scaler;
    using MainWindow::edidPlus;
    using MainWindow::summaryDock;
    using MainWindow::summaryVisible;
    using MainWindow::uploadEdidDialog;
};

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    ScriptedDialogs dialogs;
    QScopedPointer<ScriptedDialogs::Scope> scope;

    // A window on doubles; the factory outlives the window (it owns the doubles).
    struct Fixture {
        RecordingControllerFactory factory;
        QScopedPointer<TestableWindow> window;
        Fixture() { window.reset(new TestableWindow(&factory)); }
        Ui_MainUI* ui() const { return window->form(); }
    };

    // One window for the checks that only look; tests that change the window build their own.
    QScopedPointer<Fixture> shared;

private slots:
    void initTestCase()
    {
        initPlexaResources();
        // No server: every download fails at once on a closed port of this machine.
        Endpoints::setServer(QStringLiteral("http://127.0.0.1:9"));
        scope.reset(new ScriptedDialogs::Scope(dialogs));
        shared.reset(new Fixture);
    }
    void cleanupTestCase()
    {
        shared.reset();
        Endpoints::setServer(QString());
    }

    void controllersAreCreatedInOrder()
    {
        Fixture& f = *shared;
        QCOMPARE(f.factory.log.callsTo(QStringLiteral("ControllerFactory")),
                 (QStringList{"ControllerFactory::createSerialPort()", "ControllerFactory::createDiscovery()",
                              "ControllerFactory::createScaler()", "ControllerFactory::createOstrand()",
                              "ControllerFactory::createLunmora()", "ControllerFactory::createConverter()",
                              "ControllerFactory::createRolvaneControl()", "ControllerFactory::createKorvinaUpdater()",
                              "ControllerFactory::createUpdateTabControl()", "ControllerFactory::createCaltor()",
                              "ControllerFactory::createFirmwareUpdate()", "ControllerFactory::createEdidPlus()"}));
        // The summary text view goes to the EDID tools once.
        QCOMPARE(f.factory.log.count(QStringLiteral("EdidPlus::forwardIndexA(QTextEdit)")), 1);
    }

    // The real controllers are released with the window, so nothing of theirs outlives the run
    // (the leak checker of the sanitizer build fails the test otherwise).
    void realControllersAreReleasedWithTheWindow()
    {
        QPointer<QObject> scaler;
        QPointer<QObject> edidTools;
        {
            TestableWindow window(nullptr);
            scaler = window.scaler;
            edidTools = window.edidPlus;
            QVERIFY(scaler && edidTools);
        }
        QVERIFY(!scaler);
        QVERIFY(!edidTools);
    }

    void connections_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("connection");
        const QString w = QStringLiteral("MainWindow::MainUI ");
        auto row = [](const char* tag, const char* sender, const QString& connection) {
            QTest::newRow(tag) << sender << connection;
        };
        row("1", "selectEDIDFromDevice", "currentIndexChanged -> " + w + "selectEDIDFromDevice");
        row("2", "openEDIDFromDevice", "clicked -> " + w + "openEDIDFromDevice");
        row("3", "openEDIDFromFile", "clicked -> " + w + "openEDIDFromFile");
        row("4", "newEDID", "clicked -> " + w + "newEDID");
        row("5", "showAsText", "clicked -> " + w + "showSummaryWindow");
        row("6", "tabWidget", "currentChanged -> " + w + "tabChanged");
        row("7", "rebootButton", "clicked -> " + w + "rebootIpProduct");
        row("8", "wizardNext", "clicked -> " + w + "wizardNext");
        row("9", "wizardBack", "clicked -> " + w + "wizardBack");
        row("10", "selectEDIDFromMonitor", "currentIndexChanged -> " + w + "selectEDIDFromMonitor");
        row("11", "openEDIDFromMonitor", "clicked -> " + w + "openEDIDFromMonitor");
        row("12", "refreshEDIDModes", "clicked -> " + w + "refreshEDID");
        row("13", "saveToDevice", "clicked -> " + w + "uploadEDIDToDevice");
        row("14", "@updateTabControl", "FirmwareUpdateSignal -> " + w + "firmwareUpdateRouter");
        row("15", "updateBar", "valueChanged -> " + w + "changeUpdateBarNumber");
        row("16", "productCombobox", "activated -> " + w + "selectedProductChanged");
        row("17", "@tableSelection", "selectionChanged -> " + w + "selectedRowChanged");
        row("18", "@dropdownTimer", "timeout -> " + w + "updateProductDropdown");
        row("19", "@discovery", "refreshPerformed -> " + w + "updateProductDropdownFromDiscovery");
        row("20", "@discovery", "ipTableClicked -> " + w + "selectProductByMacAddress");
        row("21", "@scaler", "refreshImmediately -> " + w + "autoRefreshList");
        row("22", "@lunmora", "refreshImmediately -> " + w + "autoRefreshList");
        row("23", "@converter", "refreshImmediately -> " + w + "autoRefreshList");
        row("24", "@korvinaUpdater", "setUSBDiscover -> " + w + "converterDeviceCountCheckWrapper");
        row("25", "@converter", "setUSBDiscover -> " + w + "converterDeviceCountCheckWrapper");
        row("26", "@rolvane", "setUSBDiscover -> " + w + "converterDeviceCountCheckWrapper");
        row("27", "@scaler", "setFirmwareColorSignal -> UpdateTabControl::unnamed setFirmwareColors");
        row("28", "functionButtonGroup", "buttonClicked -> " + w + "setFunctionTab");
        row("MainWin hdbaseT", "@hdbaseT", "refreshImmediately -> " + w + "autoRefreshList");
        row("MainWin edidPlus refresh", "@edidPlus", "refreshImmediately -> " + w + "autoRefreshList");
        row("MainWin edidPlus firmware", "@edidPlus", "firmwareUpdateEvent -> UpdateTabControl::unnamed setFirmwareColors");
    }

    // Every connection the window makes reaches the slot it names.
    void connections()
    {
        QFETCH(QString, sender);
        QFETCH(QString, connection);
        Fixture& f = *shared;
        RecordingControllerFactory& c = f.factory;
        const QHash<QString, QObject*> named{
            {"@updateTabControl", c.updateTabControl}, {"@tableSelection", f.ui()->tableWidget->selectionModel()},
            {"@dropdownTimer", f.window->dropdownTimer}, {"@discovery", c.discovery}, {"@scaler", c.scaler},
            {"@lunmora", c.lunmora}, {"@converter", c.converter}, {"@korvinaUpdater", c.korvinaUpdater},
            {"@rolvane", c.rolvane}, {"@hdbaseT", c.hdbaseT}, {"@edidPlus", c.edidPlus}};
        QObject* object = sender.startsWith(QLatin1Char('@')) ? named.value(sender)
                                                               : f.window->findChild<QObject*>(sender);
        QVERIFY2(object, qPrintable(sender));
        const QStringList out = outgoingConnections(object);
        QVERIFY2(out.contains(connection), qPrintable(out.join(QLatin1String("\n"))));
    }

    void startState()
    {
        Fixture& f = *shared;
        Ui_MainUI* ui = f.ui();
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Velmo Plexa-T v2.8.7"));
        QCOMPARE(ui->tabWidget->currentIndex(), 0);
        QVERIFY(ui->tabWidget->tabBar()->isHidden());
        QCOMPARE(ui->tabWidget->property("state").toString(), QStringLiteral("on"));
        QCOMPARE(ui->ConfiguratorTabs->count(), 1);
        QCOMPARE(ui->ConfiguratorTabs->widget(0), ui->boosterTab);
        QCOMPARE(ui->ConfiguratorTabs->tabText(0), QStringLiteral("Booster"));
        QVERIFY(ui->ConfiguratorTabs->tabBar()->isHidden());
        for (QWidget* w : {static_cast<QWidget*>(ui->openEDIDFromDevice), static_cast<QWidget*>(ui->downloadButton),
                           static_cast<QWidget*>(ui->sorvaneBox), static_cast<QWidget*>(ui->openEDIDFromMonitor),
                           static_cast<QWidget*>(ui->downloadButtonMonitor), static_cast<QWidget*>(ui->scalerEDIDBox),
                           static_cast<QWidget*>(ui->selectProductFrame)})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(ui->ddcFrame->isHidden());
        QVERIFY(ui->boosterFrame->isHidden());
        QVERIFY(!ui->configTabMessage->isHidden());
        QVERIFY(!ui->configTabLogo->isHidden());
        QVERIFY(f.window->dropdownPending);
        // The first refresh arms the drop-down timer instead of filling the drop-down.
        QVERIFY(f.window->dropdownTimer->isActive());
        QVERIFY(f.window->dropdownTimer->isSingleShot());
        QVERIFY(!f.window->summaryVisible);
        QVERIFY(f.window->summaryDock->isHidden());
        QVERIFY(f.window->uploadEdidDialog->isHidden());
        QCOMPARE(f.window->uploadEdidDialog->windowTitle(), QStringLiteral("Upload EDID to device"));
        QCOMPARE(f.window->uploadEdidDialog->minimumWidth(), 500);
    }

    void shortDesktop_data()
    {
        QTest::addColumn<int>("desktop");
        QTest::addColumn<int>("height");
        QTest::newRow("909 px") << 909 << 841;
        QTest::newRow("910 px") << 910 << 956;
    }
    void shortDesktop()
    {
        QFETCH(int, desktop);
        QFETCH(int, height);
        MainWindow::setDesktopHeightForTests(desktop);
        Fixture f;
        MainWindow::setDesktopHeightForTests(0);
        QCOMPARE(f.window->height(), height);
    }

    void cleanUp_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("disconnects");
        QTest::newRow("Zarrick") << "Zarrick HDMI Switcher" << true;
        QTest::newRow("Cavrosh") << "Cavrosh" << true;
        QTest::newRow("case matters") << "zarrick" << false;
        QTest::newRow("other model") << "Palomir" << false;
        QTest::newRow("header") << "Connected Devices" << false;
    }
    // Quitting closes the scaler's TCP link only for the two models that use it; the EDID test
    // devices' monitor is ended in every case.
    void cleanUp()
    {
        QFETCH(QString, entry);
        QFETCH(bool, disconnects);
        Fixture f;
        f.ui()->productCombobox->addItem(entry);
        f.factory.log.clear();
        f.window->cleanUp();
        QCOMPARE(f.factory.log.contains(QStringLiteral("Scaler::TCPDisconnect()")), disconnects);
        QCOMPARE(f.factory.log.count(QStringLiteral("SorvaneInterface::monitoringClose()")), 1);
    }

    void closeEventStopsLoopsAndCloses()
    {
        Fixture f;
        f.factory.log.clear();
        QCloseEvent event;
        f.window->closeEvent(&event);
        QVERIFY(event.isAccepted());
        QCOMPARE(f.factory.log.calls(), (QStringList{"Scaler::clearRunFlag()", "Lunmora::deactivate()"}));
    }

    // Resizing an EDID tool button keeps 16 px icons and a small font; the button still gets the event.
    void toolButtonsKeepIconAndFont()
    {
        Fixture f;
        for (QToolButton* b : {f.ui()->newEDID, f.ui()->saveEDID, f.ui()->undoEDIDAll}) {
            b->setIconSize(QSize(40, 40));
            b->resize(b->width() + 7, b->height() + 3);
            QApplication::sendPostedEvents();
            QResizeEvent resize(b->size(), QSize()); // delivered directly, as a layout does
            QCoreApplication::sendEvent(b, &resize);
            QCOMPARE(b->iconSize(), QSize(16, 16));
            QCOMPARE(b->font().pointSize(), b == f.ui()->undoEDIDAll ? 6 : 7);
        }
    }

    void updateBarPercentage_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("percent bar") << 100 << 37 << "37%";
        QTest::newRow("byte count") << 2048 << 512 << "25%";
        QTest::newRow("truncated") << 3 << 1 << "33%";
        QTest::newRow("busy bar has no percentage") << 0 << 0 << "";
    }
    void updateBarPercentage()
    {
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(QString, text);
        Fixture f;
        f.ui()->updateBar->setRange(0, maximum);
        f.window->changeUpdateBarNumber(value);
        QCOMPARE(f.ui()->updateBarNumber->text(), text);
    }

    void manageEdidShowsOrHidesSummary()
    {
        Fixture f;
        f.window->show();
        // Dock hidden and not wanted: nothing changes.
        f.window->tabChanged(2);
        QVERIFY(f.window->summaryDock->isHidden());
        // Dock shown by hand, not wanted: the Details button hides it.
        f.window->summaryDock->show();
        f.window->summaryVisible = false;
        f.window->tabChanged(2);
        QVERIFY(f.window->summaryDock->isHidden());
        // Wanted: shown again.
        f.window->summaryVisible = true;
        f.window->tabChanged(2);
        QVERIFY(f.window->summaryDock->isVisible());
    }

    // Opening "Configure" on a scaler's or a splitter's entry refreshes that unit's page.
    void configureRefreshesScalerAndSplitterPage()
    {
        Fixture f;
        Device scalerUnit;
        scalerUnit.name = QStringLiteral("VGA to DVI Scaler");
        scalerUnit.portName = QStringLiteral("/dev/ttyUSB0");
        scalerUnit.type = 5;
        Device splitter;
        splitter.name = QStringLiteral("Farrund");
        splitter.portName = QStringLiteral("/dev/ttyUSB1");
        splitter.type = 8;
        f.factory.script.scalerDevices = {scalerUnit};
        f.factory.script.lunmoraDevices = {splitter};
        f.window->refreshList();
        emit f.factory.discovery->refreshPerformed(); // the first fill
        QComboBox* combo = f.ui()->productCombobox;

        const QList<QPair<QString, QStringList>> cases{
            {"VGA to DVI Scaler, /dev/ttyUSB0", {"Scaler::scalerTabChanged(1)"}},
            {"Farrund, /dev/ttyUSB1", {"Lunmora::tabChanged(1)"}},
            {"Connected Devices", {}},
        };
        for (const auto& c : cases) {
            combo->setCurrentIndex(combo->findText(c.first));
            QCOMPARE(combo->currentText(), c.first);
            f.factory.log.clear();
            f.window->tabChanged(1);
            QCOMPARE(f.factory.log.calls(), c.second);
        }
        combo->setCurrentIndex(combo->findText("VGA to DVI Scaler, /dev/ttyUSB0"));
        f.factory.log.clear();
        f.window->tabChanged(0);
        QVERIFY(f.factory.log.calls().isEmpty());
    }

    void functionButtons_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("productFrame");
        QTest::addColumn<QString>("state");
        QTest::newRow("discover") << -2 << 0 << false << "on";
        QTest::newRow("manage") << -3 << 1 << true << "off";
        QTest::newRow("edid") << -4 << 2 << false << "on";
    }
    void functionButtons()
    {
        QFETCH(int, id);
        QFETCH(int, page);
        QFETCH(bool, productFrame);
        QFETCH(QString, state);
        Fixture f;
        f.window->show();
        f.ui()->functionButtonGroup->button(id)->click();
        QCOMPARE(f.ui()->tabWidget->currentIndex(), page);
        QCOMPARE(f.ui()->selectProductFrame->isVisible(), productFrame);
        QCOMPARE(f.ui()->tabWidget->property("state").toString(), state);
        QVERIFY(f.ui()->tabWidget->tabBar()->isHidden());
        // Any other number changes nothing.
        f.window->setFunctionTab(7);
        QCOMPARE(f.ui()->tabWidget->currentIndex(), page);
    }

    // The outcome colour a page gives the status bar is the colour painted under the application
    // style sheet, also after the sheet re-polishes the bar (which puts back the palette the bar
    // was first polished with) and after a page's own download fails.
    void statusColourIsPainted()
    {
        Fixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.data()));
        QStatusBar* bar = f.ui()->statusBar;
        const QColor failure(255, 70, 50);
        const QColor success(0, 220, 255);
        const auto painted = [bar](const QColor& colour) {
            const QImage image = bar->grab().toImage();
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += QColor(image.pixel(x, y)) == colour;
            return count;
        };
        // As the pages do it: a copy of the bar's palette with the colour, or the colour alone.
        const auto give = [bar](const QColor& colour, bool alone) {
            QPalette palette = alone ? QPalette() : bar->palette();
            palette.setColor(QPalette::WindowText, colour);
            bar->setPalette(palette);
        };
        const auto repolish = [bar] {
            bar->style()->unpolish(bar);
            bar->style()->polish(bar);
        };
        const auto shows = [&](const QColor& colour, const QColor& other) {
            bar->repaint();
            return painted(colour) > 20 && painted(other) == 0;
        };
        bar->showMessage(QStringLiteral("Firmware zip file was downloaded"));
        for (const bool alone : {false, true}) {
            give(success, alone);
            QVERIFY(shows(success, failure));
            give(failure, alone);
            QVERIFY(shows(failure, success));
            repolish();
            QVERIFY2(shows(failure, success), "a re-polish brought the earlier colour back");
            give(success, alone);
            repolish();
            QVERIFY(shows(success, failure));
        }

        // A page's own failure, through its own code: the products XML download (no server).
        updateDownloadManager downloads(f.ui());
        QSignalSpy done(&downloads, SIGNAL(finishedDownloadingProductsXML(bool)));
        QVERIFY(downloads.getProductsXML());
        QVERIFY(done.wait(10000));
        QCOMPARE(bar->currentMessage(), QStringLiteral("Error occurred while downloading."));
        repolish();
        QVERIFY(shows(failure, success));
    }
};

PLEXA_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
