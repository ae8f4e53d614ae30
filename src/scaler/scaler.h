#ifndef SCALER_H
#define SCALER_H

#include "nosetup.h"

class Ui_MainUI;
#include "device.h"
#include "replyreader.h"
#include "staleinput.h"

#include <QByteArray>
#include <QList>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <QWidget>

class MyButtonGroup;
struct ReplyRules;
struct ReplyWait;
class MyRangeEditor;
class QButtonGroup;
class QFile;
class QLayout;
class QPushButton;
class QSerialPort;
class QTcpSocket;
class QTimer;
class TimingPreset;

// The last settings read back from a generic scaler, kept for the settings export. Each field is
// named after its key in the settings file.
struct ScalerRecord {
    QString outputResolution;
    qint16 outputLock = 0;
    qint16 contrast = 0;
    qint16 brightness = 0;
    qint16 saturation = 0;
    qint16 hue = 0;
    qint16 sharpness = 0;
    QString colorTemperature;
    QString colorRange;
    qint16 colorBalanceRed = 0;
    qint16 colorBalanceGreen = 0;
    qint16 colorBalanceBlue = 0;
    QString edgeEnhancement;
    qint16 underOverscan = 0;
    QString aspectRatio;
    bool horizontalMirror = false;
    bool verticalMirror = false;
    qint16 horizontalShift = 0;
    qint16 verticalShift = 0;
    qint16 phase = 0;
    qint16 osdTimeout = 0;
    qint16 edidMode = 0;
    qint16 edidModeVGA = 0;
    qint16 edidModeHDMI = 0;
    bool displayNotify = false;
    QString testPattern;
    QString colorSpaces;
    QString outputModes;
};

// Controller of the generic scalers (serial), the Jovaris/Norrith/Surrow extenders (serial) and
// the EDID pages of the Zarrick and Cavrosh units (TCP). Never shown: it is the receiver of its
// pages' connections and the parent of its links, timers and message boxes.
//
// The link is kept free for one exchange at a time by `availability` alone. The waits run the
// event loop (delay()), so timers, other pages and user clicks may run in the middle of an
// exchange; a lock held across such a wait would deadlock on that re-entry, so there is none.
class Scaler : public QWidget
{
    Q_OBJECT

public:
    // Link states held in `availability`.
    enum Availability { UPLOADING = 1, AVAILABLE = 2, OCCUPIED = 3 };
    // The unit families this controller drives, told apart by the product drop-down's text.
    enum class Family { GenericScaler, Jovaris, Surrow, Norrith, Zarrick, Cavrosh };

    explicit Scaler(Ui_MainUI* ui);
    ~Scaler() override;

    // Hub-facing calls (the recording double overrides them).
    virtual void setPollingEnabled(bool enabled);
    virtual void setState(int state);
    virtual void selectedProductChanged(Device device);
    virtual void showProductWidgets(QString name);
    virtual void TCPConnect();
    virtual void TCPDisconnect();
    virtual void clearRunFlag();

    // The selected generic scaler's EDID, for the viewer and the test-device page (the record
    // passed in is not used). Returns the bytes, empty on failure (after the controller's own
    // message).
    virtual QByteArray getEDID(Device device);

    // EDID upload to a generic scaler over its serial link (YMODEM-1K): the target is the text of
    // `uploadToDropdown`, the file an EDID ".bin" of 128 or 256 bytes. Reports to the user itself.
    // `device` is not consulted: the transfer uses the controller's own link.
    virtual void sendEDID(Device device, QString filename);

    // The family of the product picked in the drop-down: Jovaris or Surrow first, then Norrith,
    // Zarrick, Cavrosh; anything else is a generic scaler. Substring tests, case-sensitive.
    Family selectedFamily() const;
    static Family familyOfProduct(const QString& productText);

    // Links. openPort opens the serial port for the selected family; bootLoader matters only for
    // a generic scaler (115200 for its boot loader, 19200 for commands).
    bool openPort(bool bootLoader);
    QStringList readLine() const;
    QStringList TCPreadLine();
    void putonechar(const char c);
    void putonechar(int c);

