// Product selection and the page sets of the "Configure" tab, driven on recording doubles: which
// pages each family gets, what its controller is told, which update method the update page
// shows, and where the shared buttons point afterwards.
#include "plexatest.h"
#include "connections.h"
#include "endpoints.h"
#include "mainwin.h"
#include "recordingcontrollers.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTabBar>
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

std::unique_ptr<_Device> ethernetUnit(const QString& productName, quint8 lastMacByte, quint8 lastIpByte)
{
    auto device = std::make_unique<_Device>();
    const quint8 mac[6] = {0x02, 0x1C, 0x9A, 0x0A, 0xFF, lastMacByte};
    std::copy(mac, mac + 6, device->mac);
    const quint8 ip[4] = {10, 0, 0, lastIpByte};
    std::copy(ip, ip + 4, device->ip);
    device->telnetPort = 2300 + lastMacByte;
    device->productName = productName;
    return device;
}

QString macOf(quint8 lastMacByte)
{
    return QStringLiteral("02:1C:9A:0A:FF:%1").arg(lastMacByte, 2, 16, QLatin1Char('0')).toUpper();
}

QStringList tabTitles(QTabWidget* tabs)
{
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles.append(tabs->tabText(i));
    return titles;
}

// Where a button's clicked() goes, as "slot" names of the window.
QStringList clickReceivers(QObject* button)
{
    QStringList receivers;
    for (const QString& line : outgoingConnections(button)) {
        if (line.startsWith(QLatin1String("clicked ->")))
            receivers.append(line.section(QLatin1Char(' '), -1));
    }
    return receivers;
}

QStringList comboTexts(QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

const QString kEdid = QStringLiteral(" Manage EDID ");
const char* const kFakePort = "/dev/ttyPLEXA-hub0";

} // namespace

class TestHubSelection : public QObject
{
    Q_OBJECT

private:
    ScriptedDialogs dialogs;
    QScopedPointer<ScriptedDialogs::Scope> scope;
    std::vector<std::unique_ptr<_Device>> ethernet;
    // One window for the whole run, with a unit of every family listed: the factory outlives it.
    RecordingControllerFactory factory;
    QScopedPointer<MainWin> window;

    Ui_MainUI* ui() const { return window->form(); }
    CallLog& log() { return factory.log; }

    // Picks the drop-down entry as the user would.
    void pick(const QString& text)
    {
        QComboBox* combo = ui()->productCombobox;
        const int index = combo->findText(text);
        QVERIFY2(index >= 0, qPrintable(text));
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        Endpoints::setServer(QStringLiteral("http://127.0.0.1:9"));
        scope.reset(new ScriptedDialogs::Scope(dialogs));
        SerialPortEntry port;
        port.portName = QString::fromLatin1(kFakePort);
        port.description = QStringLiteral("USB Serial");
        SerialPortLister::registerPort(port);

        ControllerScript& script = factory.script;
        script.converterDevices = {unit("Perrick", "USB", 0), unit("Orrelin", "USB", 0), unit("Palomir", "USB", 0),
                                   unit("Korvina", "USB", 0)};
        script.sorvaneDevices = {unit("HDMI Sorvane Plus", "/dev/ttyACM0", 2),
                                 unit("DisplayPort Sorvane Plus", "/dev/ttyACM1", 1)};
        script.scalerDevices = {unit("VGA to DVI Scaler", "/dev/ttyUSB0", 5)};
        script.lunmoraDevices = {unit("Farrund", "/dev/ttyUSB1", 8)};
        script.hdbaseTDevices = {unit("Dunmarl-R", "/dev/ttyUSB2", 7)};
        ethernet.push_back(ethernetUnit("Zarrick Savrano", 1, 11));
        ethernet.push_back(ethernetUnit("Cavrosh Borlune", 2, 12));
        ethernet.push_back(ethernetUnit("Quillon Ostrand", 3, 13));
        ethernet.push_back(ethernetUnit("Caltor", 4, 14));
        ethernet.push_back(ethernetUnit("Halvoro", 5, 15));
        for (const auto& device : ethernet)
            script.discoveredDevices.append(device.get());
        script.remainingDevices = script.discoveredDevices;

        window.reset(new MainWin(&factory));
        emit factory.discovery->refreshPerformed(); // the first fill, without waiting for the timer
        QCOMPARE(ui()->productCombobox->itemText(0), QStringLiteral("Connected Devices"));
    }

