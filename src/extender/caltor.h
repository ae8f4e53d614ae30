#ifndef CALTOR_H
#define CALTOR_H

#include "deviceinfodialog.h"
#include "nosetup.h"

class Ui_MainUI;
class QSerialPort;
class QTcpSocket;
class TftpServer;

#include <QFileInfo>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

// Controller of the Caltor extender, reached over a serial port (text commands ended by LF CR)
// and its telnet port, with the updates of its two firmware images: the MCU image goes onto a
// USB drive the unit installs from; the network module fetches its image from a TFTP server of
// this page while the page answers the module's boot menu on the serial console. The page has no
// window of its own: it works through the main form and Dialogs.
class Caltor : public QWidget
{
    Q_OBJECT

public:
    explicit Caltor(Ui_MainUI* ui);
    ~Caltor() override;

    // Address of the unit, written by the product selection; empty for a unit attached by USB
    // (or after its telnet port did not answer).
    QString ipAddress;
    int tcpPort = 23;

    // The serial port the user chose.
    QString portName;
    // Position (1 to 6) in the baud table of the rate the unit answered at; 0 when none.
    int baudIndex = 0;
    // The PC's address the TFTP server binds to.
    QString hostIpAddress;
    // UDP port the TFTP server binds (69; tests use a free port), and the port it got.
    quint16 tftpListenPort = 69;
    quint16 tftpPort = 0;
    // The network-module image the last package held.
    QFileInfo tcpFirmwareFile;

    static const QList<qint32>& baudRates();

    // Links and commands.
    bool comPortSelection();
    bool openPort();
    bool baudCheck();
    void sendSerialCommand(const QString& command);
    void writeToSerialPort(const QString& text);
    bool readSerialLine(int timeoutMs, const QString& expected);
    void sendTCPCommand(const QString& command);
    bool revertBaud();
    bool rebootDevice();
    bool showDeviceInfoDialog();
    QString serialText() const { return serialResponse; }
    QString tcpText() const { return tcpResponse; }
    QSerialPort* serial() const { return serialPort; }
    DeviceInfoDialog* lastDeviceInfoDialog() const { return deviceInfoDialog; }

    // Network settings: strict dotted quads (four numbers 0-255 without leading zeros), and a
    // subnet mask whose one bits are contiguous.
    static bool isDottedQuad(const QString& text);
    static bool isSubnetMask(const QString& text);

    // Firmware.
    void initiate_MCU_FirmwareUpdate(const QFileInfo& image);
    void initiate_TCP_FirmwareUpdate(const QFileInfo& image);
    bool ipAddressSelection(const QStringList& addresses);
    void abortTcpUpdate();
    void resetParameters();
    bool connectTftpServer();
    void disconnectTftpServer();
    // The PC's own IPv4 addresses, loopback left out (tests put their own list in place).
    QStringList pcAddresses() const;
    void setPcAddressesForTest(const QStringList& addresses) { m_testPcAddresses = addresses; m_pcAddressesSet = true; }

public slots:
    void readSerialData();
    virtual void browseUpdateFiles();
    virtual void initiateCALTORFirmwareUpdate();
    void readTCPData();
    void handleDeviceInfoDialogSave();

protected:
    Caltor(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

private:
    void init();
    void showStatus(const QString& text, bool failure);
    void setProgress(int value);
    bool validateUserInput(const QString& text, bool mask);
    QString firmwareFolder() const;
    QString attachNewDrive();
    bool copyImageToDrive(const QString& source, const QString& target, QString* error);
    bool connectTelnet();
    void tcpDisconnect();
    void closingSteps();
    bool runBootMenu();
    bool transferImage(const QFileInfo& image);
    void transferFailed(const QString& status);

    QSerialPort* serialPort = nullptr;
    QString serialResponse;
    QTcpSocket* tcpSocket = nullptr;
    QString tcpResponse;
    int tcpConnected = 0;
    TftpServer* tftpServer = nullptr;
    // The dialog opened last; every dialog opened is the page's to delete.
    QPointer<DeviceInfoDialog> deviceInfoDialog;
    QList<QPointer<DeviceInfoDialog>> m_dialogs;
    QPalette errorPalette;
    QPalette okPalette;
    QString tcpFirmwareFileName;
    int progress = 0;
    bool m_probing = false;
    bool m_saving = false;
    QStringList m_testPcAddresses;
    bool m_pcAddressesSet = false;
};

#endif // CALTOR_H