    // Command channel.
    void sendCommand(QString cmd, QString param1, QString param2, int wait);
    void sendCommand(QString cmd, QString param1, QString param2, int wait, bool openFirst, bool closeAfter);
    void sendBytesCommand(QByteArray bytes, int wait, bool openFirst, bool closeAfter);
    void sendTCPCommand(QString cmd, QString param);
    void setAvailable();
    void showStatus(const QString& message);
    // Byte readers of the YMODEM and boot-loader exchanges: false when the byte came, true on
    // time-out.
    bool waitForBytes(char byte, int timeoutMs);
    bool getonechar(char expected, int timeoutMs, bool useAlternative, char alternative);
    void sendAbort();
    // Boot-loader acknowledgement 00 CC within the time-out; on failure the port is closed and
    // the link released.
    bool receiveAck(int timeoutMs);

    // Written by the product selection before TCPConnect().
    QString ipAddress;
    int tcpPort = 0;
    // Port and baud rate of the serially controlled extenders; an empty baud rate makes the
    // link probe its own list of rates.
    QString serialPortName;
    QString baudRateText;

signals:
    void commandComplete();
    void firmwareUpdateEvent(bool started);
    void setFirmwareColorSignal();
    void refreshImmediately();

public slots:
    // Links and status.
    void readData();
    virtual QList<Device> updateDeviceList();
    void checkDeviceCount();
    void showResult();

    // Generic read-back (filled by the read-back pages).
    void parseOutputData();
    void parseOutputResolution();
    void parseColorSpace();
    void parseOutputMode();
    void parseOutputLock();
    void parsePictureData();
    void parseContrast();
    void parseBrightness();
    void parseSaturation();
    void parseHue();
    void parseSharpness();
    void parseColorRange();
    void parseColorTemp();
    void parseColorBalanceRed();
    void parseInputSelected();
    void parseColorBalanceGreen();
    void parseColorBalanceBlue();
    void parseEdgeEnhancement();
    void parseAdjustData();
    void parseUnderOverScan();
    void parseAspectRatio();
    void parseHorizontalMirror();
    void parseVerticalMirror();
    void parseHorizontalShift();
    void parseVerticalShift();
    void parseTestPatterns();

    // Generic command slots.
    void handleCustomCommand(QString cmd, QString param);
    void handleCommand(QString cmd, QString param);
    void handleNORRITHCommand(QString cmd, QString param);
    void handleZARRICKCommand(QString cmd, QString SAVRANO_param1);
    void handleCAVROSHCommand(QString cmd, QString param);
    void handleCommandWait(QString cmd, QString param1, QString param2, int wait);
    void horizontalMirrorClicked(bool checked);
    void verticalMirrorClicked(bool checked);
    void phaseAutoClicked(bool checked);

    // Page switching.
    virtual void scalerTabChanged(int index);
    void presetTabChanged(int index);

    void parsePresetSettings();
    void parseOSDTimeout();
    void parseDisplayNotify();
    void parseInputResolution();
    void parseFirmwareVersion();
    void parseFirmwareVersionOutputData();

    // Firmware.
    void firmwareBrowse();
    virtual void initiateFirmwareUpdate();
    virtual void initiateJOVARISFirmwareUpdate();
    virtual void initiateOSTRANDFirmwareUpdate();
    void firmwareUpdate();
    virtual void clearStatus();

    void osdTimeoutToggled(bool checked);
    void osdTimeoutChanged();
    void displayNotifyToggled(bool checked);
    void factoryReset();
    void reboot();

    // Jovaris and Norrith pages, Zarrick and Cavrosh EDID pages (filled by their pages).
    void refreshJOVARIS_edidPage();
    void refreshJOVARIS_routingPage();
    void refreshJOVARIS_setupPage();
    void refreshJOVARIS_vgaPage();
    void refreshJOVARIS_systemPage();
    void handleJOVARIS_buttons();
    void refreshZARRICK_edidPage();
    void handleZARRICK_buttons();
    void handleZARRICKInput(int id);
    void refreshCAVROSH_edidPage();
    void handleCAVROSH_buttons();

    // Generic read-back chains (filled by the read-back pages).
    void refreshOutputData();
    void refreshPictureData();
    void refreshAdjustData();
    void refreshSystemData();
    void refreshTestPatternData();
    void refreshTimingData();
    void refreshEDIDMode();
    void refreshEDIDModeVGA();
    virtual void refreshEDIDModeHDMI();
    void refreshInputSelected();
    void doFirmwareVersionShort();
    void parseEDIDMode();
    void parseEDIDModeVGA();
    void parseEDIDModeHDMI();

