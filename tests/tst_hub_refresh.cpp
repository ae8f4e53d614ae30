// The product list refresh, the drop-down it fills, the revive of the user's choice and the
// firmware router, driven on recording doubles.
#include "plexatest.h"
#include "endpoints.h"
#include "mainwin.h"
#include "myxmlmanager.h"
#include "recordingcontrollers.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTimer>

#include <memory>

namespace {

Device unit(const QString& name, const QString& port, int type)
{
    Device device;
    device.name = name;
    device.portName = port;
    device.type = type;
    return device;
}

// Discovery's records are owned by the test, like Discovery owns them in the program: a test
// frees them to show that the window never reaches a record through an old pointer.
std::unique_ptr<_Device> ethernetUnit(const QString& productName, quint8 lastMacByte, quint8 lastIpByte)
{
    auto device = std::make_unique<_Device>();
    const quint8 mac[6] = {0x02, 0x1C, 0x9A, 0x0A, 0xFF, lastMacByte};
    std::copy(mac, mac + 6, device->mac);
    const quint8 ip[4] = {10, 0, 0, lastIpByte};
    std::copy(ip, ip + 4, device->ip);
    device->telnetPort = 23;
    device->productName = productName;
    return device;
}

QString macOf(quint8 lastMacByte)
{
    return QStringLiteral("02:1C:9A:0A:FF:%1").arg(lastMacByte, 2, 16, QLatin1Char('0')).toUpper();
}

// The counters of the statistics file.
QMap<QString, QString> statistics()
{
    QMap<QString, QString> counters;
    QFile file(myXMLManager::statisticsFilePath());
    QDomDocument doc;
    if (!file.open(QIODevice::ReadOnly) || !doc.setContent(&file))
        return counters;
    QDomElement data = doc.documentElement().firstChildElement(QStringLiteral("data"));
    for (QDomElement e = data.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        counters.insert(e.tagName(), e.text());
    return counters;
}

// ---- Uploaders that keep running after the call that starts them ------------------------------

class UploadingScaler : public RecordingScaler
{
public:
    using RecordingScaler::RecordingScaler;
    void initiateOSTRANDFirmwareUpdate() override
    {
        RecordingScaler::initiateOSTRANDFirmwareUpdate();
        emit firmwareUpdateEvent(true);
    }
};

class UploadingSorvane : public SorvaneInterface
{
public:
    UploadingSorvane(Ui_MainUI* ui, QSerialPort* port, CallLog* log, ControllerScript* script)
        : SorvaneInterface(ui, nullptr, port, new RecordingHDBaseT(ui, port, log, script), NoSetup())
        , m_log(log)
    {
    }
    void sorvaneFirmwareUpdate() override
    {
        m_log->record(QStringLiteral("SorvaneInterface"), QStringLiteral("sorvaneFirmwareUpdate"));
        emit firmwareUpdateEvent(true);
    }

private:
    CallLog* m_log;
};

class UploadingEdidPlus : public EdidPlus
{
public:
    UploadingEdidPlus(Ui_MainUI* ui, QSerialPort* port, CallLog* log, ControllerScript* script)
        : EdidPlus(ui, new UploadingSorvane(ui, port, log, script), NoSetup())
    {
    }
    void readGpuEdids() override {}
};

class UploadingFactory : public RecordingControllerFactory
{
public:
    ~UploadingFactory() override
    {
        delete uploadingEdidPlus;
        delete uploadingScaler;
    }
    Scaler* createScaler(Ui_MainUI* ui) override { return uploadingScaler = new UploadingScaler(ui, &log, &script); }
    EdidPlus* createEdidPlus(Ui_MainUI* ui, QSerialPort* port) override
    {
        return uploadingEdidPlus = new UploadingEdidPlus(ui, port, &log, &script);
    }

    UploadingScaler* uploadingScaler = nullptr;
    UploadingEdidPlus* uploadingEdidPlus = nullptr;
};

} // namespace

Q_DECLARE_METATYPE(Device)

namespace {

const QString kConnected = QStringLiteral("Connected Devices");
const QString kDisconnected = QStringLiteral("The current device is disconnected.");

} // namespace

// The window with the remembered entry in reach, so tests can start from a clean slate.
class HubWindow : public MainWin
{
public:
    using MainWin::MainWin;
    using MainWindow::lastProductText;
};

class TestHubRefresh : public QObject
{
    Q_OBJECT

private:
    ScriptedDialogs dialogs;
    QScopedPointer<ScriptedDialogs::Scope> scope;

