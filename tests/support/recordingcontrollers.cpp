#include "recordingcontrollers.h"

#include <QSerialPort>
#include <QTextEdit>

// ---- CallLog ----------------------------------------------------------------------------------

QString CallRecord::toString() const
{
    return QStringLiteral("%1::%2(%3)").arg(object, method, arguments.join(QStringLiteral(", ")));
}

void CallLog::record(const QString& object, const QString& method, const QStringList& arguments)
{
    m_records.append({object, method, arguments});
}

void CallLog::clear()
{
    m_records.clear();
}

QStringList CallLog::calls() const
{
    QStringList result;
    for (const CallRecord& record : m_records)
        result.append(record.toString());
    return result;
}

QStringList CallLog::callsTo(const QString& object) const
{
    QStringList result;
    for (const CallRecord& record : m_records) {
        if (record.object == object)
            result.append(record.toString());
    }
    return result;
}

int CallLog::count(const QString& call) const
{
    return calls().count(call);
}

namespace CallText {

QString of(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString of(int value)
{
    return QString::number(value);
}

QString of(const QString& value)
{
    return value;
}

QString of(const Device& device)
{
    return QStringLiteral("Device(%1, %2, %3)").arg(device.name, device.portName).arg(device.type);
}

QString of(const _Device* unit)
{
    return unit ? macToString(unit) : QStringLiteral("null");
}

QString of(const QObject* object)
{
    return object ? QString::fromLatin1(object->metaObject()->className()) : QStringLiteral("null");
}

} // namespace CallText

using CallText::of;

ControllerScript::ControllerScript()
    : groupOneDevices({QStringLiteral("Kalvisk-PB"), QStringLiteral("Kalvisk"), QStringLiteral("Lorvane"),
                       QStringLiteral("Lorvane-PB"), QStringLiteral("Jurmont"), QStringLiteral("Jurmont-PB"),
                       QStringLiteral("Jastric"), QStringLiteral("Harvane"), QStringLiteral("Harvane-PB"),
                       QStringLiteral("Pelmorr-TX"), QStringLiteral("Pelmorr-RX"), QStringLiteral("Rindale-TX"),
                       QStringLiteral("Rindale-RX")})
{
}

Recorder::Recorder(const QString& object, CallLog* log, ControllerScript* script)
    : m_object(object)
    , m_log(log)
    , m_script(script)
{
}

void Recorder::record(const QString& method, const QStringList& arguments) const
{
    m_log->record(m_object, method, arguments);
}

// ---- Discovery --------------------------------------------------------------------------------

RecordingDiscovery::RecordingDiscovery(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : Discovery(ui, NoSetup())
    , Recorder(QStringLiteral("Discovery"), log, script)
{
}

void RecordingDiscovery::setDetectEnabled(bool enabled)
{
    record(QStringLiteral("setDetectEnabled"), {of(enabled)});
}

void RecordingDiscovery::findDevices()
{
    record(QStringLiteral("findDevices"));
}

QList<_Device*> RecordingDiscovery::updateDeviceList()
{
    record(QStringLiteral("updateDeviceList"));
    return script()->discoveredDevices;
}

QList<_Device*> RecordingDiscovery::removedDevices()
{
    record(QStringLiteral("removedDevices"));
    return script()->remainingDevices;
}

void RecordingDiscovery::rebootDevice()
{
    record(QStringLiteral("rebootDevice"));
}

void RecordingDiscovery::selectDeviceRow(_Device* unit)
{
    record(QStringLiteral("selectDeviceRow"), {of(unit)});
}

void RecordingDiscovery::clearDeviceSettings()
{
    record(QStringLiteral("clearDeviceSettings"));
}

// ---- Scaler -----------------------------------------------------------------------------------

RecordingScaler::RecordingScaler(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : Scaler(ui, NoSetup())
    , Recorder(QStringLiteral("Scaler"), log, script)
{
}

void RecordingScaler::setPollingEnabled(bool enabled)
{
    record(QStringLiteral("setPollingEnabled"), {of(enabled)});
}

void RecordingScaler::setState(int state)
{
    record(QStringLiteral("setState"), {of(state)});
}

void RecordingScaler::selectedProductChanged(Device device)
{
    record(QStringLiteral("selectedProductChanged"), {of(device)});
}

void RecordingScaler::showProductWidgets(QString name)
{
    record(QStringLiteral("showProductWidgets"), {name});
}

void RecordingScaler::TCPConnect()
{
    record(QStringLiteral("TCPConnect"), {ipAddress, of(tcpPort)});
}

void RecordingScaler::TCPDisconnect()
{
    record(QStringLiteral("TCPDisconnect"));
}

void RecordingScaler::clearRunFlag()
{
    record(QStringLiteral("clearRunFlag"));
}

QList<Device> RecordingScaler::updateDeviceList()
{
    record(QStringLiteral("updateDeviceList"));
    return script()->scalerDevices;
}

void RecordingScaler::clearStatus()
{
    record(QStringLiteral("clearStatus"));
}

void RecordingScaler::scalerTabChanged(int index)
{
    record(QStringLiteral("scalerTabChanged"), {of(index)});
}

void RecordingScaler::updateSelectBrowse_2()
{
    record(QStringLiteral("updateSelectBrowse_2"));
}

void RecordingScaler::initiateFirmwareUpdate()
{
    record(QStringLiteral("initiateFirmwareUpdate"));
}

void RecordingScaler::initiateJOVARISFirmwareUpdate()
{
    record(QStringLiteral("initiateJOVARISFirmwareUpdate"));
}

void RecordingScaler::initiateOSTRANDFirmwareUpdate()
{
    record(QStringLiteral("initiateOSTRANDFirmwareUpdate"));
}

void RecordingScaler::zarrickDownloadEDID()
{
    record(QStringLiteral("zarrickDownloadEDID"));
}

void RecordingScaler::cavroshDownloadEDID()
{
    record(QStringLiteral("cavroshDownloadEDID"));
}

void RecordingScaler::jovarisDownloadEDID()
{
    record(QStringLiteral("jovarisDownloadEDID"));
}

QByteArray RecordingScaler::getEDID(Device device)
{
    record(QStringLiteral("getEDID"), {of(device)});
    return script()->deviceEdid;
}

QByteArray RecordingScaler::getJOVARISEDID()
{
    record(QStringLiteral("getJOVARISEDID"));
    return script()->deviceEdid;
}

QByteArray RecordingScaler::getZARRICKEDID()
{
    record(QStringLiteral("getZARRICKEDID"));
    return script()->deviceEdid;
}

QByteArray RecordingScaler::getCAVROSHEDID()
{
    record(QStringLiteral("getCAVROSHEDID"));
    return script()->deviceEdid;
}

void RecordingScaler::sendEDID(Device device, QString filename)
{
    record(QStringLiteral("sendEDID"), {of(device), filename});
}

void RecordingScaler::refreshEDIDModeHDMI()
{
    record(QStringLiteral("refreshEDIDModeHDMI"));
}

void RecordingScaler::sendNORRITHEDID(QString filename)
{
    record(QStringLiteral("sendNORRITHEDID"), {filename});
}

void RecordingScaler::sendZARRICKEDID(QString filename)
{
    record(QStringLiteral("sendZARRICKEDID"), {filename});
}

void RecordingScaler::sendCAVROSHEDID(QString filename)
{
    record(QStringLiteral("sendCAVROSHEDID"), {filename});
}

// ---- Ostrand, Lunmora, Converter ---------------------------------------------------------------

RecordingOstrand::RecordingOstrand(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : Ostrand(ui, NoSetup())
    , Recorder(QStringLiteral("Ostrand"), log, script)
{
}

void RecordingOstrand::selectedProductChanged(_Device* unit)
{
    record(QStringLiteral("selectedProductChanged"), {of(unit)});
}

void RecordingOstrand::downloadEDID()
{
    record(QStringLiteral("downloadEDID"));
}

QByteArray RecordingOstrand::getEDID()
{
    record(QStringLiteral("getEDID"));
    return script()->deviceEdid;
}

QStringList RecordingOstrand::getAvailableInputs(QString productName, QString ip, QString port)
{
    record(QStringLiteral("getAvailableInputs"), {productName, ip, port});
    return script()->availableInputs.value(ip);
}

void RecordingOstrand::uploadCustomEDID(QString input, QString ip, QString port, QByteArray edid, QString productName)
{
    record(QStringLiteral("uploadCustomEDID"),
           {input, ip, port, QStringLiteral("%1 bytes").arg(edid.size()), productName});
    uploads.append(edid);
}

RecordingLunmora::RecordingLunmora(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : Lunmora(ui, NoSetup())
    , Recorder(QStringLiteral("Lunmora"), log, script)
{
}

void RecordingLunmora::setPollingEnabled(bool enabled)
{
    record(QStringLiteral("setPollingEnabled"), {of(enabled)});
}

void RecordingLunmora::setTabState(int state)
{
    record(QStringLiteral("setTabState"), {of(state)});
}

void RecordingLunmora::selectedProductChanged(Device device)
{
    record(QStringLiteral("selectedProductChanged"), {of(device)});
}

void RecordingLunmora::previewProductControls(QString name)
{
    record(QStringLiteral("previewProductControls"), {name});
}

void RecordingLunmora::deactivate()
{
    record(QStringLiteral("deactivate"));
}

QList<Device> RecordingLunmora::updateDeviceList()
{
    record(QStringLiteral("updateDeviceList"));
    return script()->lunmoraDevices;
}

void RecordingLunmora::tabChanged(int index)
{
    record(QStringLiteral("tabChanged"), {of(index)});
}

void RecordingLunmora::refreshFWPage()
{
    record(QStringLiteral("refreshFWPage"));
}

QByteArray RecordingLunmora::getEDID()
{
    record(QStringLiteral("getEDID"));
    return script()->deviceEdid;
}

void RecordingLunmora::refreshEDID()
{
    record(QStringLiteral("refreshEDID"));
}

void RecordingLunmora::sendEDID(QString fileName)
{
    record(QStringLiteral("sendEDID"), {fileName});
}

void RecordingLunmora::finishFirmwareUpdate(QString fileName)
{
    record(QStringLiteral("finishFirmwareUpdate"), {fileName});
}

RecordingConverter::RecordingConverter(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : Converter(ui, NoSetup())
    , Recorder(QStringLiteral("Converter"), log, script)
{
}

void RecordingConverter::setDeviceCheckEnabled(bool enabled)
{
    record(QStringLiteral("setDeviceCheckEnabled"), {of(enabled)});
}

QList<Device> RecordingConverter::updateDeviceList()
{
    record(QStringLiteral("updateDeviceList"));
    return script()->converterDevices;
}

void RecordingConverter::selectedProductChanged(Device device)
{
    record(QStringLiteral("selectedProductChanged"), {of(device)});
}

void RecordingConverter::initiateFirmwareUpdate()
{
    record(QStringLiteral("initiateFirmwareUpdate"));
}

// ---- Firmware uploaders and the update page ---------------------------------------------------

RecordingRolvaneControl::RecordingRolvaneControl(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : rolvaneControl(ui, NoSetup())
    , Recorder(QStringLiteral("rolvaneControl"), log, script)
{
}

void RecordingRolvaneControl::initiateFirmwareUpdate()
{
    record(QStringLiteral("initiateFirmwareUpdate"));
}

RecordingKorvinaUpdater::RecordingKorvinaUpdater(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : KorvinaUpdater(ui, NoSetup())
    , Recorder(QStringLiteral("KorvinaUpdater"), log, script)
{
}

void RecordingKorvinaUpdater::initiateFirmwareUpdate()
{
    record(QStringLiteral("initiateFirmwareUpdate"));
}

RecordingUpdateTabControl::RecordingUpdateTabControl(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : UpdateTabControl(ui, NoSetup())
    , Recorder(QStringLiteral("UpdateTabControl"), log, script)
{
}

void RecordingUpdateTabControl::setUSBDevice(Device device)
{
    record(QStringLiteral("setUSBDevice"), {of(device)});
}

void RecordingUpdateTabControl::setUSBSerialDevice(Device device)
{
    record(QStringLiteral("setUSBSerialDevice"), {of(device)});
}

void RecordingUpdateTabControl::setUSBSerialProductAlt(Device device)
{
    record(QStringLiteral("setUSBSerialProductAlt"), {of(device)});
}

void RecordingUpdateTabControl::setUSBProduct(QString name)
{
    record(QStringLiteral("setUSBProduct"), {name});
}

void RecordingUpdateTabControl::setUSBProductChecked(QString name)
{
    record(QStringLiteral("setUSBProductChecked"), {name});
}

void RecordingUpdateTabControl::setUSBSerialProduct(QString name)
{
    record(QStringLiteral("setUSBSerialProduct"), {name});
}

void RecordingUpdateTabControl::setCALTORDevice(QString name)
{
    record(QStringLiteral("setCALTORDevice"), {name});
}

void RecordingUpdateTabControl::setIPProduct(_Device* unit)
{
    record(QStringLiteral("setIPProduct"), {of(unit)});
}

void RecordingUpdateTabControl::setRS232Product(QString name)
{
    record(QStringLiteral("setRS232Product"), {name});
}

void RecordingUpdateTabControl::setOfflineDevice(QString name)
{
    record(QStringLiteral("setOfflineDevice"), {name});
}

bool RecordingUpdateTabControl::isGroupOneDevice(QString name)
{
    record(QStringLiteral("isGroupOneDevice"), {name});
    return script()->groupOneDevices.contains(name);
}

void RecordingUpdateTabControl::startupUpdatesCheck()
{
    record(QStringLiteral("startupUpdatesCheck"));
}

void RecordingUpdateTabControl::setFirmwareColors()
{
    record(QStringLiteral("setFirmwareColors"));
}

RecordingCaltor::RecordingCaltor(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : Caltor(ui, NoSetup())
    , Recorder(QStringLiteral("Caltor"), log, script)
{
}

void RecordingCaltor::browseUpdateFiles()
{
    record(QStringLiteral("browseUpdateFiles"));
}

void RecordingCaltor::initiateCALTORFirmwareUpdate()
{
    record(QStringLiteral("initiateCALTORFirmwareUpdate"));
}

RecordingFirmwareUpdate::RecordingFirmwareUpdate(Ui_MainUI* ui, CallLog* log, ControllerScript* script)
    : FirmwareUpdate(ui, NoSetup())
    , Recorder(QStringLiteral("FirmwareUpdate"), log, script)
{
}

bool RecordingFirmwareUpdate::unzip()
{
    record(QStringLiteral("unzip"));
    return script()->unzipResult;
}

void RecordingFirmwareUpdate::slot_ui_startUpgrading()
{
    record(QStringLiteral("slot_ui_startUpgrading"));
}

// ---- EDID viewer, EDID test devices, HDBaseT --------------------------------------------------

RecordingHDBaseT::RecordingHDBaseT(Ui_MainUI* ui, QSerialPort* port, CallLog* log, ControllerScript* script)
    : HDBaseT(ui, port, NoSetup())
    , Recorder(QStringLiteral("HDBaseT"), log, script)
{
}

void RecordingHDBaseT::selectedProductChanged(Device device)
{
    record(QStringLiteral("selectedProductChanged"), {of(device)});
}

QList<Device> RecordingHDBaseT::updateDeviceList()
{
    record(QStringLiteral("updateDeviceList"));
    return script()->hdbaseTDevices;
}

void RecordingHDBaseT::startThePlot()
{
    record(QStringLiteral("startThePlot"));
}

RecordingSorvaneInterface::RecordingSorvaneInterface(Ui_MainUI* ui, QSerialPort* port, CallLog* log,
                                                     ControllerScript* script)
    : SorvaneInterface(ui, nullptr, port, new RecordingHDBaseT(ui, port, log, script), NoSetup())
    , Recorder(QStringLiteral("SorvaneInterface"), log, script)
{
}

QList<Device> RecordingSorvaneInterface::updateDeviceList()
{
    record(QStringLiteral("updateDeviceList"));
    return script()->sorvaneDevices;
}

void RecordingSorvaneInterface::selectedProductChanged(Device device)
{
    record(QStringLiteral("selectedProductChanged"), {of(device)});
}

void RecordingSorvaneInterface::setDeviceInfoA(Device device, Scaler* scaler)
{
    record(QStringLiteral("setDeviceInfoA"), {of(device), of(scaler)});
    scalerLink = scaler;
}

void RecordingSorvaneInterface::setDeviceInfoB(Device device, Lunmora* lunmora)
{
    record(QStringLiteral("setDeviceInfoB"), {of(device), of(lunmora)});
    lunmoraLink = lunmora;
}

bool RecordingSorvaneInterface::setSorvaneFlag(bool enabled)
{
    record(QStringLiteral("setSorvaneFlag"), {of(enabled)});
    m_flag = enabled;
    return m_flag;
}

void RecordingSorvaneInterface::monitoringClose()
{
    record(QStringLiteral("monitoringClose"));
}

void RecordingSorvaneInterface::onSuddenReconnect()
{
    record(QStringLiteral("onSuddenReconnect"));
}

void RecordingSorvaneInterface::closePort()
{
    record(QStringLiteral("closePort"));
}

void RecordingSorvaneInterface::sorvaneFirmwareUpdate()
{
    record(QStringLiteral("sorvaneFirmwareUpdate"));
}

void RecordingSorvaneInterface::downloadEdid()
{
    record(QStringLiteral("downloadEdid"));
}

void RecordingSorvaneInterface::init()
{
    record(QStringLiteral("init"));
}

QByteArray RecordingSorvaneInterface::getEDID(int index)
{
    record(QStringLiteral("getEDID"), {of(index)});
    return script()->deviceEdid;
}

bool RecordingSorvaneInterface::isBusy() const
{
    record(QStringLiteral("isBusy"));
    return script()->sorvaneBusy;
}

void RecordingSorvaneInterface::clearDeviceState()
{
    record(QStringLiteral("clearDeviceState"));
}

RecordingEdidPlus::RecordingEdidPlus(Ui_MainUI* ui, QSerialPort* port, CallLog* log, ControllerScript* script)
    : EdidPlus(ui, new RecordingSorvaneInterface(ui, port, log, script), NoSetup())
    , Recorder(QStringLiteral("EdidPlus"), log, script)
{
}

void RecordingEdidPlus::forwardIndexA(QTextEdit* text)
{
    record(QStringLiteral("forwardIndexA"), {of(text)});
}

bool RecordingEdidPlus::isSorvaneBusy()
{
    record(QStringLiteral("isSorvaneBusy"));
    return script()->sorvaneBusy;
}

bool RecordingEdidPlus::setSorvaneFlag(bool enabled)
{
    record(QStringLiteral("setSorvaneFlag"), {of(enabled)});
    m_flag = enabled;
    return m_flag;
}

QList<Device> RecordingEdidPlus::sorvaneDeviceList()
{
    record(QStringLiteral("sorvaneDeviceList"));
    return script()->sorvaneDevices;
}

void RecordingEdidPlus::selectProduct(Device device)
{
    record(QStringLiteral("selectProduct"), {of(device)});
}

void RecordingEdidPlus::setDeviceInfoA(Device device, Scaler* scaler)
{
    record(QStringLiteral("setDeviceInfoA"), {of(device), of(scaler)});
}

void RecordingEdidPlus::setDeviceInfoB(Device device, Lunmora* lunmora)
{
    record(QStringLiteral("setDeviceInfoB"), {of(device), of(lunmora)});
}

void RecordingEdidPlus::readGpuEdids()
{
    record(QStringLiteral("readGpuEdids"));
}

RecordingEdidViewer::RecordingEdidViewer(Ui_MainUI* ui, QSerialPort* port, const QString& drmRoot, CallLog* log,
                                         ControllerScript* script)
    : EdidPlusWin(ui, new RecordingSorvaneInterface(ui, port, log, script), drmRoot)
    , Recorder(QStringLiteral("EdidPlus"), log, script)
{
}

QByteArray RecordingEdidViewer::readConverterEdid(bool scalerVariant)
{
    record(QStringLiteral("readConverterEdid"), {of(scalerVariant)});
    return script()->deviceEdid;
}

// ---- Factory ----------------------------------------------------------------------------------

RecordingControllerFactory::~RecordingControllerFactory()
{
    // Newest first, so the serial port outlives the EDID viewer that was handed it.
    for (int i = m_created.size() - 1; i >= 0; --i)
        delete m_created.at(i).data();
}

template <typename T> T* RecordingControllerFactory::keep(T* object, const QString& method)
{
    log.record(QStringLiteral("ControllerFactory"), method);
    m_created.append(object);
    return object;
}

QSerialPort* RecordingControllerFactory::createSerialPort()
{
    return serialPort = keep(new QSerialPort(), QStringLiteral("createSerialPort"));
}

Discovery* RecordingControllerFactory::createDiscovery(Ui_MainUI* ui)
{
    if (realDiscovery)
        return realDiscoveryController = keep(new Discovery(ui), QStringLiteral("createDiscovery"));
    return discovery = keep(new RecordingDiscovery(ui, &log, &script), QStringLiteral("createDiscovery"));
}

Scaler* RecordingControllerFactory::createScaler(Ui_MainUI* ui)
{
    if (realScaler)
        return realScalerController = keep(new Scaler(ui), QStringLiteral("createScaler"));
    return scaler = keep(new RecordingScaler(ui, &log, &script), QStringLiteral("createScaler"));
}

Ostrand* RecordingControllerFactory::createOstrand(Ui_MainUI* ui)
{
    return ostrand = keep(new RecordingOstrand(ui, &log, &script), QStringLiteral("createOstrand"));
}

Lunmora* RecordingControllerFactory::createLunmora(Ui_MainUI* ui)
{
    return lunmora = keep(new RecordingLunmora(ui, &log, &script), QStringLiteral("createLunmora"));
}

Converter* RecordingControllerFactory::createConverter(Ui_MainUI* ui)
{
    return converter = keep(new RecordingConverter(ui, &log, &script), QStringLiteral("createConverter"));
}

rolvaneControl* RecordingControllerFactory::createRolvaneControl(Ui_MainUI* ui)
{
    return rolvane = keep(new RecordingRolvaneControl(ui, &log, &script), QStringLiteral("createRolvaneControl"));
}

KorvinaUpdater* RecordingControllerFactory::createKorvinaUpdater(Ui_MainUI* ui)
{
    return korvinaUpdater = keep(new RecordingKorvinaUpdater(ui, &log, &script), QStringLiteral("createKorvinaUpdater"));
}

UpdateTabControl* RecordingControllerFactory::createUpdateTabControl(Ui_MainUI* ui)
{
    return updateTabControl =
               keep(new RecordingUpdateTabControl(ui, &log, &script), QStringLiteral("createUpdateTabControl"));
}

Caltor* RecordingControllerFactory::createCaltor(Ui_MainUI* ui)
{
    return caltor = keep(new RecordingCaltor(ui, &log, &script), QStringLiteral("createCaltor"));
}

FirmwareUpdate* RecordingControllerFactory::createFirmwareUpdate(Ui_MainUI* ui)
{
    return firmwareUpdate = keep(new RecordingFirmwareUpdate(ui, &log, &script), QStringLiteral("createFirmwareUpdate"));
}

EdidPlus* RecordingControllerFactory::createEdidPlus(Ui_MainUI* ui, QSerialPort* port)
{
    EdidPlus* created = nullptr;
    if (!realViewerDrmRoot.isNull()) {
        created = edidViewer = keep(new RecordingEdidViewer(ui, port, realViewerDrmRoot, &log, &script),
                                    QStringLiteral("createEdidPlus"));
    } else {
        created = edidPlus = keep(new RecordingEdidPlus(ui, port, &log, &script), QStringLiteral("createEdidPlus"));
    }
    sorvaneInterface = static_cast<RecordingSorvaneInterface*>(created->sorvaneInterface());
    hdbaseT = static_cast<RecordingHDBaseT*>(sorvaneInterface->hdbaseT());
    return created;
}