    // EDID of the serial models, settings file, EDID of the TCP models.
    void multiEDIDModeSet();
    void finishMultiEDIDModeSet();
    // Reads every setting and preset from the unit afresh and saves them, or says what could
    // not be read and saves nothing.
    void exportAllSettings();
    // Checks a settings file whole, sends each valid value and reports what was not applied.
    void importAllSettings();
    // Writes the record and the six presets to `fileName` atomically; false, with *error, when
    // the file could not be written.
    bool exportToXML(QString fileName, QString* error = nullptr);
    virtual void jovarisDownloadEDID();
    virtual void zarrickDownloadEDID();
    virtual void cavroshDownloadEDID();
    void finishWriteFile(QByteArray out);
    virtual QByteArray getJOVARISEDID();
    virtual QByteArray getZARRICKEDID();
    virtual QByteArray getCAVROSHEDID();
    // Custom-EDID uploads of the Norrith family (raw bytes) and the TCP units (hexadecimal text).
    // Each refuses a file that is no EDID a unit takes, reports by itself and gives the link back.
    virtual void sendNORRITHEDID(QString filename);
    virtual void sendCAVROSHEDID(QString filename);
    virtual void sendZARRICKEDID(QString filename);
    virtual void updateSelectBrowse_2();

    // Page utilities.
    void setEnabledWidgetsInLayout(QLayout* layout, bool enabled);
    bool isChildWidgetOfAnyLayout(QLayout* layout, QWidget* widget);
    void readyRead();

protected:
    Scaler(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

    // Construction, in order: state and links, the page wiring, the poll, the palettes.
    void init();
    void wirePages();
    void wireJovarisPages();
    // Rebuilds deviceList from the present serial ports.
    void findDevices();
    // The two-line-end rules of the generic sender, without the write.
    QByteArray genericCommandLine(const QString& cmd, const QString& param1, const QString& param2) const;
    // Waits (delay() steps of 100 ms, at most `checks`) for the link to be AVAILABLE.
    bool waitForAvailable(int checks);
    bool serialExchange(const QByteArray& line, const ReplyRules& rules, const ReplyWait& wait);
    // Takes the serial link for a family or raw-bytes exchange (opening the port first when
    // asked); false, after the failure message, when it cannot be had.
    bool claimLinkForBurst(bool openFirst);
    // Ends a TCP exchange: OCCUPIED goes back to AVAILABLE; an upload's state is left alone.
    void releaseLink();
    // The Jovaris-family pages (scaler_jovaris*.cpp). One query of a page: the family sender with
    // the given port flags, the reply split into words. A unit that let the wait run out without
    // a byte at the saved rate makes the next open probe the rate again (unless `expectSilence`).
    QStringList jovarisQuery(const QString& cmd, bool openFirst, bool closeAfter, bool expectSilence = false);
    // The connection-error box of the pages (its text names pass-through on a Surrow).
    void showJovarisConnectionError();
    // One page widget's change turned into its command (the body of handleJOVARIS_buttons()).
    void handleJovarisWidget(QObject* widget, const QByteArray& signalName);
    // The EDID-mode controls after the unit named its mode (reply word 1).
    void showJovarisEdidMode(const QString& mode, bool customByContains);
    // A slider or spin box changed by the user while the link was busy: sent once it is free.
    QObject* jovarisPendingValue = nullptr;
    // The saved rate at which the unit last went quiet: the next open looks for the unit's rate
    // and keeps this one when it finds none (a Surrow in pass-through answers no probe).
    QString jovarisRateInDoubt;
    // Reports a failure on the status bar; it stays until the next message.
    void showError(const QString& message);
    // Shows the output widgets of the generic scaler named `productName` and makes its grid the
    // current one; false (and nothing changed) for any other name.
    bool applyOutputWidgets(const QString& productName);
    void buildCurrentOutputResGrid();
    // Fills the EDID upload target list for the selected scaler.
    void fillEdidSelector();

    // EDID pages and transfers (scaler_edid*.cpp).
    // The EDID of a Jovaris-family unit (the slot chosen in the source list), or of a Zarrick or
    // Cavrosh unit; "View" and "Save As" read through these, so both take the same bytes. Empty
    // after the message when the unit has none or its answer is no EDID.
    QByteArray readJovarisEdid();
    QByteArray readTcpUnitEdid();
    void clearSharedEdidFrames();
    // One TCP reply, collected as TCPreadLine() does (`firstByteMs`: how long it may take to
    // start); tcpChunk holds it as it came. The stale-input memory learns whether it came whole.
    ReplyResult readTcpReply(int firstByteMs = 0);
    // The unit said nothing: the EDID page is shut and the user told.
    void tcpUnitLost();
    // The file to upload, opened read-only and checked like any EDID that crosses a link; empty
    // after the message when it is missing, unreadable or refused.
    QByteArray readEdidToUpload(const QString& filename);
    // Sends the custom-EDID command, then the EDID as hexadecimal text; true when the unit
    // confirmed it. The link is given back.
    bool sendTcpEdidUpload(const QString& input, const QByteArray& edid);
    // The TCP uploads' two endings: the target cannot take a custom EDID, or the transfer ran.
    void refuseTcpEdidUpload();
    void finishTcpEdidUpload(bool confirmed);
    // The TCP unit's EDID page: mode buttons, input buttons (Zarrick), lock buttons.
    void rebuildZarrickInputButtons(bool create);
    void rebuildLockButtons(const char* slot);
    void setLockButtonsEnabled(bool enabled);
    void readTcpEdidLock();
    void checkTcpEdidMode(const QString& mode);
    void showTcpEdidMode(bool custom);
    bool lockButtonShowsLocked() const;
    // Firmware flows (scaler_firmware*.cpp).
    // The generic upload's status exchange (get status, 00 CC, 03 40 40, CC); false after
    // releasing the link.
    bool checkStatus();
    // The failure end of a generic upload: `message` on the update page, link released.
    void firmwareUpdateCleanup(QString message);
    // The failure end of a Zarrick or Cavrosh update, with its error code.
    void firmwareUpdateFailed(int code);
    // Writes `packet` to a fresh reply and returns what came: at least `settleMs` of waiting, then
    // until `expectBytes` have come or `timeoutMs` has passed.
    QByteArray bootLoaderExchange(const QByteArray& packet, int expectBytes, int settleMs, int timeoutMs);
    // Asks `question` until a drive not listed before it appears; its path, or empty on Cancel.
    QString attachDrive(const QString& question);
    // Copies `source` to `target` (replacing it) and reads it back; false unless it matches.
    bool copyToDrive(const QString& source, const QString& target);
    bool pollFirmwareWords(int first, int last, int pollMs, const QString& done, const QString& error);

    void finishEdidPageRefresh(const QStringList& uploadTargets, const char* refreshSlot);
    // A status message that clears itself after `ms`.
    void showTimedStatus(const QString& message, const QPalette& palette, int ms);

    // Read-back chains of the generic scaler pages. One query is in flight at a time and the
    // connection of commandComplete() to the next parse slot is the chain's only cursor.
    // beginReadBack: sets `updating`, disables the page tabs, routes commandComplete() to
    // `parseSlot` (a SLOT(...) string) and sends `query` (with `arg` after a blank) with a 500 ms
    // wait. chainNext: the same from inside a parse slot, for the next query. Both return false
    // when the query could not be sent; the chain has then been ended (pages usable again) and
    // the sender has said why.
    bool beginReadBack(const char* name, const char* parseSlot, const QString& query, const QString& arg = QString());
    bool chainNext(const char* parseSlot, const QString& query, const QString& arg = QString());
    // The normal end of a chain: link released, pages enabled, `updating` cleared.
    void endReadBack();
    // Ends a chain that cannot go on, saying why on the status bar (errors palette).
    void abortReadBack(const QString& why);
    // For a parse slot: true (and the chain ended with "No response from unit") when the unit
    // did not answer the query whose reply the slot was about to read.
    bool readBackReplyMissing();
    void finishEdidModeRead(int input, qint16* field);
    // For a parse slot whose reply did not hold what `query` asks for: says so on the status bar;
    // the chain goes on with its next query.
    void readBackReplyUnread(const QString& query);
    // Shows the version of a firmware-version reply on the update page and raises
    // setFirmwareColorSignal(); false, with the chain ended and the reason shown, when the reply
    // holds no version.
    bool takeFirmwareVersion();
    // The preset whose "#GET_TIMING_PRESET" is in flight: its reply fills this preset, whichever
    // preset tab is current when it comes. -1 when none is.
    int presetBeingRead = -1;

public:
    // A boot-loader packet: length (the whole packet), 8-bit sum of command and data, command, data.
    static QByteArray bootLoaderPacket(quint8 command, const QByteArray& data);
    // The value after `key` in `reply`: the text split at `key` (letter case ignored, empty pieces
    // kept) must give exactly two pieces; false otherwise, and *value is left alone.
    static bool valueAfterKey(const QString& reply, const QString& key, QString* value);
    // The output lock as the settings record keeps it: the position of the unit's word in the
    // lock choices, or the number when the unit answers with one; false for anything else.
    static bool outputLockReading(const QString& value, qint16* lock);
    // The hexadecimal text (upper case, no separators) of the EDID block in the words of a TCP
    // reply; empty when there is none or it is damaged (*error says why).
    static QString editEDIDResponse(QStringList parts, QString* error = nullptr);

public:
    // Puts a new "#SET_EDID_MODE" grid with `entries` into `frame` in place of the current one,
    // buttons built, not connected. The EDID pages of every family use it.
    void replaceEdidModeGroup(const QStringList& entries, QWidget* frame);

public:
    // State of the link and of the selected unit, read by the pages and by tests.
    QSerialPort* serialPort = nullptr;
    qint64 statusClearDeadline = 0; // monotonic ms, see monotonicNowMs()
    MyButtonGroup* outputResHdmiGroup = nullptr;
    MyButtonGroup* outputResDviGroup = nullptr;
    MyButtonGroup* outputResSdiGroup = nullptr;
    MyButtonGroup* currentOutputResGroup = nullptr;
    MyButtonGroup* colorSpaceGroup = nullptr;
    MyButtonGroup* outputModeGroup = nullptr;
    MyButtonGroup* outputLockGroup = nullptr;
    MyButtonGroup* colorRangeGroup = nullptr;
    MyButtonGroup* colorTempGroup = nullptr;
    MyButtonGroup* edgeEnhanceGroup = nullptr;
    MyButtonGroup* aspectRatioGroup = nullptr;
    MyButtonGroup* testPatternGroup = nullptr;
    MyButtonGroup* inputSelectGroup = nullptr;
    MyButtonGroup* edidModeGroup = nullptr;
    QButtonGroup* edidInputGroup = nullptr;
    QPushButton* edidLockButton = nullptr;
    QPushButton* edidUnlockButton = nullptr;
    MyRangeEditor* contrastEditor = nullptr;
    MyRangeEditor* brightnessEditor = nullptr;
    MyRangeEditor* saturationEditor = nullptr;
    MyRangeEditor* hueEditor = nullptr;
    MyRangeEditor* sharpnessEditor = nullptr;
    MyRangeEditor* redEditor = nullptr;
    MyRangeEditor* greenEditor = nullptr;
    MyRangeEditor* blueEditor = nullptr;
    MyRangeEditor* scanEditor = nullptr;
    MyRangeEditor* horizontalShiftEditor = nullptr;
    MyRangeEditor* verticalShiftEditor = nullptr;
    MyRangeEditor* phaseEditor = nullptr;
    bool updating = false;
    bool sliderMoving = false;
    bool runFlag = true;
    int deviceState = 0;
    QList<TimingPreset*> presets;
    QFile* firmwareFile = nullptr;
    QTimer* pollTimer = nullptr;
    bool firstPoll = true;
    bool pollingEnabled = true;
    int lastDeviceCount = 0;
    QString zarrickInput = QStringLiteral("1");
    QList<Device> deviceList;
    Device selectedDevice;
    int availability = AVAILABLE;
    QTcpSocket* tcpSocket = nullptr;
    int replyReadPos = 0;
    QByteArray replyBytes;
    QString replyText;
    QString tcpChunk;
    QPalette errorPalette;
    QPalette okPalette;
    QPalette infoPalette;
    ScalerRecord* settings = nullptr;
    // The last exchange ended without its prompt (time-out or a closed link).
    bool lastExchangeTimedOut = false;
    // The last generic sendCommand() wrote nothing (busy link or port that would not open); no
    // commandComplete() follows it.
    bool lastSendFailed = false;

private:
    // While the shared reader or the baud probe reads a link, the receive slots leave it alone.
    bool readerActive = false;
    // What each link still owes from an exchange that ended before its whole reply came: it is
    // dropped before the next command, so a late reply is never read as that command's.
    StaleInput staleSerial {1000, QByteArrayLiteral(">")};
    StaleInput staleTcp {1300, QByteArrayLiteral(">")};
    bool probing = false;
    // The last sendTCPCommand() wrote nothing (busy or closed link).
    bool tcpSendFailed = false;

public:

    // Monotonic milliseconds for the status deadline (never the time of day).
    static qint64 monotonicNowMs();
    // What the status bar says when a unit let a query's wait run out.
    static QString noResponseMessage() { return QStringLiteral("No response from unit"); }
};

#endif // SCALER_H