    void cleanupTestCase()
    {
        window.reset();
        SerialPortLister::unregisterPort(QString::fromLatin1(kFakePort));
        Endpoints::setServer(QString());
    }

    // For every family: the page set and its titles, the calls made on the doubles in order
    // (the update method handed to the update page among them), the font of the drop-down, and
    // a page the selection enables or disables.
    void selection_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("pageEnabled");

        const QString update = QStringLiteral("Update");
        QTest::newRow("converter Perrick")
            << "Perrick, USB" << QStringList{"Controls", kEdid, update}
            << QStringList{"Converter::selectedProductChanged(Device(Perrick, USB, 0))",
                           "UpdateTabControl::setUSBDevice(Device(Perrick, USB, 0))"}
            << true << "firmwareTab" << true;
        QTest::newRow("converter Orrelin")
            << "Orrelin, USB" << QStringList{kEdid, update}
            << QStringList{"Converter::selectedProductChanged(Device(Orrelin, USB, 0))",
                           "UpdateTabControl::setUSBDevice(Device(Orrelin, USB, 0))"}
            << true << "firmwareTab" << true;
        QTest::newRow("converter Palomir: update only, no converter call")
            << "Palomir, USB" << QStringList{update}
            << QStringList{"UpdateTabControl::setUSBDevice(Device(Palomir, USB, 0))"} << true << "firmwareTab" << true;
        QTest::newRow("USB unit of another family")
            << "Korvina, USB" << QStringList{update}
            << QStringList{"UpdateTabControl::setUSBDevice(Device(Korvina, USB, 0))"} << true << "firmwareTabROLVANE"
            << true;
        QTest::newRow("EDID test device HDMI")
            << "HDMI Sorvane Plus, /dev/ttyACM0" << QStringList{"Booster", kEdid, update}
            << QStringList{"EdidPlus::selectProduct(Device(HDMI Sorvane Plus, /dev/ttyACM0, 2))",
                           "UpdateTabControl::setUSBSerialDevice(Device(HDMI Sorvane Plus, /dev/ttyACM0, 2))"}
            << true << QString() << true;
        QTest::newRow("EDID test device DisplayPort")
            << "DisplayPort Sorvane Plus, /dev/ttyACM1" << QStringList{kEdid, update}
            << QStringList{"EdidPlus::selectProduct(Device(DisplayPort Sorvane Plus, /dev/ttyACM1, 1))",
                           "UpdateTabControl::setUSBSerialDevice(Device(DisplayPort Sorvane Plus, /dev/ttyACM1, 1))"}
            << true << QString() << true;
        QTest::newRow("scaler")
            << "VGA to DVI Scaler, /dev/ttyUSB0"
            << QStringList{"Output", "Picture", "Adjust", "System", "Test Patterns", "Timings", kEdid, update}
            << QStringList{"Scaler::setState(1)", "Scaler::selectedProductChanged(Device(VGA to DVI Scaler, /dev/ttyUSB0, 5))",
                           "EdidPlus::setDeviceInfoA(Device(VGA to DVI Scaler, /dev/ttyUSB0, 5), Scaler)",
                           "UpdateTabControl::setUSBSerialProductAlt(Device(VGA to DVI Scaler, /dev/ttyUSB0, 5))"}
            << true << "outputTab" << true;
        QTest::newRow("splitter")
            << "Farrund, /dev/ttyUSB1" << QStringList{"HDCP", "Status", "System", kEdid, update}
            << QStringList{"Lunmora::setTabState(1)", "Lunmora::selectedProductChanged(Device(Farrund, /dev/ttyUSB1, 8))",
                           "EdidPlus::setDeviceInfoB(Device(Farrund, /dev/ttyUSB1, 8), Lunmora)",
                           "UpdateTabControl::setUSBSerialProductAlt(Device(Farrund, /dev/ttyUSB1, 8))"}
            << true << "lunmoraHdcpTab" << true;
        QTest::newRow("HDBaseT receiver: no EDID page")
            << "Dunmarl-R, /dev/ttyUSB2" << QStringList{"Status", update}
            << QStringList{"EdidPlus::selectProduct(Device(Dunmarl-R, /dev/ttyUSB2, 7))",
                           "UpdateTabControl::setUSBSerialDevice(Device(Dunmarl-R, /dev/ttyUSB2, 7))",
                           "HDBaseT::selectedProductChanged(Device(Dunmarl-R, /dev/ttyUSB2, 7))"}
            << true << "statusTab" << true;