    // A window on doubles; the factory outlives the window (it owns the doubles). Building the
    // window is slow in the sanitizer build, so most tests share one and relist() it.
    template <typename Factory = RecordingControllerFactory> struct Hub {
        Factory factory;
        QScopedPointer<HubWindow> window;
        std::vector<std::unique_ptr<_Device>> records;

        void open() { window.reset(new HubWindow(&factory)); }
        // The first fill, as when discovery reports its first scan before the timer runs out.
        void openFilled()
        {
            open();
            emit factory.discovery->refreshPerformed();
        }
        Ui_MainUI* ui() const { return window->form(); }
        QComboBox* combo() const { return ui()->productCombobox; }
        CallLog& log() { return factory.log; }
        _Device* discover(const QString& productName, quint8 mac, quint8 ip)
        {
            records.push_back(ethernetUnit(productName, mac, ip));
            return records.back().get();
        }
        void setDiscovered(const QList<_Device*>& units)
        {
            factory.script.discoveredDevices = units;
            factory.script.remainingDevices = units;
        }
        // A known state: the lists `setUp` scripts, listed afresh (the drop-down rebuilt), no
        // remembered entry, the pages enabled, the log empty.
        void relist(const std::function<void(ControllerScript&)>& setUp = {})
        {
            ControllerScript& script = factory.script;
            window->lastProductText.clear();
            script = ControllerScript();
            script.scalerDevices = {unit("VGA to DVI Scaler", "/dev/ttyRELIST", 5)}; // no test lists it
            window->refreshList();
            script.scalerDevices.clear();
            records.clear();
            if (setUp)
                setUp(script);
            window->refreshList();
            emit factory.discovery->refreshPerformed();
            window->lastProductText.clear();
            ui()->ConfiguratorTabs->setEnabled(true);
            log().clear();
        }
        void pick(const QString& text)
        {
            const int index = combo()->findText(text);
            QVERIFY2(index >= 0, qPrintable(text));
            combo()->setCurrentIndex(index);
            emit combo()->activated(index);
        }
        QStringList entries() const
        {
            QStringList texts;
            for (int i = 0; i < combo()->count(); ++i)
                texts.append(combo()->itemText(i));
            return texts;
        }
    };
    QScopedPointer<Hub<>> shared;

private slots:
    void initTestCase()
    {
        initPlexaResources();
        Endpoints::setServer(QStringLiteral("http://127.0.0.1:9"));
        scope.reset(new ScriptedDialogs::Scope(dialogs));

        // The user agreed to the statistics; the last send was just now.
        QVERIFY(QDir().mkpath(QFileInfo(myXMLManager::statisticsFilePath()).absolutePath()));
        QFile file(myXMLManager::statisticsFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("<!DOCTYPE Info>\n<DataSheet>\n    <acceptance>yes</acceptance>\n"
                                  "    <id>{0f8fad5b-d9cb-469f-a165-70867728950e}</id>\n"
                                  "    <lastSent>%1</lastSent>\n    <data/>\n</DataSheet>\n")
                       .arg(QDateTime::currentSecsSinceEpoch())
                       .toUtf8());
        file.close();

        shared.reset(new Hub<>);
        shared->openFilled();
    }
    void cleanupTestCase()
    {
        shared.reset();
        Endpoints::setServer(QString());
    }

