#include "plexatest.h"
#include "recordingcontrollers.h"
#include "ui_mainui.h"

#include "caltor.h"
#include "controllerfactory.h"
#include "converter.h"
#include "discovery.h"
#include "edidmanagement.h"
#include "edidplus.h"
#include "firmwareupdate.h"
#include "hdbaset.h"
#include "korvinaupdater.h"
#include "lunmora.h"
#include "ostrand.h"
#include "rolvanecontrol.h"
#include "scaler.h"
#include "sorvaneinterface.h"
#include "updatetabcontrol.h"

#include <QMainWindow>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTimer>

// The controllers as the main window sees them: the signals and slots it connects by name, the
// objects the default factory builds, and the recording doubles that stand in for them in tests
// of the window.
class TestControllers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void connectedSignatures_data();
    void connectedSignatures();
    void defaultFactoryBuildsParentlessPlatformControllers();
    void edidViewerPassesTestDeviceReportsAndLinksOn();
    void recordingFactoryRecordsCreationsCallsAndScriptedAnswers();

private:
    QMainWindow m_window;
    Ui_MainUI m_ui;
    QSerialPort* m_port = nullptr;
    QHash<QString, QObject*> m_controllers; // by class name, built by the default factory
};

void TestControllers::initTestCase()
{
    m_ui.setupUi(&m_window);

    ControllerFactory* factory = ControllerFactory::standard();
    m_port = factory->createSerialPort();
    const QList<QObject*> created = {
        factory->createDiscovery(&m_ui),      factory->createScaler(&m_ui),
        factory->createOstrand(&m_ui),        factory->createLunmora(&m_ui),
        factory->createConverter(&m_ui),      factory->createRolvaneControl(&m_ui),
        factory->createKorvinaUpdater(&m_ui), factory->createUpdateTabControl(&m_ui),
        factory->createCaltor(&m_ui),         factory->createFirmwareUpdate(&m_ui),
        factory->createEdidPlus(&m_ui, m_port),
    };
    for (QObject* controller : created)
        m_controllers.insert(QString::fromLatin1(controller->metaObject()->className()), controller);

    auto* edidPlus = qobject_cast<EdidPlus*>(m_controllers.value(QStringLiteral("EdidPlusWin")));
    QVERIFY(edidPlus);
    QVERIFY(edidPlus->sorvaneInterface());
    QVERIFY(edidPlus->sorvaneInterface()->hdbaseT());
    m_controllers.insert(QStringLiteral("SorvaneInterface"), edidPlus->sorvaneInterface());
    m_controllers.insert(QStringLiteral("HDBaseT"), edidPlus->sorvaneInterface()->hdbaseT());
}

void TestControllers::cleanupTestCase()
{
    // The window never deletes its controllers; the test does, so leak checks stay meaningful.
    const QStringList topLevel = {"Discovery", "Scaler", "Ostrand", "Lunmora", "Converter", "rolvaneControl",
                                  "KorvinaUpdater", "UpdateTabControl", "Caltor", "FirmwareUpdateWin",
                                  "EdidPlusWin"};
    for (const QString& name : topLevel)
        delete m_controllers.take(name);
    delete m_port;
}

void TestControllers::connectedSignatures_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<int>("methodType");

    const int signal = QMetaMethod::Signal;
    const int slot = QMetaMethod::Slot;
    const struct {
        const char* className;
        const char* signature;
        int methodType;
    } rows[] = {
        {"Discovery", "refreshPerformed()", signal},
        {"Discovery", "ipTableClicked(QString)", signal},
        {"Discovery", "selectedRowChanged(QItemSelection,QItemSelection)", slot},
        {"Discovery", "detectChanges()", slot},
        {"Scaler", "refreshImmediately()", signal},
        {"Scaler", "setFirmwareColorSignal()", signal},
        {"Scaler", "firmwareUpdateEvent(bool)", signal},
        {"Scaler", "clearStatus()", slot},
        {"Scaler", "scalerTabChanged(int)", slot},
        {"Ostrand", "refreshImmediately()", signal},
        {"Lunmora", "refreshImmediately()", signal},
        {"Lunmora", "firmwareUpdateEvent(bool)", signal},
        {"Lunmora", "setFirmwareColorSignal()", signal},
        {"Converter", "refreshImmediately()", signal},
        {"Converter", "setUSBDiscover(bool)", signal},
        {"rolvaneControl", "setUSBDiscover(bool)", signal},
        {"KorvinaUpdater", "setUSBDiscover(bool)", signal},
        {"UpdateTabControl", "FirmwareUpdateSignal(int)", signal},
        {"UpdateTabControl", "setFirmwareColors()", slot},
        {"FirmwareUpdateWin", "slot_ui_browse()", slot},
        {"FirmwareUpdateWin", "slot_ui_startUpgrading()", slot},
        {"FirmwareUpdateWin", "slot_ui_startDownload()", slot},
        {"FirmwareUpdateWin", "slot_ui_updateConsole(QString)", slot},
        {"FirmwareUpdateWin", "slot_ui_updateProgressBar(int,int)", slot},
        {"EdidPlusWin", "refreshImmediately()", signal},
        {"EdidPlusWin", "firmwareUpdateEvent(bool)", signal},
        {"EdidPlusWin", "sendRefreshImmediately()", slot},
        {"EdidPlusWin", "sendscalerFirmwareUpdateEvent(bool)", slot},
        {"SorvaneInterface", "refreshImmediately()", signal},
        {"SorvaneInterface", "firmwareUpdateEvent(bool)", signal},
        {"HDBaseT", "refreshImmediately()", signal},
    };
    for (const auto& row : rows) {
        QTest::addRow("%s::%s", row.className, row.signature)
            << QString::fromLatin1(row.className) << QByteArray(row.signature) << row.methodType;
    }
}