        // Ethernet units: looked up again by MAC, their row selected on the "Discover" page.
        const auto lookup = [](quint8 mac) {
            return QStringList{"Discovery::removedDevices()", "Discovery::selectDeviceRow(" + macOf(mac) + ")"};
        };
        QTest::newRow("Ethernet Savrano")
            << "Zarrick Savrano, MAC: " + macOf(1) << QStringList{kEdid, update}
            << lookup(1) + QStringList{"Scaler::TCPConnect(10.0.0.11, 2301)", "Scaler::setState(1)",
                                       "Scaler::scalerTabChanged(0)", "UpdateTabControl::setUSBProduct(Zarrick Savrano)"}
            << true << QString() << true;
        QTest::newRow("Ethernet Borlune")
            << "Cavrosh Borlune, MAC: " + macOf(2) << QStringList{kEdid, update}
            << lookup(2) + QStringList{"Scaler::TCPConnect(10.0.0.12, 2302)", "Scaler::setState(1)",
                                       "Scaler::scalerTabChanged(0)",
                                       "UpdateTabControl::setUSBProductChecked(Cavrosh Borlune)"}
            << true << QString() << true;
        QTest::newRow("Ethernet Ostrand")
            << "Quillon Ostrand, MAC: " + macOf(3) << QStringList{kEdid, update}
            << lookup(3) + QStringList{"Ostrand::selectedProductChanged(" + macOf(3) + ")",
                                       "UpdateTabControl::setIPProduct(" + macOf(3) + ")"}
            << true << QString() << true;
        QTest::newRow("Ethernet Caltor")
            << "Caltor, MAC: " + macOf(4) << QStringList{update}
            << lookup(4) + QStringList{"UpdateTabControl::setCALTORDevice(Caltor)",
                                       "UpdateTabControl::setIPProduct(" + macOf(4) + ")"}
            << true << QString() << true;
        QTest::newRow("Ethernet other model")
            << "Halvoro, MAC: " + macOf(5) << QStringList{update}
            << lookup(5) + QStringList{"UpdateTabControl::setIPProduct(" + macOf(5) + ")"} << true << QString() << true;