    // The first refresh leaves the drop-down to a 5000 ms timer (or to discovery's first report).
    void firstFillWaitsForTheTimer()
    {
        Hub<> hub;
        hub.factory.script.scalerDevices = {unit("VGA to DVI Scaler", "/dev/ttyUSB0", 5)};
        hub.open();
        QVERIFY(!hub.ui()->selectProductFrame->isEnabled());
        QCOMPARE(hub.combo()->count(), 0);
        QVERIFY(!hub.log().contains("Discovery::updateDeviceList()"));
        QTimer* timer = nullptr;
        for (QTimer* t : hub.window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (t->isActive() && t->isSingleShot())
                timer = t;
        }
        QVERIFY(timer);
        QCOMPARE(timer->interval(), TimeScale::ms(5000));

        QTRY_VERIFY_WITH_TIMEOUT(hub.combo()->count() > 0, 5000);
        QVERIFY(hub.ui()->selectProductFrame->isEnabled());
        QCOMPARE(hub.log().count("Discovery::updateDeviceList()"), 1);
        const QStringList entries = hub.entries();
        QCOMPARE(entries.size(), 2 + 68);
        QCOMPARE(entries.mid(0, 4), (QStringList{kConnected, "VGA to DVI Scaler, /dev/ttyUSB0",
                                                 "Other Supported Products", "DisplayPort Sorvane Plus"}));
        QVERIFY(!entries.contains("VGA to DVI Scaler"));
        auto* model = qobject_cast<QStandardItemModel*>(hub.combo()->model());
        QVERIFY(!model->item(0)->isEnabled() && !model->item(2)->isEnabled());
        QVERIFY(model->item(1)->font().bold());
        QVERIFY(!model->item(3)->font().bold());
        QCOMPARE(hub.combo()->currentIndex(), 0);
    }

    // One refresh after the first fill: the polls are off from before the lists are asked for
    // until after the drop-down is done, and come back in a fixed order.
    void refreshOrder()
    {
        Hub<>& hub = *shared;
        hub.relist();
        hub.window->refreshList();
        QCOMPARE(hub.log().calls(),
                 (QStringList{"Discovery::clearDeviceSettings()", "EdidPlus::isSorvaneBusy()",
                              "EdidPlus::setSorvaneFlag(false)", "Scaler::setPollingEnabled(false)",
                              "Lunmora::setPollingEnabled(false)", "Converter::updateDeviceList()",
                              "EdidPlus::sorvaneDeviceList()", "Scaler::updateDeviceList()",
                              "HDBaseT::updateDeviceList()", "Lunmora::updateDeviceList()",
                              "Discovery::setDetectEnabled(false)", "Discovery::findDevices()",
                              "EdidPlus::setSorvaneFlag(true)", "Scaler::setPollingEnabled(true)",
                              "Lunmora::setPollingEnabled(true)", "Discovery::setDetectEnabled(true)",
                              "Converter::setDeviceCheckEnabled(true)"}));
    }

    // While the EDID test devices' poll is busy the refresh waits with the event loop running:
    // the poll can finish, and a refresh asked for meanwhile runs after this one, not inside it.
    void busyPollWaitKeepsRefreshesApart()
    {
        Hub<>& hub = *shared;
        hub.relist();
        hub.factory.script.sorvaneBusy = true;
        QTimer::singleShot(0, this, [&hub] {
            hub.factory.script.sorvaneBusy = false;
            emit hub.factory.scaler->refreshImmediately();
        });
        hub.log().clear();
        hub.window->refreshList();

        QStringList marks;
        for (const QString& call : hub.log().calls()) {
            if (call == "Discovery::clearDeviceSettings()" || call == "Converter::setDeviceCheckEnabled(true)")
                marks.append(call);
        }
        QCOMPARE(marks, (QStringList{"Discovery::clearDeviceSettings()", "Converter::setDeviceCheckEnabled(true)",
                                     "Discovery::clearDeviceSettings()", "Converter::setDeviceCheckEnabled(true)"}));
        QVERIFY(hub.log().count("EdidPlus::isSorvaneBusy()") < 10);

        // A poll that never finishes delays the refresh by ten waits at most.
        hub.factory.script.sorvaneBusy = true;
        hub.log().clear();
        hub.window->refreshList();
        QCOMPARE(hub.log().count("EdidPlus::isSorvaneBusy()"), 10);
        QVERIFY(hub.log().contains("Converter::setDeviceCheckEnabled(true)"));
        hub.factory.script.sorvaneBusy = false;
    }