// The window connects these by signature text: a missing or misspelt one fails only at run time,
// with a warning, so each is looked up here.
void TestControllers::connectedSignatures()
{
    QFETCH(QString, className);
    QFETCH(QByteArray, signature);
    QFETCH(int, methodType);

    QObject* controller = m_controllers.value(className);
    QVERIFY2(controller, qPrintable(className));
    const QMetaObject* meta = controller->metaObject();
    const int index = meta->indexOfMethod(QMetaObject::normalizedSignature(signature.constData()));
    QVERIFY2(index >= 0, signature.constData());
    QCOMPARE(int(meta->method(index).methodType()), methodType);
}

void TestControllers::defaultFactoryBuildsParentlessPlatformControllers()
{
    // Controllers live for the whole run outside the Qt object tree.
    for (auto it = m_controllers.cbegin(); it != m_controllers.cend(); ++it) {
        if (it.key() != QLatin1String("SorvaneInterface") && it.key() != QLatin1String("HDBaseT"))
            QVERIFY2(!it.value()->parent(), qPrintable(it.key()));
    }
    QVERIFY(!m_port->parent());
    QVERIFY(m_controllers.value(QStringLiteral("FirmwareUpdateWin"))->inherits("FirmwareUpdate"));
    QVERIFY(m_controllers.value(QStringLiteral("EdidPlusWin"))->inherits("EdidPlus"));
    QVERIFY(qobject_cast<EdidPlus*>(m_controllers.value(QStringLiteral("EdidPlusWin")))->edidManagement());

    QCOMPARE(qobject_cast<Caltor*>(m_controllers.value(QStringLiteral("Caltor")))->tcpPort, 23);

    // Firmware uploads block this timer's signals, so it must exist from construction on.
    QTimer* detect = qobject_cast<Discovery*>(m_controllers.value(QStringLiteral("Discovery")))->changeDetectionTimer();
    QVERIFY(detect);
    QVERIFY(detect->isSingleShot());
}

void TestControllers::edidViewerPassesTestDeviceReportsAndLinksOn()
{
    auto* edidPlus = qobject_cast<EdidPlus*>(m_controllers.value(QStringLiteral("EdidPlusWin")));
    SorvaneInterface* sorvane = edidPlus->sorvaneInterface();

    QSignalSpy refresh(edidPlus, SIGNAL(refreshImmediately()));
    QSignalSpy firmware(edidPlus, SIGNAL(firmwareUpdateEvent(bool)));
    emit sorvane->refreshImmediately();
    emit sorvane->firmwareUpdateEvent(true);
    emit sorvane->firmwareUpdateEvent(false);
    QCOMPARE(refresh.count(), 1);
    QCOMPARE(firmware.count(), 2);
    QCOMPARE(firmware.at(0).at(0).toBool(), true);
    QCOMPARE(firmware.at(1).at(0).toBool(), false);

    // The EDID controls reach scaler-driven units and splitters through these links.
    auto* scaler = qobject_cast<Scaler*>(m_controllers.value(QStringLiteral("Scaler")));
    auto* lunmora = qobject_cast<Lunmora*>(m_controllers.value(QStringLiteral("Lunmora")));
    Device unit;
    unit.name = QStringLiteral("VGA to DVI Scaler");
    unit.type = 5;
    edidPlus->setDeviceInfoA(unit, scaler);
    QCOMPARE(sorvane->scalerLink, scaler);
    edidPlus->setDeviceInfoB(unit, lunmora);
    QCOMPARE(sorvane->lunmoraLink, lunmora);
}

