#ifndef SORVANEINTERFACE_H
#define SORVANEINTERFACE_H

#include "nosetup.h"

class Ui_MainUI;
class Scaler;
class QSerialPort;
class Lunmora;
#include "device.h"
#include "edidentry.h"
#include "staleinput.h"

#include <QByteArray>
#include <QList>
#include <QPalette>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QWidget>

class HDBaseT;
class QTimer;
#include "rebootdialog.h"

// Which controller reads or takes an EDID for the shared EDID box, chosen by the text of the box's
// list item (a source or an upload target) and of the product drop-down. The EDID viewer's
// open-from-device and the test-device page's download and upload all route through it.
enum class EdidRoute {
    TestDevice,      // the EDID test unit itself (or a PC monitor entry of the list)
    Converter,       // the HID converter's own EDID
    ConverterScaler, // the Perrick converter's scaler EDID
    Scaler,          // a generic scaler, through the scaler page
    JovarisScaler,   // Jovaris, Norrith, Surrow
    ZarrickScaler,
    CavroshScaler,
    Splitter,        // Farrund, Harlisk, Jorvale
};
EdidRoute edidRouteFor(const QString& listText, const QString& product);

// The unit type a serial port's description stands for (1 to 3), 0 when it is none of the EDID
// test and booster units. Blanks and hyphens in the description are ignored; case counts.
int sorvaneTypeForDescription(const QString& description);

// Controller of the EDID test and booster units on the serial port: finds and counts them, keeps
// the link state of the shared port, refreshes the booster tab, sends the booster settings, moves
// EDIDs by YMODEM and drives the shared EDID box. Owns the HDBaseT page, which shares its port,
// and the manual-reboot dialog of the serial firmware update.
//
// Files: link.cpp (link, poll, states, byte readers, monitor start/stop),
// page.cpp (selection and refresh), booster.cpp (booster commands),
// transfer.cpp (YMODEM download and upload), edid.cpp (the EDID box),
// routing.cpp (edidRouteFor), firmware.cpp (the serial firmware update, the
// reboot wait and the HDBaseT units' second and third files).
class SorvaneInterface : public QWidget
{
    Q_OBJECT

public:
    // The link state word: which exchange owns the port, and so where received bytes go.
    enum AppState {
        VersionQuery = 0,
        DdcCommand = 1,
        EdidDownload = 2,
        EdidUpload = 3,
        Idle = 4,
        StatusQuery = 5,
        BoosterCommand = 6,
        Refreshing = 7,
        CopyOrDefaults = 8,
        Monitoring = 9,
        AwaitingReboot = 10,
        BackAfterReboot = 11,
    };

    SorvaneInterface(Ui_MainUI* ui, const QList<EdidEntry>* monitorEdids, QSerialPort* port);
    ~SorvaneInterface() override;

    HDBaseT* hdbaseT() const;
    RebootDialog* rebootDialogWidget() const { return rebootDialog; }
    int linkState() const { return appstate; }

    // Connects the port and starts the device-count poll; called once by the viewer.
    virtual void init();
    // Reads the EDID chosen by the source drop-down index (1 local, 2 downstream, 3.. banks);
    // empty on failure (after its own message).
    virtual QByteArray getEDID(int index);
    // Set while the device-count poll enumerates the serial ports.
    virtual bool isBusy() const { return pollBusy; }
    // Forgets the selected unit (also done by updateDeviceList()).
    virtual void clearDeviceState();

    virtual void selectedProductChanged(Device device);
    virtual void setDeviceInfoA(Device device, Scaler* scaler);
    virtual void setDeviceInfoB(Device device, Lunmora* lunmora);
    // While false, the device-count poll does nothing. Returns the stored value.
    virtual bool setSorvaneFlag(bool enabled);
    virtual void monitoringClose();
    virtual void onSuddenReconnect();
    virtual void closePort();

    static QString deviceTypeName(int type);
    // The EDID bytes of the unit's text dump in `dump` (the lines of a preview command); empty
    // when the unit saw no sink or the dump is not a whole EDID with valid checksums.
    static QByteArray parseStatus(const QString& dump, int type);

    // Sends `fileName` to the unit's local EDID (bank 0) or bank n, or hands it to the family the
    // upload target and product name route it to.
    void uploadEdid(QString fileName, int bank);
    bool openPort();
    void findDevices();
    const QList<Device>& foundDevices() const { return devices; }

    // The controllers through which the EDID box reaches scaler-driven units and splitters.
    Scaler* scalerLink = nullptr;
    Lunmora* lunmoraLink = nullptr;

signals:
    void refreshImmediately();
    void firmwareUpdateEvent(bool started);

public slots:
    void updateSelectedDevice();
    void readData();
    void copyEdidSourceChanged(int index);
    void handleError(QSerialPort::SerialPortError error);
    void copyEdid();
    void uploadBrowse();
    virtual void downloadEdid();
    void setAvailable();
    void uploadEdidWrapper();
    void setDefaults();
    void showVideoStatus();
    void showEqStatus();
    void equalizerSettingChanged(int index);
    void deemphasisSettingChanged(int index);
    void ddcModeChanged(int index);
    void videoOutputChanged();
    void cdrModeChanged();
    virtual QList<Device> updateDeviceList();
    void edidSelected(int index);
    void checkDeviceCount();
    void clearStatus();
    void downloadEdidMonitor();
    void setupPlot();