    // Which differences between two refreshes rebuild the drop-down.
    void changeDetection_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QList<Device>>("before");
        QTest::addColumn<QList<Device>>("after");
        QTest::addColumn<bool>("rebuilt");

        const Device scalerA = unit("VGA to DVI Scaler", "/dev/ttyUSB0", 5);
        const Device scalerB = unit("VGA w/Audio to HDMI Scaler", "/dev/ttyUSB0", 5);
        const Device scalerC = unit("VGA to DVI Scaler", "/dev/ttyUSB3", 5);
        const Device usbA = unit("Perrick", "USB", 0);
        const Device usbB = unit("Korvina", "USB", 0);
        const Device splitter = unit("Farrund", "/dev/ttyUSB1", 8);
        const Device splitterOtherType = unit("Farrund", "/dev/ttyUSB1", 9);
        const Device hdbt = unit("Dunmarl-R", "/dev/ttyUSB2", 7);
        const Device hdbtMoved = unit("Dunmarl-R", "/dev/ttyUSB4", 7);
        QTest::newRow("nothing changed") << "scaler" << QList<Device>{scalerA} << QList<Device>{scalerA} << false;
        QTest::newRow("scaler replaced by another model on its port")
            << "scaler" << QList<Device>{scalerA} << QList<Device>{scalerB} << true;
        QTest::newRow("scaler on another port") << "scaler" << QList<Device>{scalerA} << QList<Device>{scalerC} << true;
        QTest::newRow("scaler added") << "scaler" << QList<Device>{} << QList<Device>{scalerA} << true;
        QTest::newRow("USB units reordered") << "usb" << QList<Device>{usbA, usbB} << QList<Device>{usbB, usbA} << true;
        QTest::newRow("USB units unchanged") << "usb" << QList<Device>{usbA, usbB} << QList<Device>{usbA, usbB} << false;
        QTest::newRow("splitter of another type")
            << "splitter" << QList<Device>{splitter} << QList<Device>{splitterOtherType} << true;
        QTest::newRow("HDBaseT unit on another port") << "hdbaset" << QList<Device>{hdbt} << QList<Device>{hdbtMoved}
                                                      << true;
        QTest::newRow("EDID test device gone")
            << "sorvane" << QList<Device>{unit("HDMI Sorvane Plus", "/dev/ttyACM0", 2)} << QList<Device>{} << true;
    }

    void changeDetection()
    {
        QFETCH(QString, family);
        QFETCH(QList<Device>, before);
        QFETCH(QList<Device>, after);
        QFETCH(bool, rebuilt);

        Hub<>& hub = *shared;
        ControllerScript& script = hub.factory.script;
        const auto listOf = [&family](ControllerScript& s) {
            return family == "scaler" ? &s.scalerDevices
                : family == "usb"      ? &s.converterDevices
                : family == "splitter" ? &s.lunmoraDevices
                : family == "hdbaset"  ? &s.hdbaseTDevices
                                       : &s.sorvaneDevices;
        };
        hub.relist([&](ControllerScript& s) { *listOf(s) = before; });
        hub.window->refreshList(); // the lists of the fill become the previous lists
        *listOf(script) = after;
        QSignalSpy inserted(hub.combo()->model(), &QAbstractItemModel::rowsInserted);
        hub.window->refreshList();
        QCOMPARE(!inserted.isEmpty(), rebuilt);
    }

