// The scaler controller without a unit: construction, unit state, status bar, serial unit
// discovery and the device-count poll, the output widgets per generic scaler, page switching,
// the page wiring and the page utilities. Exchanges with simulated units: tst_scaler_channel.
#include "plexatest.h"
#include "formtestutil.h"
#include "scalerfixture.h"
#include "connections.h"
#include "constants.h"
#include "mybuttongroup.h"
#include "scaler.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QValidator>
#include <QVBoxLayout>

#include <memory>

namespace {

SerialPortEntry port(const QString& name, const QString& description)
{
    SerialPortEntry entry;
    entry.portName = name;
    entry.systemLocation = name;
    entry.description = description;
    entry.manufacturer = QStringLiteral("Velmo");
    entry.vendorId = 0x0483;
    entry.hasVendorId = true;
    entry.productId = 0x5740;
    entry.hasProductId = true;
    return entry;
}

QStringList buttonTexts(QWidget* frame)
{
    QStringList texts;
    for (QAbstractButton* b : frame->findChildren<QAbstractButton*>())
        texts.append(b->text());
    return texts;
}

} // namespace

class TestScaler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
    }

    void constructionBuildsPresetTabsAndTakesBaselineSilently()
    {
        // Units attached at start-up are the baseline, not a change.
        SerialPortLister::registerPort(port(QStringLiteral("/dev/ttyFAKE0"), QStringLiteral("CORMITH Scaler")));
        ScalerFixture f;
        QSignalSpy refresh(f.scaler.get(), SIGNAL(refreshImmediately()));
        QCOMPARE(f.ui.timingPresets->count(), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(f.ui.timingPresets->tabText(i), QStringLiteral("Preset %1").arg(i + 1));
        QCOMPARE(f.scaler->presets.size(), 6);
        QCOMPARE(f.scaler->lastDeviceCount, 1);
        QVERIFY(f.scaler->pollTimer->isActive());
        f.scaler->checkDeviceCount();
        QCOMPARE(refresh.count(), 0);
        // Hidden until a generic scaler is picked.
        QVERIFY(f.ui.outputResolutionFrame->isHidden());
        QVERIFY(f.ui.outputLockFrame->isHidden());
    }

    void inertConstructorOpensAndWiresNothing()
    {
        struct Inert : Scaler {
            explicit Inert(Ui_MainUI* ui) : Scaler(ui, NoSetup()) {}
        };
        QMainWindow window;
        Ui_MainUI ui;
        ui.setupUi(&window);
        Inert inert(&ui);
        QVERIFY(!inert.serialPort);
        QVERIFY(!inert.tcpSocket);
        QVERIFY(!inert.pollTimer);
        QVERIFY(inert.presets.isEmpty());
        QCOMPARE(ui.timingPresets->count(), 0);
        QVERIFY(outgoingConnections(ui.ConfiguratorTabs).filter(QStringLiteral("scalerTabChanged")).isEmpty());
    }

    // Plugging a unit in is reported once; the poll stays stopped until the list refresh answers,
    // and with polling off nothing is counted.
    void devicePollReportsCountChangesOnce()
    {
        ScalerFixture f;
        QSignalSpy refresh(f.scaler.get(), SIGNAL(refreshImmediately()));
        SerialPortLister::registerPort(port(QStringLiteral("/dev/ttyFAKE1"), QStringLiteral("FORNALE")));
        f.scaler->setPollingEnabled(false);
        f.scaler->checkDeviceCount();
        QCOMPARE(refresh.count(), 0);
        f.scaler->setPollingEnabled(true);
        f.scaler->checkDeviceCount();
        QCOMPARE(refresh.count(), 1);
        QVERIFY(!f.scaler->pollTimer->isActive());
        f.scaler->checkDeviceCount();
        QCOMPARE(refresh.count(), 1);

        QCOMPARE(f.scaler->updateDeviceList().size(), 1);
        QVERIFY(f.scaler->pollTimer->isActive());
        SerialPortLister::unregisterPort(QStringLiteral("/dev/ttyFAKE1"));
        QTRY_COMPARE(refresh.count(), 2);

        // A splitter's page has its own poll: a scaler plugged in meanwhile is not reported here.
        f.scaler->updateDeviceList();
        f.selectProductText(MODEL_FARRUND + QStringLiteral(" 1x4"));
        SerialPortLister::registerPort(port(QStringLiteral("/dev/ttyFAKE2"), QStringLiteral("Darvosk")));
        f.scaler->checkDeviceCount();
        QCOMPARE(refresh.count(), 2);
    }

    void findDevicesRecognisesModelCodes_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("name"); // empty: not a generic scaler
        QTest::addColumn<int>("type");
        QTest::newRow("3GSDI") << "CORMITH" << NAME_SCALER_HDMI_VGA_TO_3GSDI << 4;
        QTest::newRow("dashes and blanks") << "COR-MITH Scaler - A" << NAME_SCALER_HDMI_VGA_TO_3GSDI << 4;
        QTest::newRow("HDMI") << "Dar vosk" << NAME_SCALER_VGA_AUDIO_TO_HDMI << 6;
        QTest::newRow("DVI") << "FORNALE-2" << NAME_SCALER_VGA_TO_DVI << 5;
        QTest::newRow("other case") << "Cormith" << QString() << 0;
        QTest::newRow("code not first") << "USB CORMITH" << QString() << 0;
    }

    void findDevicesRecognisesModelCodes()
    {
        QFETCH(QString, description);
        QFETCH(QString, name);
        QFETCH(int, type);
        ScalerFixture f;
        SerialPortLister::registerPort(port(QStringLiteral("/dev/ttyFAKE3"), description));
        const QList<Device> devices = f.scaler->updateDeviceList();
        if (name.isEmpty()) {
            QVERIFY(devices.isEmpty());
            return;
        }
        QCOMPARE(devices.size(), 1);
        QCOMPARE(devices[0].name, name);
        QCOMPARE(devices[0].type, type);
        QCOMPARE(devices[0].portName, QStringLiteral("/dev/ttyFAKE3"));
        QCOMPARE(devices[0].vendorId, quint32(0x0483));
        QCOMPARE(devices[0].productId, quint32(0x5740));
        QCOMPARE(devices[0].manufacturer, QStringLiteral("Velmo"));
    }

    // The selected scaler unplugged: its state drops to 0 so tabs read nothing. A Zarrick unit
    // picked meanwhile is in no list of this poll and keeps its state.
    void listRefreshResetsStateOnlyForGenericScaler()
    {
        ScalerFixture f;
        SerialPortLister::registerPort(port(QStringLiteral("/dev/ttyFAKE4"), QStringLiteral("FORNALE")));
        SerialPortLister::registerPort(port(QStringLiteral("/dev/ttyFAKE5"), QStringLiteral("FORNALE")));
        const QList<Device> two = f.scaler->updateDeviceList();
        QCOMPARE(two.size(), 2);
        QCOMPARE(two[0].name, two[1].name);
        QVERIFY(two[0].portName != two[1].portName);

        f.selectProductText(QStringLiteral("Savrano HDMI 4x1, MAC: 02:1C:9A:0A:FF:3E ") + MODEL_ZARRICK);
        f.scaler->setState(1);
        f.scaler->updateDeviceList();
        QCOMPARE(f.scaler->deviceState, 1);

        f.scaler->selectedDevice = two[1];
        f.selectProductText(NAME_SCALER_VGA_TO_DVI + QStringLiteral(", /dev/ttyFAKE5"));
        f.scaler->updateDeviceList();
        QCOMPARE(f.scaler->deviceState, 1);
        SerialPortLister::unregisterPort(QStringLiteral("/dev/ttyFAKE5"));
        f.scaler->updateDeviceList();
        QCOMPARE(f.scaler->deviceState, 0);
        // Directly, not through setState: the pages keep their look.
        QVERIFY(f.ui.outputTab->isEnabled());
    }

    void updateDeviceListKeepsOldListWhileLinkIsBusy()
    {
        ScalerFixture f;
        SerialPortLister::registerPort(port(QStringLiteral("/dev/ttyFAKE6"), QStringLiteral("CORMITH")));
        QCOMPARE(f.scaler->updateDeviceList().size(), 1);
        SerialPortLister::unregisterPort(QStringLiteral("/dev/ttyFAKE6"));
        f.scaler->pollTimer->stop();
        f.ui.statusBar->showMessage(QStringLiteral("old"));
        f.scaler->availability = Scaler::OCCUPIED;
        QCOMPARE(f.scaler->updateDeviceList().size(), 1);
        QVERIFY(f.scaler->pollTimer->isActive());
        QVERIFY(f.ui.statusBar->currentMessage().isEmpty());
        f.scaler->availability = Scaler::AVAILABLE;
        QCOMPARE(f.scaler->updateDeviceList().size(), 0);
    }

    void setStateSwitchesGenericPagesOnChange()
    {
        ScalerFixture f;
        const QList<QWidget*> pages = {f.ui.outputTab, f.ui.timingTab, f.ui.edidConfigureTab, f.ui.osdTimeoutSpinBox,
                                       f.ui.scalerExportSettings};
        auto allEnabled = [&](bool enabled) {
            for (QWidget* w : pages) {
                if (w->isEnabled() != enabled)
                    return false;
            }
            return true;
        };
        f.scaler->setState(2);
        QVERIFY(allEnabled(false));
        // The same state again changes nothing, even when the pages were enabled meanwhile.
        f.ui.outputTab->setEnabled(true);
        f.scaler->setState(2);
        QVERIFY(f.ui.outputTab->isEnabled());
        // 0 changes no widget but makes the next 2 take effect.
        f.scaler->setState(0);
        QVERIFY(f.ui.outputTab->isEnabled());
        f.scaler->setState(2);
        QVERIFY(allEnabled(false));
        f.scaler->setState(1);
        QVERIFY(allEnabled(true));
        QCOMPARE(f.scaler->deviceState, 1);
    }

    // Only the last message's timer clears the bar.
    void statusMessageStaysThreeSecondsAfterTheLastOne()
    {
        // Coarser time than the other tests: the steps here must not blur into each other.
        const double factor = TimeScale::factor();
        TimeScale::setFactor(0.2);
        auto restore = qScopeGuard([factor] { TimeScale::setFactor(factor); });
        ScalerFixture f;
        f.scaler->showStatus(QStringLiteral("first"));
        QTest::qWait(TimeScale::ms(1000));
        f.scaler->showStatus(QStringLiteral("second"));
        QTest::qWait(TimeScale::ms(2300));
        QCOMPARE(f.ui.statusBar->currentMessage(), QStringLiteral("second"));
        QTRY_VERIFY_WITH_TIMEOUT(f.ui.statusBar->currentMessage().isEmpty(), 2000);
        QCOMPARE(f.ui.statusBar->palette().color(QPalette::WindowText), QColor(Qt::green));
    }

    void clearRunFlagStopsRunFlag()
    {
        ScalerFixture f;
        QVERIFY(f.scaler->runFlag);
        f.scaler->clearRunFlag();
        QVERIFY(!f.scaler->runFlag);
    }

    void showProductWidgetsPicksGridAndFrames_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<bool>("colorSpace");
        QTest::addColumn<bool>("outputLock");
        QTest::addColumn<bool>("colorRange");
        QTest::newRow("HDMI") << NAME_SCALER_VGA_AUDIO_TO_HDMI << 45 << true << false << true;
        QTest::newRow("DVI") << NAME_SCALER_VGA_TO_DVI << 45 << false << false << true;
        QTest::newRow("3GSDI") << NAME_SCALER_HDMI_VGA_TO_3GSDI << 22 << false << true << false;
    }

    void showProductWidgetsPicksGridAndFrames()
    {
        QFETCH(QString, product);
        QFETCH(int, buttons);
        QFETCH(bool, colorSpace);
        QFETCH(bool, outputLock);
        QFETCH(bool, colorRange);
        ScalerFixture f;
        f.window.show();
        // Another scaler first: its buttons must not stay in the shared frame.
        f.scaler->showProductWidgets(product == NAME_SCALER_HDMI_VGA_TO_3GSDI ? NAME_SCALER_VGA_TO_DVI
                                                                             : NAME_SCALER_HDMI_VGA_TO_3GSDI);
        f.scaler->showProductWidgets(product);
        QCOMPARE(buttonTexts(f.ui.outputResolutionFrame).size(), buttons);
        QVERIFY(!f.ui.outputResolutionFrame->isHidden());
        QCOMPARE(!f.ui.colorSpaceFrame->isHidden(), colorSpace);
        QCOMPARE(!f.ui.outputModeLabel->isHidden(), colorSpace);
        QCOMPARE(!f.ui.outputLockFrame->isHidden(), outputLock);
        QCOMPARE(!f.ui.colorRangeLabel->isHidden(), colorRange);

        // An unknown name changes nothing.
        f.scaler->showProductWidgets(QStringLiteral("Some Other Product"));
        QCOMPARE(buttonTexts(f.ui.outputResolutionFrame).size(), buttons);
    }

    void outputResolutionButtonsSendTheirListPosition()
    {
        ScalerFixture f;
        f.scaler->showProductWidgets(NAME_SCALER_VGA_TO_DVI);
        QSignalSpy sent(f.scaler->currentOutputResGroup, SIGNAL(sendCommand(QString, QString)));
        buttonWithText(f.ui.outputResolutionFrame, QStringLiteral("Auto-Detect"))->click();
        buttonWithText(f.ui.outputResolutionFrame, QStringLiteral("Bypass"))->click();
        buttonWithText(f.ui.outputResolutionFrame, QStringLiteral("2048x1080 50Hz"))->click();
        QCOMPARE(sent.count(), 3);
        QCOMPARE(sent[0], (QList<QVariant>{QStringLiteral("#SET_OUTPUT_RES"), QStringLiteral("21")}));
        QCOMPARE(sent[1].at(1).toString(), QStringLiteral("20"));
        QCOMPARE(sent[2].at(1).toString(), QStringLiteral("44"));
    }

    void editorFieldsRefuseOutOfRangeNumbers_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("contrast 100") << "contrastText" << "100" << true;
        QTest::newRow("contrast 101") << "contrastText" << "101" << false;
        QTest::newRow("scan -50") << "scanText" << "-50" << true;
        QTest::newRow("scan -51") << "scanText" << "-51" << false;
        QTest::newRow("shift -100") << "horizontalShiftText" << "-100" << true;
        QTest::newRow("shift 101") << "verticalShiftText" << "101" << false;
        QTest::newRow("phase 0") << "phaseText" << "0" << false;
        QTest::newRow("phase 64") << "phaseText" << "64" << true;
    }

    void editorFieldsRefuseOutOfRangeNumbers()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        ScalerFixture f;
        auto* edit = f.window.findChild<QLineEdit*>(field);
        QVERIFY(edit && edit->validator());
        QString input = text;
        int pos = 0;
        QCOMPARE(edit->validator()->validate(input, pos) == QValidator::Acceptable, accepted);
    }

    // Every Jovaris/Norrith page widget reaches the one button slot, sliders by both signals.
    void jovarisWidgetsReachTheButtonSlot_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QStringList>("signalNames");
        QTest::newRow("button") << "routingHDMI" << QStringList{"clicked"};
        QTest::newRow("setup resolution") << "setupres5" << QStringList{"clicked"};
        QTest::newRow("ir mode") << "irmodeControl" << QStringList{"clicked"};
        QTest::newRow("volume slider") << "routingSlider" << QStringList{"sliderMoved", "valueChanged"};
        QTest::newRow("volume box") << "routingVolume" << QStringList{"valueChanged"};
        QTest::newRow("contrast slider") << "setupContrastSlider" << QStringList{"sliderMoved", "valueChanged"};
        QTest::newRow("vga box") << "vgaStretchV" << QStringList{"valueChanged"};
        QTest::newRow("colour balance") << "vgaCBBSlider" << QStringList{"sliderMoved", "valueChanged"};
    }

    void jovarisWidgetsReachTheButtonSlot()
    {
        QFETCH(QString, widget);
        QFETCH(QStringList, signalNames);
        ScalerFixture f;
        QObject* sender = f.window.findChild<QObject*>(widget);
        QVERIFY(sender);
        QStringList found;
        for (const QString& line : outgoingConnections(sender)) {
            if (line.endsWith(QLatin1String("handleJOVARIS_buttons")))
                found.append(line.section(QLatin1Char(' '), 0, 0));
        }
        found.sort();
        QCOMPARE(found, signalNames);
    }

    void genericPageWidgetsReachTheirSlots_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QString>("connection");
        QTest::newRow("phase auto") << "phaseAuto" << "toggled phaseAutoClicked";
        QTest::newRow("h mirror") << "horizontalMirror" << "toggled horizontalMirrorClicked";
        QTest::newRow("osd timeout") << "osdTimeoutSpinBox" << "editingFinished osdTimeoutChanged";
        QTest::newRow("notify") << "displayNotify" << "toggled displayNotifyToggled";
        QTest::newRow("reset") << "scalerFactoryReset" << "clicked factoryReset";
        QTest::newRow("reboot") << "scalerReboot" << "clicked reboot";
        QTest::newRow("refresh timings") << "refreshTimings" << "clicked refreshTimingData";
        QTest::newRow("export") << "scalerExportSettings" << "clicked exportAllSettings";
        QTest::newRow("edid source") << "selectEDIDFromDevice" << "currentIndexChanged multiEDIDModeSet";
        QTest::newRow("presets") << "timingPresets" << "currentChanged presetTabChanged";
    }

    void genericPageWidgetsReachTheirSlots()
    {
        QFETCH(QString, widget);
        QFETCH(QString, connection);
        ScalerFixture f;
        QObject* sender = f.window.findChild<QObject*>(widget);
        QVERIFY(sender);
        // "signal -> Scaler::<object name> slot"
        const QStringList lines = outgoingConnections(sender);
        bool found = false;
        for (const QString& line : lines) {
            found = found
                    || (line.startsWith(connection.section(' ', 0, 0) + QStringLiteral(" -> Scaler::"))
                        && line.endsWith(QLatin1Char(' ') + connection.section(' ', 1)));
        }
        QVERIFY2(found, qPrintable(lines.join('\n')));
    }

    void tabChangeOfOtherControllersProductsIsIgnored()
    {
        ScalerFixture f;
        f.scaler->setState(1);
        f.scaler->selectedDevice.name = NAME_SCALER_VGA_TO_DVI;
        f.ui.inputselectframe->setEnabled(true);
        f.selectProductText(MODEL_HARLISK + QStringLiteral(" 1x2"));
        f.scaler->scalerTabChanged(3);
        QVERIFY(f.ui.inputselectframe->isEnabled());
        // The DVI scaler has no input choice: its System tab disables it before reading.
        f.selectProductText(NAME_SCALER_VGA_TO_DVI + QStringLiteral(", /dev/ttyFAKE7"));
        f.scaler->scalerTabChanged(3);
        QVERIFY(!f.ui.inputselectframe->isEnabled());
        QVERIFY(!f.ui.inputselectlabel->isEnabled());
        f.scaler->selectedDevice.name = NAME_SCALER_HDMI_VGA_TO_3GSDI;
        f.scaler->scalerTabChanged(3);
        QVERIFY(f.ui.inputselectframe->isEnabled());
        // No unit, or a unit in its boot loader: nothing happens.
        f.scaler->setState(2);
        f.scaler->selectedDevice.name = NAME_SCALER_VGA_TO_DVI;
        f.scaler->scalerTabChanged(3);
        QVERIFY(f.ui.inputselectframe->isEnabledTo(f.ui.systemTab));
    }

    void familyIsToldByProductText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("family");
        QTest::newRow("generic") << NAME_SCALER_VGA_TO_DVI << int(Scaler::Family::GenericScaler);
        QTest::newRow("Jovaris") << "Jovaris HDBaseT Transmitter" << int(Scaler::Family::Jovaris);
        QTest::newRow("Surrow") << "Surrow Transmitter" << int(Scaler::Family::Surrow);
        QTest::newRow("Norrith") << "Norrith Extender" << int(Scaler::Family::Norrith);
        QTest::newRow("Zarrick") << "Zarrick EDID" << int(Scaler::Family::Zarrick);
        QTest::newRow("Cavrosh") << "Cavrosh 4x4" << int(Scaler::Family::Cavrosh);
        // Substring tests in a fixed order: Jovaris wins over Norrith.
        QTest::newRow("two names") << "Norrith/Jovaris kit" << int(Scaler::Family::Jovaris);
        QTest::newRow("lower case") << "jovaris" << int(Scaler::Family::GenericScaler);
    }

    void familyIsToldByProductText()
    {
        QFETCH(QString, text);
        QFETCH(int, family);
        QCOMPARE(int(Scaler::familyOfProduct(text)), family);
    }

    void layoutSearchFindsNestedWidgets()
    {
        ScalerFixture f;
        QWidget page;
        auto* outer = new QVBoxLayout(&page);
        auto* middle = new QHBoxLayout;
        auto* inner = new QGridLayout;
        outer->addLayout(middle);
        middle->addLayout(inner);
        auto* deep = new QPushButton(&page);
        auto* direct = new QPushButton(&page);
        auto* outside = new QPushButton(&page);
        inner->addWidget(deep, 0, 0);
        outer->addWidget(direct);
        outside->move(0, 0);
        QVERIFY(f.scaler->isChildWidgetOfAnyLayout(outer, deep));
        QVERIFY(f.scaler->isChildWidgetOfAnyLayout(outer, direct));
        QVERIFY(!f.scaler->isChildWidgetOfAnyLayout(inner, direct));
        QVERIFY(!f.scaler->isChildWidgetOfAnyLayout(outer, outside));
        QVERIFY(!f.scaler->isChildWidgetOfAnyLayout(nullptr, deep));
        QVERIFY(!f.scaler->isChildWidgetOfAnyLayout(outer, nullptr));

        f.scaler->setEnabledWidgetsInLayout(middle, false);
        QVERIFY(!deep->isEnabled());
        QVERIFY(direct->isEnabled());
        QVERIFY(outside->isEnabled());
        f.scaler->setEnabledWidgetsInLayout(nullptr, false); // nothing to do
    }

    // The archive lands in the download folder (made when missing), replaces an older copy of
    // the same name, and both file fields name the copy.
    void firmwareArchiveIsCopiedIntoDownloadFolder()
    {
        ScalerFixture f;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        const QString folder = QDir::homePath() + QStringLiteral("/VelmoFWUpgrade");
        QDir(folder).removeRecursively();
        QTemporaryDir source;
        const QString archive = source.filePath(QStringLiteral("scaler_fw.zip"));
        auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        write(archive, "new package");

        dialogs.answerPath(archive);
        f.scaler->updateSelectBrowse_2();
        const QString copy = QDir(folder).filePath(QStringLiteral("scaler_fw.zip"));
        QCOMPARE(PlexaTest::readFile(copy), QByteArray("new package"));
        QCOMPARE(QDir::fromNativeSeparators(f.ui.updateFilename->text()), copy);
        QCOMPARE(QDir::fromNativeSeparators(f.ui.updateFilename_2->text()), copy);
        QVERIFY(f.ui.updatePlxInstall_3->isEnabled());

        write(archive, "newer package");
        dialogs.answerPath(archive);
        f.scaler->updateSelectBrowse_2();
        QCOMPARE(PlexaTest::readFile(copy), QByteArray("newer package"));

        // Cancelled: nothing changes.
        f.ui.updateFilename->clear();
        dialogs.answerCancel();
        f.scaler->updateSelectBrowse_2();
        QVERIFY(f.ui.updateFilename->text().isEmpty());
        QVERIFY(dialogs.shown().size() == 3);
    }

    void failedArchiveCopyIsReported()
    {
        ScalerFixture f;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        const QString folder = QDir::homePath() + QStringLiteral("/VelmoFWUpgrade");
        QDir(folder).removeRecursively();
        // A file where the folder should be.
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QTemporaryDir source;
        const QString archive = source.filePath(QStringLiteral("fw.zip"));
        QFile file(archive);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("zip");
        file.close();

        dialogs.answerPath(archive);
        f.scaler->updateSelectBrowse_2();
        QVERIFY(dialogs.wasShown(QStringLiteral("Could not copy")));
        QVERIFY(f.ui.updateFilename->text().isEmpty());
        QVERIFY(f.ui.updateFilename_2->text().isEmpty());
        QFile::remove(folder);
    }
};

PLEXA_TEST_MAIN(TestScaler)
#include "tst_scaler.moc"
