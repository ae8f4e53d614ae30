#ifndef RECORDINGCONTROLLERS_H
#define RECORDINGCONTROLLERS_H

#include "caltor.h"
#include "controllerfactory.h"
#include "converter.h"
#include "device.h"
#include "discovery.h"
#include "edidplus.h"
#include "edidpluswin.h"
#include "firmwareupdate.h"
#include "hdbaset.h"
#include "korvinaupdater.h"
#include "lunmora.h"
#include "ostrand.h"
#include "rolvanecontrol.h"
#include "scaler.h"
#include "sorvaneinterface.h"
#include "updatetabcontrol.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

// Test doubles of the controllers, for tests of the main window (the hub). Each double is a
// subclass of the real controller built through its NoSetup constructor, so it opens nothing and
// wires nothing; every hub-facing call appends one record to a shared CallLog and answers from
// a shared ControllerScript. Signals are the real ones: a test emits them on the double.

// One call as text: "Scaler::setState(1)". Arguments are rendered by CallText.
struct CallRecord {
    QString object; // the controller class, e.g. "Scaler"
    QString method;
    QStringList arguments;

    QString toString() const;
};

class CallLog
{
public:
    void record(const QString& object, const QString& method, const QStringList& arguments = {});
    void clear();

    const QList<CallRecord>& records() const { return m_records; }
    // Every call as text, in the order made.
    QStringList calls() const;
    // The calls made on one controller class, in order.
    QStringList callsTo(const QString& object) const;
    int count(const QString& call) const;
    bool contains(const QString& call) const { return count(call) > 0; }

private:
    QList<CallRecord> m_records;
};

// How arguments appear in a CallRecord.
namespace CallText {
QString of(bool value);
QString of(int value);
QString of(const QString& value);
QString of(const Device& device);    // Device(name, portName, type)
QString of(const _Device* unit);     // its MAC text, or "null"
QString of(const QObject* object);   // the class name of a controller or widget, or "null"
} // namespace CallText

// What the doubles answer. Shared by all doubles of one factory, so a test may change it before
// or after the window is built.
struct ControllerScript {
    ControllerScript();

    QList<Device> converterDevices; // Converter::updateDeviceList()
    QList<Device> sorvaneDevices;   // EdidPlus::sorvaneDeviceList(), SorvaneInterface::updateDeviceList()
    QList<Device> scalerDevices;    // Scaler::updateDeviceList()
    QList<Device> hdbaseTDevices;   // HDBaseT::updateDeviceList()
    QList<Device> lunmoraDevices;   // Lunmora::updateDeviceList()
    QList<_Device*> discoveredDevices; // Discovery::updateDeviceList(); records owned by the test
    QList<_Device*> remainingDevices;  // Discovery::removedDevices()
    bool sorvaneBusy = false;          // EdidPlus::isSorvaneBusy()
    QStringList groupOneDevices;       // UpdateTabControl::isGroupOneDevice(); the RS-232 models
    bool unzipResult = true;           // FirmwareUpdate::unzip()
    // Every EDID read of a unit (Scaler, Lunmora, Ostrand, SorvaneInterface, the converter read
    // of RecordingEdidViewer) answers with these bytes.
    QByteArray deviceEdid;
    QHash<QString, QStringList> availableInputs; // Ostrand::getAvailableInputs(), by IP text
};

// Shared by every double: where to record and what to answer.
class Recorder
{
public:
    Recorder(const QString& object, CallLog* log, ControllerScript* script);

protected:
    void record(const QString& method, const QStringList& arguments = {}) const;
    ControllerScript* script() const { return m_script; }

private:
    QString m_object;
    CallLog* m_log;
    ControllerScript* m_script;
};