    // Ethernet units are the same units when their MACs are; the window keeps its own copies, so
    // a later scan may free Discovery's records at any time (the sanitizer build catches any
    // access through an old pointer).
    void discoveryListReplacedBetweenRefreshes()
    {
        Hub<>& hub = *shared;
        hub.relist([&hub](ControllerScript&) { hub.setDiscovered({hub.discover("Zarrick Savrano", 1, 11)}); });
        const QString savranoEntry = "Zarrick Savrano, MAC: " + macOf(1);
        QVERIFY(hub.entries().contains(savranoEntry));

        // A scan replaces the record (new address, same MAC) before discovery has reported.
        hub.records.clear();
        _Device* moved = hub.discover("Zarrick Savrano", 1, 99);
        hub.setDiscovered({moved});
        hub.log().clear();
        hub.pick(savranoEntry);
        QVERIFY(hub.log().contains("Scaler::TCPConnect(10.0.0.99, 23)"));
        QVERIFY(hub.log().contains("Discovery::selectDeviceRow(" + macOf(1) + ")"));

        // The report: same MAC, new address: no rebuild.
        QSignalSpy inserted(hub.combo()->model(), &QAbstractItemModel::rowsInserted);
        hub.window->refreshList();
        emit hub.factory.discovery->refreshPerformed();
        QVERIFY(inserted.isEmpty());
        QCOMPARE(hub.combo()->currentText(), savranoEntry);

        // Another scan frees everything and finds a second unit: rebuilt, first unit kept.
        hub.records.clear();
        hub.setDiscovered({hub.discover("Zarrick Savrano", 1, 98), hub.discover("Quillon Ostrand", 2, 12)});
        emit hub.factory.discovery->refreshPerformed();
        QVERIFY(!inserted.isEmpty());
        QVERIFY(hub.entries().contains("Quillon Ostrand, MAC: " + macOf(2)));
        QCOMPARE(hub.combo()->currentText(), savranoEntry);

        // Freed again without a report: the refresh and a pick work on the window's copies.
        hub.records.clear();
        hub.setDiscovered({});
        hub.window->autoRefreshList();
        hub.log().clear();
        hub.pick("Quillon Ostrand, MAC: " + macOf(2));
        QVERIFY(!hub.log().contains("Ostrand::selectedProductChanged(" + macOf(2) + ")"));
    }

    // A name that is empty names no product.
    void unnamedUnitsAreNotListed()
    {
        Hub<>& hub = *shared;
        QSignalSpy inserted(hub.combo()->model(), &QAbstractItemModel::rowsInserted);
        hub.relist([&hub](ControllerScript& s) {
            s.converterDevices = {unit(QString(), "USB", 0)};
            s.scalerDevices = {unit(QString(), "/dev/ttyUSB0", 5)};
            hub.setDiscovered({hub.discover(QString(), 1, 11)});
        });
        QVERIFY(!inserted.isEmpty());
        QCOMPARE(hub.entries().size(), 2 + 68);
        QCOMPARE(hub.entries().at(1), QStringLiteral("Other Supported Products"));
    }

    // A Zarrick on a USB serial port is listed by its port unless the same model is on the network.
    void serialPortEntries_data()
    {
        QTest::addColumn<bool>("onNetwork");
        QTest::newRow("serial port only") << false;
        QTest::newRow("also on the network") << true;
    }
    void serialPortEntries()
    {
        QFETCH(bool, onNetwork);
        SerialPortEntry port;
        port.portName = QStringLiteral("/dev/ttyPLEXA-refresh0");
        port.description = QStringLiteral("Zarrick HDMI Scaler");
        SerialPortLister::registerPort(port);
        Hub<>& hub = *shared;
        hub.relist([&hub, onNetwork](ControllerScript&) {
            if (onNetwork)
                hub.setDiscovered({hub.discover("Zarrick Savrano", 1, 11)});
        });
        SerialPortLister::unregisterPort(port.portName);

        const QStringList entries = hub.entries();
        QCOMPARE(entries.contains("Zarrick HDMI Scaler, /dev/ttyPLEXA-refresh0"), !onNetwork);
        QCOMPARE(entries.contains("Zarrick"), !onNetwork); // still offered while only on a port
    }

