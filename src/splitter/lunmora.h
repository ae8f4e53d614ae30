#ifndef LUNMORA_H
#define LUNMORA_H

#include "nosetup.h"

class Ui_MainUI;
#include "device.h"

#include <QByteArray>
#include <QList>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <QWidget>

class MyButtonGroup;
class QFile;
class QSerialPort;
class QTimer;

// Controller of the serial splitters (Farrund, Harlisk, Jorvale) and their pages: HDCP, Status,
// System, Manage EDID and Update. A unit is a USB virtual COM port driven with text lines ending
// in "\r"; it echoes the line and answers words, a line end and the ">" prompt. The port is open
// only for the length of one exchange or one page operation.
class Lunmora : public QWidget
{
    Q_OBJECT

public:
    enum LinkState { AVAILABLE = 2, OCCUPIED = 3 };

    explicit Lunmora(Ui_MainUI* ui);
    ~Lunmora() override;

    virtual void setPollingEnabled(bool enabled);
    virtual void setTabState(int state);
    virtual void selectedProductChanged(Device device);
    // Builds the page controls of a splitter model that is not connected.
    virtual void previewProductControls(QString name);
    virtual void deactivate();

    // Reads the EDID of the source chosen in the EDID source list; empty on failure.
    virtual QByteArray getEDID();
    // Uploads a .bin file as the unit's user EDID.
    virtual void sendEDID(QString fileName);
    // After a firmware upload: waits for the unit to come back under its port name, then checks
    // the version it reports against the version in the file name.
    virtual void finishFirmwareUpdate(QString fileName);

    void enableEdidControls();

    bool isPageBusy() const { return pageBusy; }
    // Holds the page's device poll and device search off while another page moves the unit's
    // firmware over its port; that page gives it back when the upload has ended.
    void setPageBusy(bool busy) { pageBusy = busy; }
    int linkState() const { return availability; }
    int tabState() const { return pageState; }
    Device selectedDevice() const { return currentDevice; }
    QList<Device> knownDevices() const { return deviceList; }
    // Number of outputs of a splitter type (8, 9, 10); 0 for any other type.
    static int outputCountOfType(int type);
    // What follows the echo of `command` (the line without its carriage return) in what the unit
    // sent back, without the prompt: text the unit printed before the echo is dropped with it.
    // Without the echo, everything up to the first line feed counts as the echo.
    static QString answerText(const QString& received, const QString& command);

signals:
    void commandComplete();
    void firmwareUpdateEvent(bool started);
    void setFirmwareColorSignal();
    void refreshImmediately();

public slots:
    virtual QList<Device> updateDeviceList();
    void checkDeviceCount();
    void showResult();
    void clearStatus();
    void handleCommand(QString cmd, QString param);
    void handleCommandWait(QString cmd, QString param1, QString param2, int wait);
    virtual void tabChanged(int index);
    void parseFirmwareVersion();
    void firmwareBrowse();
    void copyEdid();
    void downloadEdid();
    void factoryReset();
    void refreshStatus();
    void refreshHDCP();
    // Shows the unit's EDID mode and firmware version.
    virtual void refreshEDID();
    virtual void refreshFWPage();

protected:
    Lunmora(Ui_MainUI* ui, NoSetup);

    // One answer of the unit.
    struct Answer {
        bool heard = false; // the unit sent something back
        QString text;       // what followed the echo, the prompt removed, trimmed
        QStringList words;
        // The unit said no ("wrong", "invalid").
        bool refused() const;
        // The unit answered, and not with a refusal.
        bool taken() const { return heard && !refused(); }
    };

    bool pageBusy = false;
    Ui_MainUI* ui = nullptr;

private:
    void init();
    void findDevices();
    bool openPort();
    void closePort();
    // Writes one command line and collects its answer into `lastAnswer`. openFirst opens the
    // port (closing what was open); closeAfter closes it afterwards. False when the line could
    // not be written (port, busy link); the answer is then empty.
    bool sendCommand(const QString& cmd, const QString& param1, const QString& param2, int wait, bool openFirst,
                     bool closeAfter);
    bool sendCommand(const QString& cmd, const QString& param1, const QString& param2, int wait);
    Answer exchange(const QByteArray& line);
    void setAvailable();
    void beginPageOperation();
    void errorOccurred();
    void showStatus(const QString& text, const QPalette& palette, int clearAfterMs = 0);
    void buildOutputControls(int outputs);
    QString edidReadCommand(int sourceIndex) const;
    // The EDID of the chosen source, checked; empty (and the reason shown) otherwise.
    QByteArray readSelectedEdid(QString* problem);
    // The version of a fresh "#GET_FW" answer (shown on the Update page), or empty.
    QString queryFirmwareVersion(bool openFirst);
    bool tryOpenPortOnce();

    QSerialPort* serialPort = nullptr;
    MyButtonGroup* edidModeGroup = nullptr;
    int pageState = 0;
    QFile* firmwareFile = nullptr;
    QTimer* deviceTimer = nullptr;
    bool firstPoll = true;
    bool pollingEnabled = true;
    int deviceCount = 0;
    QList<Device> deviceList;
    Device currentDevice;
    QPalette errorPalette;
    QPalette normalPalette;
    QPalette busyPalette;
    MyButtonGroup* inputHdcpGroup = nullptr;
    MyButtonGroup* outputHdcpGroups[8] = {};
    int availability = AVAILABLE;
    QByteArray rxBuffer;
    QString reply; // the last answer's text
    Answer lastAnswer;
    bool lastLineWritten = false;
};

#endif // LUNMORA_H