class RecordingDiscovery : public Discovery, private Recorder
{
public:
    RecordingDiscovery(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    void setDetectEnabled(bool enabled) override;
    void findDevices() override;
    QList<_Device*> updateDeviceList() override;
    QList<_Device*> removedDevices() override;
    void rebootDevice() override;
    void selectDeviceRow(_Device* unit) override;
    void clearDeviceSettings() override;
};

class RecordingScaler : public Scaler, private Recorder
{
public:
    RecordingScaler(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    void setPollingEnabled(bool enabled) override;
    void setState(int state) override;
    void selectedProductChanged(Device device) override;
    void showProductWidgets(QString name) override;
    // Recorded with the address fields it would connect to: TCPConnect(ipAddress, tcpPort).
    void TCPConnect() override;
    void TCPDisconnect() override;
    void clearRunFlag() override;
    QList<Device> updateDeviceList() override;
    void clearStatus() override;
    void scalerTabChanged(int index) override;
    void updateSelectBrowse_2() override;
    void initiateFirmwareUpdate() override;
    void initiateJOVARISFirmwareUpdate() override;
    void initiateOSTRANDFirmwareUpdate() override;
    void zarrickDownloadEDID() override;
    void cavroshDownloadEDID() override;
    void jovarisDownloadEDID() override;
    QByteArray getEDID(Device device) override;
    QByteArray getJOVARISEDID() override;
    QByteArray getZARRICKEDID() override;
    QByteArray getCAVROSHEDID() override;
    void refreshEDIDModeHDMI() override;
    void sendEDID(Device device, QString filename) override;
    // The custom-EDID uploads, recorded with the file's path.
    void sendNORRITHEDID(QString filename) override;
    void sendZARRICKEDID(QString filename) override;
    void sendCAVROSHEDID(QString filename) override;
};

class RecordingOstrand : public Ostrand, private Recorder
{
public:
    RecordingOstrand(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    void selectedProductChanged(_Device* unit) override;
    void downloadEDID() override;
    QByteArray getEDID() override;
    QStringList getAvailableInputs(QString productName, QString ip, QString port) override;
    // Recorded with the EDID's size: uploadCustomEDID(10, 10.0.0.5, 23, 256 bytes, Quillon).
    void uploadCustomEDID(QString input, QString ip, QString port, QByteArray edid, QString productName) override;

    QList<QByteArray> uploads; // the EDIDs sent, in order
};

class RecordingLunmora : public Lunmora, private Recorder
{
public:
    RecordingLunmora(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    void setPollingEnabled(bool enabled) override;
    void setTabState(int state) override;
    void selectedProductChanged(Device device) override;
    void previewProductControls(QString name) override;
    void deactivate() override;
    QList<Device> updateDeviceList() override;
    void tabChanged(int index) override;
    void refreshFWPage() override;
    QByteArray getEDID() override;
    void refreshEDID() override;
    void sendEDID(QString fileName) override;
    void finishFirmwareUpdate(QString fileName) override;
};

class RecordingConverter : public Converter, private Recorder
{
public:
    RecordingConverter(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    void setDeviceCheckEnabled(bool enabled) override;
    QList<Device> updateDeviceList() override;
    void selectedProductChanged(Device device) override;
    void initiateFirmwareUpdate() override;
};

class RecordingRolvaneControl : public rolvaneControl, private Recorder
{
public:
    RecordingRolvaneControl(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    void initiateFirmwareUpdate() override;
};

class RecordingKorvinaUpdater : public KorvinaUpdater, private Recorder
{
public:
    RecordingKorvinaUpdater(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    void initiateFirmwareUpdate() override;
};

class RecordingUpdateTabControl : public UpdateTabControl, private Recorder
{
public:
    RecordingUpdateTabControl(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    void setUSBDevice(Device device) override;
    void setUSBSerialDevice(Device device) override;
    void setUSBSerialProductAlt(Device device) override;
    void setUSBProduct(QString name) override;
    void setUSBProductChecked(QString name) override;
    void setUSBSerialProduct(QString name) override;
    void setCALTORDevice(QString name) override;
    void setIPProduct(_Device* unit) override;
    void setRS232Product(QString name) override;
    void setOfflineDevice(QString name) override;
    bool isGroupOneDevice(QString name) override;
    void startupUpdatesCheck() override;
    void setFirmwareColors() override;
};

class RecordingCaltor : public Caltor, private Recorder
{
public:
    RecordingCaltor(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    void browseUpdateFiles() override;
    void initiateCALTORFirmwareUpdate() override;
};

class RecordingFirmwareUpdate : public FirmwareUpdate, private Recorder
{
public:
    RecordingFirmwareUpdate(Ui_MainUI* ui, CallLog* log, ControllerScript* script);

    bool unzip() override;
    void slot_ui_startUpgrading() override;
};

class RecordingHDBaseT : public HDBaseT, private Recorder
{
public:
    RecordingHDBaseT(Ui_MainUI* ui, QSerialPort* port, CallLog* log, ControllerScript* script);

    void selectedProductChanged(Device device) override;
    QList<Device> updateDeviceList() override;
    void startThePlot() override;
};

// Owns a RecordingHDBaseT, reachable through hdbaseT().
class RecordingSorvaneInterface : public SorvaneInterface, private Recorder
{
public:
    RecordingSorvaneInterface(Ui_MainUI* ui, QSerialPort* port, CallLog* log, ControllerScript* script);

    QList<Device> updateDeviceList() override;
    void selectedProductChanged(Device device) override;
    void setDeviceInfoA(Device device, Scaler* scaler) override;
    void setDeviceInfoB(Device device, Lunmora* lunmora) override;
    bool setSorvaneFlag(bool enabled) override;
    void monitoringClose() override;
    void onSuddenReconnect() override;
    void closePort() override;
    void sorvaneFirmwareUpdate() override;
    void downloadEdid() override;
    void init() override;
    QByteArray getEDID(int index) override;
    bool isBusy() const override;
    void clearDeviceState() override;

private:
    bool m_flag = true;
};

// Owns a RecordingSorvaneInterface, reachable through sorvaneInterface(). Calls on the viewer are
// recorded on the viewer only; they are not passed on to the test-device double.
class RecordingEdidPlus : public EdidPlus, private Recorder
{
public:
    RecordingEdidPlus(Ui_MainUI* ui, QSerialPort* port, CallLog* log, ControllerScript* script);