    // The unit being worked on goes: the page is disabled and the user told once, in red. It
    // comes back on the same port: the entry is current again and the red is gone.
    void disconnectAndRevive()
    {
        Hub<>& hub = *shared;
        const Device scaler = unit("VGA to DVI Scaler", "/dev/ttyUSB0", 5);
        hub.relist([&scaler](ControllerScript& s) {
            s.scalerDevices = {scaler};
            s.lunmoraDevices = {unit("Farrund", "/dev/ttyUSB1", 8)};
        });
        const QString entry = "VGA to DVI Scaler, /dev/ttyUSB0";
        hub.pick(entry);
        const QColor normalText = hub.ui()->statusBar->palette().color(QPalette::WindowText);

        hub.factory.script.scalerDevices.clear();
        hub.log().clear();
        emit hub.factory.scaler->refreshImmediately();
        QVERIFY(!hub.ui()->ConfiguratorTabs->isEnabled());
        QCOMPARE(hub.ui()->statusBar->currentMessage(), kDisconnected);
        QCOMPARE(hub.ui()->statusBar->palette().color(QPalette::WindowText), QColor(255, 70, 50));
        QCOMPARE(hub.log().count("SorvaneInterface::closePort()"), 1);
        QTRY_VERIFY(hub.log().contains("Scaler::clearStatus()"));

        emit hub.factory.scaler->refreshImmediately(); // still gone: not reported again
        QCOMPARE(hub.log().count("SorvaneInterface::closePort()"), 1);

        hub.factory.script.scalerDevices = {scaler};
        emit hub.factory.scaler->refreshImmediately();
        QCOMPARE(hub.combo()->currentText(), entry);
        QVERIFY(hub.ui()->ConfiguratorTabs->isEnabled());
        QVERIFY(hub.log().contains("SorvaneInterface::onSuddenReconnect()"));
        QCOMPARE(hub.ui()->statusBar->palette().color(QPalette::WindowText), normalText);
        QVERIFY(hub.ui()->statusBar->currentMessage() != kDisconnected);

        // Gone again, and the user picks another product: the red goes with the message.
        hub.factory.script.scalerDevices.clear();
        emit hub.factory.scaler->refreshImmediately();
        QCOMPARE(hub.ui()->statusBar->palette().color(QPalette::WindowText), QColor(255, 70, 50));
        hub.pick("Farrund, /dev/ttyUSB1");
        QCOMPARE(hub.ui()->statusBar->palette().color(QPalette::WindowText), normalText);
        QVERIFY(hub.ui()->ConfiguratorTabs->isEnabled());
    }

    void rebootForgetsTheUnit()
    {
        Hub<>& hub = *shared;
        hub.relist([&hub](ControllerScript&) { hub.setDiscovered({hub.discover("Quillon Ostrand", 1, 11)}); });
        hub.pick("Quillon Ostrand, MAC: " + macOf(1));
        hub.factory.script.remainingDevices.clear();
        hub.log().clear();
        hub.ui()->rebootButton->setEnabled(true);
        hub.ui()->rebootButton->click();
        QCOMPARE(hub.log().calls(), (QStringList{"Discovery::rebootDevice()", "Discovery::removedDevices()"}));
        QVERIFY(!hub.entries().contains("Quillon Ostrand, MAC: " + macOf(1)));
        QCOMPARE(hub.combo()->currentText(), kConnected);
    }

