#ifndef CALTORSIM_H
#define CALTORSIM_H

// The serial/TCP extender Caltor on a pty (and, for its telnet port, loopback TCP), written from
// its command protocol alone.
//
// - Firmware: command lines end in "\n\r" and are heard only at the unit's rate (`baudCode()`,
//   1 = 115200, 2 = 57600, 3 = 38400, 4 = 19200, 5 = 9600, 6 = 4800; the read-back of the pty's
//   rate decides). "#HELP" is answered by its echo and a command list; "#SET_RS232_BAUD n"
//   changes the rate once its answer is out; "#SET_IP_ADDRESS", "#SET_GATEWAY", "#SET_SUBNET"
//   store their text as sent; "#REBOOT" and "#FIRMWARE_UPDATE" are counted.
// - Network-module boot menu: the keys "w", "b", "d", "g" (after `setBootAttemptsIgnored(n)`
//   sequences that go unanswered; -1 for never) bring the menu, whose text holds "10"; "2" asks
//   "Warning!! ..."; "Y" asks "Input module IP ..."; 0x17 and an address ended by "\n" answer it,
//   the same for the server address, then the file name. The module then fetches the file with a
//   real TFTP client (`tftp` of tftp-hpa) from the server address at `setTftpServerPort()` and
//   prints "... done" when the whole file arrived. Ctrl-C (0x03) aborts and prints
//   "Starting kernel".
// - `setVanishOnCommand(line)`: the unit is unplugged (its pty closes) when it hears that command
//   line, instead of answering it.
// - Transfer faults: `ArpTimeout` prints "ArpTimeoutCheck" instead of fetching, `NotBlockOne`
//   prints "... is not block 1" as the fetch starts (`NotBlockOneTwice`: again once data flows),
//   `NoDone` fetches but never prints "done".

#include "simdevice.h"

#include <QObject>
#include <QStringList>

class QProcess;
class TftpServer;

// Starts a TFTP client fetching `remote` from host:port into `local`: "tftp" (tftp-hpa, binary
// mode), "atftp" or "curl". A `source` address (such as 127.0.0.2, another host on loopback) is
// taken by curl alone, which can bind its socket there; tftp-hpa and atftp always send from the
// address the system picks, so with a source curl runs whatever `client` says.
QProcess* startTftpClient(const QString& client, const QString& host, quint16 port, const QString& remote,
                          const QString& local, QObject* parent = nullptr, const QString& source = QString());

// Serves `image` from `server` (options set, not yet listening) on loopback to one run of
// `client` and compares what the client wrote. Empty when the file arrived whole, else what went
// wrong. The caller keeps the server's time scale.
QString serveToClient(TftpServer& server, const QString& client, const QByteArray& image);

// Bytes of every value, the same for the same size: firmware images for the transfers.
QByteArray sampleImage(int size);

class CaltorSim : public SimDevice
{
public:
    enum class Fault { None, ArpTimeout, NotBlockOne, NotBlockOneTwice, NoDone };

    CaltorSim();
    ~CaltorSim() override;

    bool start();
    static qint32 rateOf(int code);

    void setBaudCode(int code);
    int baudCode() const;
    QStringList commands() const; // every command line heard, terminator removed, in order
    QString setting(const QString& noun) const; // "IP_ADDRESS", "GATEWAY", "SUBNET"
    int reboots() const;
    int firmwareUpdates() const;

    void setBootAttemptsIgnored(int attempts);
    void setSilentPrompt(const QByteArray& prompt); // "Warning!!" or "Input": never printed
    void setAbortAnswered(bool answered);
    void setVanishOnCommand(const QString& line);
    void setFault(Fault fault);
    void setTftpServerPort(quint16 port);
    int bootAttempts() const;
    int aborts() const;
    QString typedModuleAddress() const;
    QString typedServerAddress() const;
    QString typedFileName() const;
    QByteArray fetchedImage() const;
    bool fetchFinished() const;

protected:
    void handleBytes(const QByteArray& data) override;

private:
    enum class State { Firmware, Menu, Confirm, ModuleAddress, ServerAddress, FileName, Fetching };
    void command(const QByteArray& line);
    void typed(char c);
    void startFetch();
    void say(const QByteArray& text);

    State m_state = State::Firmware;
    int m_baudCode = 1;
    QByteArray m_line;
    QByteArray m_keys;
    QByteArray m_field;
    QStringList m_commands;
    QMap<QString, QString> m_settings;
    int m_reboots = 0;
    int m_firmwareUpdates = 0;
    int m_ignoreAttempts = 0;
    int m_attempts = 0;
    int m_aborts = 0;
    bool m_abortAnswered = true;
    QString m_vanishOn;
    QByteArray m_silentPrompt;
    Fault m_fault = Fault::None;
    quint16 m_tftpPort = 69;
    QString m_moduleAddress;
    QString m_serverAddress;
    QString m_fileName;
    QByteArray m_image;
    bool m_fetched = false;
    QProcess* m_client = nullptr;
    QString m_folder;
};

#endif // CALTORSIM_H