    void forwardIndexA(QTextEdit* text) override;
    bool isSorvaneBusy() override;
    bool setSorvaneFlag(bool enabled) override;
    QList<Device> sorvaneDeviceList() override;
    void selectProduct(Device device) override;
    void setDeviceInfoA(Device device, Scaler* scaler) override;
    void setDeviceInfoB(Device device, Lunmora* lunmora) override;
    void readGpuEdids() override;

private:
    bool m_flag = true;
};

// The real EDID viewer and editor over a RecordingSorvaneInterface, reading the monitors' EDIDs
// below a folder of the test's choosing (a fake sysfs tree). Its converter read is recorded
// ("EdidPlus::readConverterEdid(false)") and answers with ControllerScript::deviceEdid.
class RecordingEdidViewer : public EdidPlusWin, private Recorder
{
public:
    RecordingEdidViewer(Ui_MainUI* ui, QSerialPort* port, const QString& drmRoot, CallLog* log,
                        ControllerScript* script);

protected:
    QByteArray readConverterEdid(bool scalerVariant) override;
};

// Creates the doubles, all recording into `log` and answering from `script`. Each creation is
// recorded too ("ControllerFactory::createScaler()"), so the creation order can be checked.
// The factory deletes what it created when it is destroyed: declare it before the window.
class RecordingControllerFactory : public ControllerFactory
{
public:
    RecordingControllerFactory() = default;
    ~RecordingControllerFactory() override;

    QSerialPort* createSerialPort() override;
    Discovery* createDiscovery(Ui_MainUI* ui) override;
    Scaler* createScaler(Ui_MainUI* ui) override;
    Ostrand* createOstrand(Ui_MainUI* ui) override;
    Lunmora* createLunmora(Ui_MainUI* ui) override;
    Converter* createConverter(Ui_MainUI* ui) override;
    rolvaneControl* createRolvaneControl(Ui_MainUI* ui) override;
    KorvinaUpdater* createKorvinaUpdater(Ui_MainUI* ui) override;
    UpdateTabControl* createUpdateTabControl(Ui_MainUI* ui) override;
    Caltor* createCaltor(Ui_MainUI* ui) override;
    FirmwareUpdate* createFirmwareUpdate(Ui_MainUI* ui) override;
    EdidPlus* createEdidPlus(Ui_MainUI* ui, QSerialPort* port) override;

    // When not null, createEdidPlus builds a RecordingEdidViewer (the real viewer and editor)
    // reading monitor EDIDs below this folder, in place of the RecordingEdidPlus double.
    QString realViewerDrmRoot;
    // When set, createScaler builds the real Scaler (realScalerController) in place of the
    // RecordingScaler double, so a test can drive it inside the real window.
    bool realScaler = false;
    // When set, createDiscovery builds the real Discovery (realDiscoveryController) in place of the
    // RecordingDiscovery double; it scans the network DiscoveryNetwork::current() names.
    bool realDiscovery = false;

    CallLog log;
    ControllerScript script;

    // The doubles created last; null until created.
    QSerialPort* serialPort = nullptr;
    RecordingDiscovery* discovery = nullptr;
    Discovery* realDiscoveryController = nullptr; // instead of discovery when realDiscovery is set
    RecordingScaler* scaler = nullptr;
    Scaler* realScalerController = nullptr; // instead of scaler when realScaler is set
    RecordingOstrand* ostrand = nullptr;
    RecordingLunmora* lunmora = nullptr;
    RecordingConverter* converter = nullptr;
    RecordingRolvaneControl* rolvane = nullptr;
    RecordingKorvinaUpdater* korvinaUpdater = nullptr;
    RecordingUpdateTabControl* updateTabControl = nullptr;
    RecordingCaltor* caltor = nullptr;
    RecordingFirmwareUpdate* firmwareUpdate = nullptr;
    RecordingEdidPlus* edidPlus = nullptr;
    RecordingEdidViewer* edidViewer = nullptr; // instead of edidPlus when realViewerDrmRoot is set
    // Owned by edidPlus.
    RecordingSorvaneInterface* sorvaneInterface = nullptr;
    RecordingHDBaseT* hdbaseT = nullptr;

private:
    template <typename T> T* keep(T* object, const QString& method);

    QList<QPointer<QObject>> m_created;
};

#endif // RECORDINGCONTROLLERS_H