    // A pick in the discovery table moves the drop-down; the pages follow on "Manage a Product".
    void pickByMacAddress()
    {
        Hub<>& hub = *shared;
        hub.relist([&hub](ControllerScript&) {
            hub.setDiscovered({hub.discover("Quillon Ostrand", 1, 11), hub.discover("Halvoro", 2, 12)});
        });
        emit hub.factory.discovery->ipTableClicked(macOf(2));
        QCOMPARE(hub.combo()->currentText(), "Halvoro, MAC: " + macOf(2));
        emit hub.factory.discovery->ipTableClicked(QStringLiteral("02:00:00:00:00:00"));
        QCOMPARE(hub.combo()->currentText(), "Halvoro, MAC: " + macOf(2));

        hub.log().clear();
        hub.ui()->functionManageButton->click();
        QVERIFY(hub.log().contains("UpdateTabControl::setIPProduct(" + macOf(2) + ")"));
        hub.log().clear();
        hub.ui()->functionManageButton->click();
        QVERIFY(hub.log().calls().isEmpty());
    }

    // USB firmware flows switch the install buttons and the USB device check off while they run.
    void usbFirmwareFlowSuspendsTheUsbCheck()
    {
        Hub<>& hub = *shared;
        hub.relist();
        emit hub.factory.rolvane->setUSBDiscover(false);
        QVERIFY(!hub.ui()->updatePlxInstall->isEnabled());
        QVERIFY(!hub.ui()->updateFileInstall->isEnabled());
        QCOMPARE(hub.log().calls(), QStringList{"Converter::setDeviceCheckEnabled(false)"});

        hub.log().clear();
        emit hub.factory.korvinaUpdater->setUSBDiscover(true);
        QVERIFY(hub.ui()->updatePlxInstall->isEnabled());
        QVERIFY(hub.ui()->updateFileInstall->isEnabled());
        QCOMPARE(hub.log().callsTo("Converter"), QStringList{"Converter::setDeviceCheckEnabled(true)"});
    }

    // The firmware router: the uploader of each family code and the usage counter it records.
    void router_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("counter");