void TestControllers::recordingFactoryRecordsCreationsCallsAndScriptedAnswers()
{
    RecordingControllerFactory recording;
    ControllerFactory& factory = recording; // the window sees only the base class
    QSerialPort* port = factory.createSerialPort();
    Discovery* discovery = factory.createDiscovery(&m_ui);
    Scaler* scaler = factory.createScaler(&m_ui);
    factory.createOstrand(&m_ui);
    Lunmora* lunmora = factory.createLunmora(&m_ui);
    Converter* converter = factory.createConverter(&m_ui);
    factory.createRolvaneControl(&m_ui);
    factory.createKorvinaUpdater(&m_ui);
    UpdateTabControl* update = factory.createUpdateTabControl(&m_ui);
    factory.createCaltor(&m_ui);
    FirmwareUpdate* firmware = factory.createFirmwareUpdate(&m_ui);
    EdidPlus* edidPlus = factory.createEdidPlus(&m_ui, port);

    QCOMPARE(recording.log.calls(),
             QStringList({"ControllerFactory::createSerialPort()", "ControllerFactory::createDiscovery()",
                          "ControllerFactory::createScaler()", "ControllerFactory::createOstrand()",
                          "ControllerFactory::createLunmora()", "ControllerFactory::createConverter()",
                          "ControllerFactory::createRolvaneControl()", "ControllerFactory::createKorvinaUpdater()",
                          "ControllerFactory::createUpdateTabControl()", "ControllerFactory::createCaltor()",
                          "ControllerFactory::createFirmwareUpdate()", "ControllerFactory::createEdidPlus()"}));
    QCOMPARE(recording.sorvaneInterface, edidPlus->sorvaneInterface());
    QCOMPARE(recording.hdbaseT, edidPlus->sorvaneInterface()->hdbaseT());
    recording.log.clear();

    Device scalerUnit;
    scalerUnit.name = QStringLiteral("VGA to DVI Scaler");
    scalerUnit.portName = QStringLiteral("ttyUSB0");
    scalerUnit.type = 5;
    recording.script.scalerDevices = {scalerUnit};
    _Device ethernetUnit;
    const quint8 mac[6] = {0x02, 0x1C, 0x9A, 0x0A, 0xFF, 0x3E};
    std::copy(mac, mac + 6, ethernetUnit.mac);
    recording.script.discoveredDevices = {&ethernetUnit};

    // Through base-class pointers, as the window calls them.
    QCOMPARE(scaler->updateDeviceList(), recording.script.scalerDevices);
    QCOMPARE(discovery->updateDeviceList(), recording.script.discoveredDevices);
    QVERIFY(converter->updateDeviceList().isEmpty());
    scaler->ipAddress = QStringLiteral("192.168.1.20");
    scaler->tcpPort = 23;
    scaler->TCPConnect();
    scaler->setState(1);
    scaler->selectedProductChanged(scalerUnit);
    edidPlus->setDeviceInfoA(scalerUnit, scaler);
    lunmora->setPollingEnabled(false);
    discovery->selectDeviceRow(&ethernetUnit);
    update->setIPProduct(&ethernetUnit);
    QVERIFY(update->isGroupOneDevice(QStringLiteral("Kalvisk-PB")));
    QVERIFY(!update->isGroupOneDevice(QStringLiteral("Kalvisk-PB ")));
    QVERIFY(!edidPlus->setSorvaneFlag(false));
    edidPlus->sorvaneInterface()->monitoringClose();
    edidPlus->sorvaneInterface()->hdbaseT()->updateDeviceList();
    firmware->slot_ui_startUpgrading();
    // Slots connected by name reach the doubles too.
    QTimer::singleShot(0, update, SLOT(setFirmwareColors()));
    QTimer::singleShot(0, scaler, SLOT(clearStatus()));
    QTRY_VERIFY(recording.log.contains(QStringLiteral("Scaler::clearStatus()")));

    QCOMPARE(recording.log.calls(),
             QStringList({"Scaler::updateDeviceList()",
                          "Discovery::updateDeviceList()",
                          "Converter::updateDeviceList()",
                          "Scaler::TCPConnect(192.168.1.20, 23)",
                          "Scaler::setState(1)",
                          "Scaler::selectedProductChanged(Device(VGA to DVI Scaler, ttyUSB0, 5))",
                          "EdidPlus::setDeviceInfoA(Device(VGA to DVI Scaler, ttyUSB0, 5), Scaler)",
                          "Lunmora::setPollingEnabled(false)",
                          "Discovery::selectDeviceRow(02:1C:9A:0A:FF:3E)",
                          "UpdateTabControl::setIPProduct(02:1C:9A:0A:FF:3E)",
                          "UpdateTabControl::isGroupOneDevice(Kalvisk-PB)",
                          "UpdateTabControl::isGroupOneDevice(Kalvisk-PB )",
                          "EdidPlus::setSorvaneFlag(false)",
                          "SorvaneInterface::monitoringClose()",
                          "HDBaseT::updateDeviceList()",
                          "FirmwareUpdate::slot_ui_startUpgrading()",
                          "UpdateTabControl::setFirmwareColors()",
                          "Scaler::clearStatus()"}));
    QCOMPARE(recording.log.count(QStringLiteral("Scaler::setState(1)")), 1);
}

PLEXA_TEST_MAIN(TestControllers)
#include "tst_controllers.moc"