        // Entries of "Other Supported Products".
        QTest::newRow("Caltor by text: taken as attached through USB")
            << "+Caltor" << QStringList{update} << QStringList{"UpdateTabControl::setCALTORDevice(Caltor)"} << true
            << QString() << true;
        QTest::newRow("Zarrick with no serial port")
            << "+Zarrick" << QStringList{update}
            << QStringList{"Scaler::setState(0)", "UpdateTabControl::isGroupOneDevice(Zarrick)",
                           "UpdateTabControl::setOfflineDevice(Zarrick)"}
            << false << QString() << true;
        QTest::newRow("booster not connected")
            << "Booster for HDMI w/EDID Sorvane" << QStringList{"Booster", kEdid, update}
            << QStringList{"UpdateTabControl::setOfflineDevice(Booster for HDMI w/EDID Sorvane)"} << false << QString()
            << true;
        QTest::newRow("scaler not connected")
            << "HDMI/VGA to 3GSDI Scaler"
            << QStringList{"Output", "Picture", "Adjust", "System", "Test Patterns", "Timings", kEdid, update}
            << QStringList{"Scaler::showProductWidgets(HDMI/VGA to 3GSDI Scaler)", "Scaler::setState(0)",
                           "UpdateTabControl::setOfflineDevice(HDMI/VGA to 3GSDI Scaler)"}
            << false << "outputTab" << false;
        QTest::newRow("HDBaseT sender not connected")
            << "Dunmarl-S" << QStringList{"Status", kEdid, update}
            << QStringList{"UpdateTabControl::setOfflineDevice(Dunmarl-S)"} << false << "statusTab" << false;
        QTest::newRow("splitter not connected")
            << "Harlisk" << QStringList{"HDCP", "Status", "System", kEdid, update}
            << QStringList{"Lunmora::previewProductControls(Harlisk)", "Lunmora::setTabState(0)",
                           "UpdateTabControl::setOfflineDevice(Harlisk)"}
            << false << "lunmoraStatusTab" << false;
        QTest::newRow("network model not connected")
            << "Rennart" << QStringList{kEdid, update} << QStringList{"UpdateTabControl::setOfflineDevice(Rennart)"}
            << false << QString() << true;
        QTest::newRow("RS-232 model")
            << "Kalvisk-PB" << QStringList{update}
            << QStringList{"UpdateTabControl::isGroupOneDevice(Kalvisk-PB)", "UpdateTabControl::setRS232Product(Kalvisk-PB)"}
            << false << QString() << true;
        QTest::newRow("other model")
            << "Nolvera" << QStringList{update}
            << QStringList{"UpdateTabControl::isGroupOneDevice(Nolvera)", "UpdateTabControl::setOfflineDevice(Nolvera)"}
            << false << QString() << true;
    }

    void selection()
    {
        QFETCH(QString, entry);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, calls);
        QFETCH(bool, bold);
        QFETCH(QString, page);
        QFETCH(bool, pageEnabled);

        // "+" marks a model that this window lists as connected over the network; the entry of
        // "Other Supported Products" is made up for the test.
        if (entry.startsWith(QLatin1Char('+'))) {
            entry.remove(0, 1);
            ui()->productCombobox->addItem(entry);
        }
        ui()->ConfiguratorTabs->setEnabled(false);
        log().clear();
        pick(entry);

        QCOMPARE(tabTitles(ui()->ConfiguratorTabs), pages);
        QVERIFY(!ui()->ConfiguratorTabs->tabBar()->isHidden());
        QVERIFY(ui()->ConfiguratorTabs->isEnabled());
        QCOMPARE(log().calls(), calls);
        QCOMPARE(ui()->productCombobox->styleSheet(), bold ? QStringLiteral("QComboBox { font-weight: bold; }")
                                                           : QStringLiteral("QComboBox { font-weight: normal; }"));
        if (!page.isEmpty())
            QCOMPARE(ui()->centralFrame->findChild<QWidget*>(page)->isEnabled(), pageEnabled);
    }

    // A Zarrick or Cavrosh on a USB serial port is recognised by the port's description.
    void unitOnUsbSerialPort()
    {
        SerialPortEntry port;
        port.portName = QStringLiteral("/dev/ttyPLEXA-hub1");
        port.description = QStringLiteral("Cavrosh 4K Scaler");
        SerialPortLister::registerPort(port);
        ui()->productCombobox->addItem(QStringLiteral("Cavrosh"));
        log().clear();
        pick(QStringLiteral("Cavrosh"));
        SerialPortLister::unregisterPort(port.portName);

        QCOMPARE(tabTitles(ui()->ConfiguratorTabs), QStringList{"Update"});
        QCOMPARE(log().calls(),
                 (QStringList{"Scaler::setState(1)", "UpdateTabControl::setUSBProductChecked(Cavrosh)"}));
        QCOMPARE(ui()->productCombobox->styleSheet(), QStringLiteral("QComboBox { font-weight: bold; }"));
    }

    // The scaler-driven Ethernet units reach their controller through the scaler.
    void scalerDrivenUnitsLinkTheScaler()
    {
        factory.sorvaneInterface->scalerLink = nullptr;
        pick("Cavrosh Borlune, MAC: " + macOf(2));
        QCOMPARE(factory.sorvaneInterface->scalerLink, static_cast<Scaler*>(factory.scaler));
    }

    // Each switch leaves the shared buttons pointing at the selected family only, whoever had
    // connected them before.
    void sharedButtonsHaveOneReceiver()
    {
        connect(ui()->downloadButton, &QPushButton::clicked, this, [] {});
        connect(ui()->updateBrowse_2, &QPushButton::clicked, this, [] {});
        const QList<QPair<QString, QString>> steps{
            {"Zarrick Savrano, MAC: " + macOf(1), "zarrickDownloadEDID"},
            {"Quillon Ostrand, MAC: " + macOf(3), "ostrandDownloadEDID"},
            {"Cavrosh Borlune, MAC: " + macOf(2), "cavroshDownloadEDID"},
            {"VGA to DVI Scaler, /dev/ttyUSB0", "converterScalerDownloadEDID"},
            {"Perrick, USB", "converterScalerDownloadEDID"},
            {"Zarrick Savrano, MAC: " + macOf(1), "zarrickDownloadEDID"},
        };
        for (const auto& step : steps) {
            pick(step.first);
            QCOMPARE(clickReceivers(ui()->downloadButton), QStringList{step.second});
        }
        QCOMPARE(clickReceivers(ui()->updateBrowse_2), QStringList{"browseScalerUpdateFiles"});
        pick("Caltor, MAC: " + macOf(4));
        QCOMPARE(clickReceivers(ui()->updateBrowse_2), QStringList{"browseCALTORUpdateFiles"});
    }

    // Whatever another family left in the EDID source list goes, its own prompts included; the
    // list never grows when the same product is picked again.
    void edidSourceListIsRebuilt()
    {
        QComboBox* sources = ui()->selectEDIDFromDevice;
        sources->addItems({"Select EDID", "Connected Display", "Sorvane: Local EDID"});
        for (int round = 0; round < 2; ++round) {
            pick("Zarrick Savrano, MAC: " + macOf(1));
            QCOMPARE(comboTexts(sources),
                     (QStringList{"Select EDID From Device", "Internal - 720P 2 Ch", "Internal - 1080P 2 Ch",
                                  "External EDID", "Input 1 Custom - User", "Input 2 Custom - User",
                                  "Input 3 Custom - User", "Input 4 Custom - User"}));
            QCOMPARE(sources->currentIndex(), 0);
        }
        pick("Cavrosh Borlune, MAC: " + macOf(2));
        QCOMPARE(sources->count(), 9);
        QCOMPARE(sources->itemText(8), QStringLiteral("Custom Mode - User"));
        QVERIFY(ui()->edidInputFrame->isHidden());
    }

    // A unit that discovery has forgotten since the drop-down was filled is not taken up.
    void forgottenEthernetUnitIsNotTakenUp()
    {
        factory.script.remainingDevices.clear();
        log().clear();
        pick("Quillon Ostrand, MAC: " + macOf(3));
        factory.script.remainingDevices = factory.script.discoveredDevices;
        QVERIFY(!log().contains("Ostrand::selectedProductChanged(" + macOf(3) + ")"));
        QVERIFY(!log().contains("Discovery::selectDeviceRow(" + macOf(3) + ")"));
        QCOMPARE(ui()->productCombobox->styleSheet(), QStringLiteral("QComboBox { font-weight: normal; }"));
        QVERIFY(log().contains("UpdateTabControl::setOfflineDevice(Quillon Ostrand, MAC: " + macOf(3) + ")"));
    }

    // The serially controlled extenders: the user names the port among the machine's serial
    // ports; the pages are tailored to the model.
    void norrithAsksForThePortInAList()
    {
        factory.scaler->baudRateText = QStringLiteral("9600");
        dialogs.clear();
        dialogs.answerText(QString::fromLatin1(kFakePort));
        pick("Norrith");

        QCOMPARE(factory.scaler->serialPortName, QString::fromLatin1(kFakePort));
        QCOMPARE(factory.scaler->baudRateText, QStringLiteral("9600"));
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().first().title, QStringLiteral("Serial Port connection"));
        QCOMPARE(tabTitles(ui()->ConfiguratorTabs), (QStringList{"Routing", "Setup", "VGA", kEdid, "System", "Update"}));
        QVERIFY(ui()->label_277->isHidden());   // audio
        QVERIFY(ui()->systemBR3->isHidden());   // baud rate
        QVERIFY(!ui()->vgaCBB->isHidden());     // picture
        QVERIFY(ui()->inputModeDvi->isHidden()); // input
        QCOMPARE(ui()->setupres6->text(), QStringLiteral("1920x1080 50 Hz"));
        QCOMPARE(ui()->setupres9->text(), QStringLiteral("1600x1200 60 Hz"));
        QCOMPARE(ui()->selectEDIDFromDevice->count(), 7);
        QCOMPARE(clickReceivers(ui()->downloadButton), QStringList{"jovarisDownloadEDID"});
        QCOMPARE(clickReceivers(ui()->updateBrowse_2), QStringList{"browseScalerUpdateFiles"});
        QCOMPARE(ui()->productCombobox->styleSheet(), QStringLiteral("QComboBox { font-weight: bold; }"));
    }

    void jovarisAsksForThePortInAForm()
    {
        // A cancelled list choice leaves the pages as they were (those of the last test).
        pick("Caltor, MAC: " + macOf(4));
        dialogs.answerCancel();
        pick("Norrith");
        QCOMPARE(tabTitles(ui()->ConfiguratorTabs), QStringList{"Update"});

        QString title;
        int width = 0;
        int titleWidth = 0;
        QTimer::singleShot(0, this, [&title, &width, &titleWidth] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            title = dialog->windowTitle();
            width = dialog->width();
            QFont titleFont = dialog->font(); // title bars set their captions in bold
            titleFont.setBold(true);
            titleWidth = QFontMetrics(titleFont).horizontalAdvance(title);
            auto* ports = dialog->findChild<QComboBox*>();
            ports->setCurrentIndex(ports->findText(QString::fromLatin1(kFakePort)));
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        factory.scaler->baudRateText = QStringLiteral("9600");
        pick("Jovaris");

        QCOMPARE(title, QStringLiteral("Serial Port connection"));
        // The chooser leaves its title bar room for the whole title beside the window buttons.
        QVERIFY2(width >= titleWidth + 120, qPrintable(QStringLiteral("%1 < %2 + 120").arg(width).arg(titleWidth)));
        QCOMPARE(factory.scaler->serialPortName, QString::fromLatin1(kFakePort));
        QVERIFY(factory.scaler->baudRateText.isEmpty());
        // Shown again after the Norrith had hidden them; the picture controls go.
        QVERIFY(!ui()->label_277->isHidden());
        QVERIFY(!ui()->systemBR3->isHidden());
        QVERIFY(ui()->vgaCBB->isHidden());
        QVERIFY(ui()->setupres8->isHidden() && ui()->setupres9->isHidden());
        QCOMPARE(ui()->setupres7->text(), QStringLiteral("3840x2160 30 HZ"));
        QCOMPARE(ui()->selectEDIDFromDevice->count(), 5);
    }

    void cancelledPortChoiceKeepsThePageSet()
    {
        pick("VGA to DVI Scaler, /dev/ttyUSB0");
        factory.scaler->serialPortName = QStringLiteral("unchanged");
        QTimer::singleShot(0, this, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        pick("Surrow");
        QCOMPARE(tabTitles(ui()->ConfiguratorTabs).first(), QStringLiteral("Output"));
        QCOMPARE(factory.scaler->serialPortName, QStringLiteral("unchanged"));
    }

    // With no serial port on the PC an RS-232 extender cannot be reached: the user is told, and
    // the hub stays as it was before the choice (entry, font, pages, controllers).
    void extenderWithoutSerialPort_data()
    {
        QTest::addColumn<QString>("model");
        QTest::newRow("Norrith") << "Norrith";
        QTest::newRow("Jovaris") << "Jovaris";
        QTest::newRow("Surrow") << "Surrow";
    }
    void extenderWithoutSerialPort()
    {
        QFETCH(QString, model);
        SerialPortLister::unregisterPort(QString::fromLatin1(kFakePort));
        SerialPortLister::setSystemPortsListed(false);
        const auto restorePorts = qScopeGuard([] {
            SerialPortLister::setSystemPortsListed(true);
            SerialPortEntry port;
            port.portName = QString::fromLatin1(kFakePort);
            port.description = QStringLiteral("USB Serial");
            SerialPortLister::registerPort(port);
        });
        QVERIFY(SerialPortLister::availablePorts().isEmpty());

        const QString before = QStringLiteral("VGA to DVI Scaler, /dev/ttyUSB0");
        pick(before);
        const QStringList pages = tabTitles(ui()->ConfiguratorTabs);
        dialogs.clear();
        log().clear();
        pick(model);

        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().first().kind, DialogBackend::Kind::Warning);
        QCOMPARE(dialogs.shown().first().title, QStringLiteral("Serial Port connection"));
        QVERIFY2(dialogs.shown().first().text.startsWith(QStringLiteral("No serial port was found")),
                 qPrintable(dialogs.shown().first().text));
        QCOMPARE(log().calls(), QStringList());
        QCOMPARE(ui()->productCombobox->currentText(), before);
        QCOMPARE(ui()->productCombobox->styleSheet(), QStringLiteral("QComboBox { font-weight: bold; }"));
        QCOMPARE(tabTitles(ui()->ConfiguratorTabs), pages);
    }
};

PLEXA_TEST_MAIN(TestHubSelection)
#include "tst_hub_selection.moc"