        QTest::newRow("1") << 1 << QStringList{"FirmwareUpdate::slot_ui_startUpgrading()"} << QString();
        QTest::newRow("10") << 10 << QStringList{"Converter::initiateFirmwareUpdate()"}
                            << "perform_converter_fw_update";
        QTest::newRow("11") << 11 << QStringList{"SorvaneInterface::sorvaneFirmwareUpdate()"}
                            << "perform_sorvane_fw_update";
        QTest::newRow("12") << 12 << QStringList{"rolvaneControl::initiateFirmwareUpdate()"}
                            << "perform_rolvane_fw_update";
        QTest::newRow("13") << 13 << QStringList{"Scaler::initiateFirmwareUpdate()"} << "perform_scaler_fw_update";
        QTest::newRow("14") << 14
                            << QStringList{"SorvaneInterface::sorvaneFirmwareUpdate()", "Lunmora::refreshFWPage()"}
                            << "perform_lunmora_fw_update";
        QTest::newRow("20") << 20 << QStringList{"rolvaneControl::initiateFirmwareUpdate()"}
                            << "perform_rolvane_fw_update";
        QTest::newRow("30") << 30 << QStringList{"KorvinaUpdater::initiateFirmwareUpdate()"}
                            << "perform_korvina_fw_update";
        QTest::newRow("40") << 40 << QStringList{"Scaler::initiateJOVARISFirmwareUpdate()"} << QString();
        QTest::newRow("50") << 50 << QStringList{"Scaler::initiateOSTRANDFirmwareUpdate()"} << QString();
        QTest::newRow("51") << 51 << QStringList{"Caltor::initiateCALTORFirmwareUpdate()"} << QString();
        for (int code : {0, 2, 15, 41})
            QTest::newRow(qPrintable(QString::number(code))) << code << QStringList{} << QString();
    }

    void router()
    {
        QFETCH(int, code);
        QFETCH(QStringList, calls);
        QFETCH(QString, counter);

        Hub<>& hub = *shared;
        hub.relist();
        QTimer* detectTimer = hub.factory.discovery->changeDetectionTimer();
        hub.ui()->ConfiguratorTabs->setEnabled(false);
        const QMap<QString, QString> before = statistics();
        hub.log().clear();
        emit hub.factory.updateTabControl->FirmwareUpdateSignal(code);

        QCOMPARE(hub.log().calls(), calls);
        QMap<QString, QString> expected = before;
        if (!counter.isEmpty())
            expected[counter] = QString::number(expected.value(counter).toInt() + 1);
        QCOMPARE(statistics(), expected);
        QVERIFY(!detectTimer->signalsBlocked());
        QCOMPARE(hub.ui()->ConfiguratorTabs->isEnabled(), code == 50);
    }

    // An upload that runs on after the call: the splitter's firmware page is asked only once
    // the transfer has ended, and the change check of discovery stays off until the boot
    // loader is done.
    void asynchronousUploads()
    {
        Hub<UploadingFactory> hub;
        hub.openFilled();
        SorvaneInterface* sorvane = hub.factory.uploadingEdidPlus->sorvaneInterface();
        QTimer* detectTimer = hub.factory.discovery->changeDetectionTimer();

        // The update page's colours follow the same reports; only the upload's order counts here.
        const auto uploadCalls = [&hub] {
            return hub.log().callsTo("SorvaneInterface") + hub.log().callsTo("Lunmora");
        };
        hub.log().clear();
        emit hub.factory.updateTabControl->FirmwareUpdateSignal(14);
        QCOMPARE(uploadCalls(), QStringList{"SorvaneInterface::sorvaneFirmwareUpdate()"});
        emit sorvane->firmwareUpdateEvent(false);
        QCOMPARE(hub.log().calls().last(), QStringLiteral("Lunmora::refreshFWPage()"));
        QCOMPARE(uploadCalls(),
                 (QStringList{"SorvaneInterface::sorvaneFirmwareUpdate()", "Lunmora::refreshFWPage()"}));
        emit sorvane->firmwareUpdateEvent(false); // a later report is not this update's
        QCOMPARE(hub.log().count("Lunmora::refreshFWPage()"), 1);

        hub.ui()->ConfiguratorTabs->setEnabled(false);
        emit hub.factory.updateTabControl->FirmwareUpdateSignal(50);
        QVERIFY(detectTimer->signalsBlocked());
        QVERIFY(!hub.ui()->ConfiguratorTabs->isEnabled());
        emit hub.factory.uploadingScaler->firmwareUpdateEvent(false);
        QVERIFY(!detectTimer->signalsBlocked());
        QVERIFY(hub.ui()->ConfiguratorTabs->isEnabled());
    }

    // Polls off while an update runs, all on again at its end.
    void firmwareUpdateEventSwitchesPolls()
    {
        Hub<>& hub = *shared;
        hub.relist();
        QMetaObject::invokeMethod(hub.window.data(), "firmwareUpdateEvent", Q_ARG(bool, true));
        QMetaObject::invokeMethod(hub.window.data(), "firmwareUpdateEvent", Q_ARG(bool, false));
        QCOMPARE(hub.log().calls(),
                 (QStringList{"EdidPlus::setSorvaneFlag(false)", "Scaler::setPollingEnabled(false)",
                              "Lunmora::setPollingEnabled(false)", "Discovery::setDetectEnabled(false)",
                              "EdidPlus::setSorvaneFlag(true)", "Scaler::setPollingEnabled(true)",
                              "Lunmora::setPollingEnabled(true)", "Discovery::setDetectEnabled(true)"}));
    }
};

PLEXA_TEST_MAIN(TestHubRefresh)
#include "tst_hub_refresh.moc"