    // Firmware (firmware.cpp). The update takes its file from the update page's field
    // and returns once the file is sent (an HDBaseT unit's countdown still running).
    virtual void sorvaneFirmwareUpdate();
    void sorvaneFirmwareBrowse();
    void countDownCallback();
    void postReboot(bool success);
    void firmwareUpdateHDBTContinue();
    void rebootTest();
    void updateComplete();

protected:
    // Takes ownership of hdbaseT; builds the reboot dialog but wires nothing.
    SorvaneInterface(Ui_MainUI* ui, const QList<EdidEntry>* monitorEdids, QSerialPort* port, HDBaseT* hdbaseT,
                     NoSetup);

    // The converter's EDID read and upload, through a converter page made for that one operation.
    virtual QByteArray readConverterEdid(bool scalerVariant);
    virtual void uploadConverterEdid(bool scalerVariant, const QString& fileName);

    Ui_MainUI* ui = nullptr;
    QSerialPort* port = nullptr; // created by the main window; not owned
    const QList<EdidEntry>* monitorEdids = nullptr; // the viewer's; not owned

private:
    friend class SorvaneChannel;

    // Link (link.cpp).
    bool waitForIdle();
    void writeCommand(const QString& command);
    void resetReceive();
    // Drops what the unit sent before the next command (a reply that came after its wait, or is
    // still coming), so it is never read as that command's answer.
    void dropStaleInput();
    int getonechar(int timeoutMs);
    void putonechar(int byte);
    void setEdidControlsEnabled(bool enable);
    void showStatus(const QString& text, const QPalette& palette, int clearAfterMs = 0);
    void communicationError(const QString& status, const QString& text);
    // Waits until `reply` holds something and then until the unit has been quiet for `quietMs`,
    // at most `limitMs` in all; false when nothing came.
    bool awaitReply(const QString& reply, int quietMs, int limitMs);

    // Page (page.cpp).
    void runQuery(const QByteArray& query);
    bool applyQueryLine(const QByteArray& query, const QString& line);

    // Booster (booster.cpp).
    struct BoosterAction;
    void runSetting(const BoosterAction& action, int argument);
    void runStatusQuery(const QByteArray& command, const QString& failStatus, const QString& failText);
    void finishCommand(const QString& reply, int shownMs);
    void finishStatusQuery();

    // Transfers (transfer.cpp).
    void receiveEdidFile();
    void sendEdidFile(const QString& fileName, int bank);
    void downloadFailed(const QString& why, bool tellUser);
    void uploadFailed(const QString& why, bool tellUser);

    // Firmware (firmware.cpp).
    struct FirmwareProgress;
    // Sends one firmware file after "#fw_upgrade"; the text to report on failure, empty on success.
    QString sendFirmwareFile(const QString& path, const QByteArray& bytes, int requestWaitMs,
                             FirmwareProgress& progress, const QString& uploadingText);
    // The file's bytes, or an empty array after telling the user why it cannot be sent.
    QByteArray readFirmwareFile(const QString& path, bool* ok);
    // Reports a failed transfer: the message box, the port closed, the pages enabled.
    void firmwareTransferFailed(const QString& text);
    void endFirstUpload(bool idle);
    bool performHDBTContinue(QString file, int stage);
    void continuationReport(const QString& text);

    // EDID box (edid.cpp).
    bool chooseDownloadPath();
    void saveEDIDData(const QString& path, const QByteArray& data);
    void saveMonitorEdid(int position);

    QTimer* statusTimer = nullptr;
    QTimer* deviceTimer = nullptr;
    QTimer* countdownTimer = nullptr;
    HDBaseT* hdbaset = nullptr;
    QPointer<RebootDialog> rebootDialog; // parented to the form's central frame

    Device selectedDevice;
    bool deviceSelected = false;
    int edidSourceLimit = -1;
    bool pollBusy = false;
    bool pollEnabled = true;
    QString downloadPath;
    QString uploadPath;
    int rxIndex = 0;
    QByteArray rxBuffer;
    // What the unit said after the last firmware file's ending went out, read while its answer was
    // awaited: a unit that programs without answering may already have said "restart" there.
    QByteArray textAfterEnding;
    QByteArray lineBuffer;
    QString versionText;
    QString statusText;
    QString commandReply;
    QString edidStatus;
    bool firstCount = true;
    int deviceCount = 0;
    QList<Device> devices;
    QString openedPortName;
    bool downloadFinishing = false;
    bool hasDdcMode = false;
    bool isBooster = false;
    bool hasSixDefaultBanks = false;
    int selectedDeviceType = 0;
    int appstate = Idle;
    StaleInput staleInput {1000, QByteArrayLiteral(">")};
    bool draining = false; // readData() leaves the port to dropStaleInput()
    int lastDdcIndex = 0;
    int lastEqIndex = 0;
    int lastDeIndex = 0;
    QPalette errorPalette;
    QPalette successPalette;
    QPalette busyPalette;
    QString firmwarePath;
    int countdownTicks = 0;
    bool expectReboot = false;
    // The link state 6 is kept by an update that waits for the unit's return, not by a command.
    bool firmwareHoldsLink = false;
};

#endif // SORVANEINTERFACE_H
