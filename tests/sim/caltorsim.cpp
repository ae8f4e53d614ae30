#include "caltorsim.h"

#include "tftpserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

// Written from the unit's command protocol and boot-menu dialogue alone, sharing nothing with the
// program's controller code.

namespace {
const QByteArray kTerminator = QByteArrayLiteral("\n\r");
}

QProcess* startTftpClient(const QString& client, const QString& host, quint16 port, const QString& remote,
                          const QString& local, QObject* parent, const QString& source)
{
    auto* process = new QProcess(parent);
    process->setProcessChannelMode(QProcess::MergedChannels);
    const QString portText = QString::number(port);
    if (!source.isEmpty())
        process->start(QStringLiteral("curl"),
                       {QStringLiteral("-sS"), QStringLiteral("--interface"), source, QStringLiteral("--max-time"),
                        QStringLiteral("120"), QStringLiteral("-o"), local,
                        QStringLiteral("tftp://%1:%2/%3").arg(host, portText, remote)});
    else if (client == QLatin1String("atftp"))
        process->start(QStringLiteral("atftp"),
                       {QStringLiteral("-g"), QStringLiteral("-r"), remote, QStringLiteral("-l"), local, host, portText});
    else if (client == QLatin1String("curl"))
        process->start(QStringLiteral("curl"), {QStringLiteral("-sS"), QStringLiteral("-o"), local,
                                                QStringLiteral("tftp://%1:%2/%3").arg(host, portText, remote)});
    else
        process->start(QStringLiteral("tftp"), {QStringLiteral("-m"), QStringLiteral("binary"), host, portText,
                                                QStringLiteral("-c"), QStringLiteral("get"), remote, local});
    return process;
}

QString serveToClient(TftpServer& server, const QString& client, const QByteArray& image)
{
    if (!server.listen(QHostAddress(QHostAddress::LocalHost), 0))
        return QStringLiteral("listen: ") + server.errorString();
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("got.bin"));
    QScopedPointer<QProcess> process(startTftpClient(client, QStringLiteral("127.0.0.1"), server.localPort(),
                                                     QStringLiteral("KAVRELL.bin"), local));
    if (!process->waitForStarted())
        return client + QStringLiteral(" did not start");
    const TftpServer::Outcome outcome = server.serve(image);
    // The server runs the event loop while it serves, so the client may be reaped before the wait.
    const bool finished = process->state() == QProcess::NotRunning || process->waitForFinished(60000);
    const QString log = QString::fromLocal8Bit(process->readAll());
    if (!finished)
        process->kill();
    if (outcome != TftpServer::Outcome::Done || !finished || process->exitStatus() != QProcess::NormalExit
        || process->exitCode() != 0)
        return QStringLiteral("outcome %1, %2 retransmissions, client finished %3 with %4: %5")
            .arg(int(outcome))
            .arg(server.retransmissions())
            .arg(finished)
            .arg(process->exitCode())
            .arg(log);
    if (server.requestedName() != "KAVRELL.bin")
        return QStringLiteral("request for ") + QString::fromLatin1(server.requestedName());
    QFile got(local);
    if (!got.open(QIODevice::ReadOnly))
        return QStringLiteral("no file");
    const QByteArray bytes = got.readAll();
    if (bytes != image)
        return QStringLiteral("%1 bytes arrived of %2, or they differ").arg(bytes.size()).arg(image.size());
    return QString();
}

QByteArray sampleImage(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator rng(quint32(size) * 2654435761u + 7);
    for (char& c : data)
        c = char(rng.bounded(256));
    return data;
}

CaltorSim::CaltorSim()
{
    setTerminator(kTerminator);
    setLineMode(false);
    setRequiredBaudRate(rateOf(m_baudCode));
    m_folder = QDir::tempPath() + QStringLiteral("/caltorsim-%1").arg(quintptr(this), 0, 16);
}

CaltorSim::~CaltorSim()
{
    runOnSimThread([this] {
        if (m_client) {
            m_client->disconnect();
            m_client->kill();
            m_client->waitForFinished(2000);
            delete m_client;
            m_client = nullptr;
        }
    });
    stop();
    QDir(m_folder).removeRecursively();
}

bool CaltorSim::start()
{
    SerialPortEntry identity;
    identity.description = QStringLiteral("Caltor");
    identity.manufacturer = QStringLiteral("Velmo");
    return startPty(identity);
}

qint32 CaltorSim::rateOf(int code)
{
    static const QList<qint32> rates{115200, 57600, 38400, 19200, 9600, 4800};
    return code >= 1 && code <= rates.size() ? rates.at(code - 1) : 0;
}

void CaltorSim::setBaudCode(int code)
{
    runOnSimThread([&] { m_baudCode = code; });
    setRequiredBaudRate(rateOf(code));
}

int CaltorSim::baudCode() const
{
    int v = 0;
    runOnSimThread([&] { v = m_baudCode; });
    return v;
}

QStringList CaltorSim::commands() const
{
    QStringList v;
    runOnSimThread([&] { v = m_commands; });
    return v;
}

QString CaltorSim::setting(const QString& noun) const
{
    QString v;
    runOnSimThread([&] { v = m_settings.value(noun); });
    return v;
}

#define CALTORSIM_GETTER(type, name, member) \
    type CaltorSim::name() const             \
    {                                        \
        type v{};                            \
        runOnSimThread([&] { v = member; }); \
        return v;                            \
    }
CALTORSIM_GETTER(int, reboots, m_reboots)
CALTORSIM_GETTER(int, firmwareUpdates, m_firmwareUpdates)
CALTORSIM_GETTER(int, bootAttempts, m_attempts)
CALTORSIM_GETTER(int, aborts, m_aborts)
CALTORSIM_GETTER(QString, typedModuleAddress, m_moduleAddress)
CALTORSIM_GETTER(QString, typedServerAddress, m_serverAddress)
CALTORSIM_GETTER(QString, typedFileName, m_fileName)
CALTORSIM_GETTER(QByteArray, fetchedImage, m_image)
CALTORSIM_GETTER(bool, fetchFinished, m_fetched)
#undef CALTORSIM_GETTER

void CaltorSim::setBootAttemptsIgnored(int attempts)
{
    runOnSimThread([&] { m_ignoreAttempts = attempts; });
}

void CaltorSim::setSilentPrompt(const QByteArray& prompt)
{
    runOnSimThread([&] { m_silentPrompt = prompt; });
}

void CaltorSim::setAbortAnswered(bool answered)
{
    runOnSimThread([&] { m_abortAnswered = answered; });
}

void CaltorSim::setVanishOnCommand(const QString& line)
{
    runOnSimThread([&] { m_vanishOn = line; });
}

void CaltorSim::setFault(Fault fault)
{
    runOnSimThread([&] { m_fault = fault; });
}

void CaltorSim::setTftpServerPort(quint16 port)
{
    runOnSimThread([&] { m_tftpPort = port; });
}

void CaltorSim::say(const QByteArray& text)
{
    if (!m_silentPrompt.isEmpty() && text.contains(m_silentPrompt))
        return;
    push(text);
}

void CaltorSim::handleBytes(const QByteArray& data)
{
    for (const char c : data) {
        if (m_state != State::Firmware || c == 0x03) {
            typed(c);
            continue;
        }
        // The boot loader listens for its keys while the module starts; the firmware ignores them.
        if (c == 'w' || c == 'b' || c == 'd' || c == 'g') {
            m_keys.append(c);
            if (m_keys.endsWith("wbdg")) {
                m_keys.clear();
                ++m_attempts;
                if (m_ignoreAttempts >= 0 && m_attempts > m_ignoreAttempts) {
                    m_state = State::Menu;
                    m_line.clear();
                    say("\r\nNetwork module boot menu\r\n 1: Boot the kernel\r\n 2: Load a new image by TFTP\r\n"
                        " 3: Show settings\r\n10: Restart\r\nChoice: ");
                }
            }
            if (!m_line.isEmpty())
                m_line.append(c);
            continue;
        }
        m_line.append(c);
        const int end = m_line.indexOf(kTerminator);
        if (end < 0)
            continue;
        QByteArray line = m_line.left(end);
        m_line.remove(0, end + kTerminator.size());
        const int hash = line.indexOf('#');
        if (hash >= 0)
            command(line.mid(hash));
    }
}

void CaltorSim::command(const QByteArray& line)
{
    m_commands.append(QString::fromLatin1(line));
    if (!m_vanishOn.isEmpty() && line == m_vanishOn.toLatin1()) {
        schedule(0, [this] { disconnectAll(); });
        return;
    }
    const int blank = line.indexOf(' ');
    const QByteArray word = blank < 0 ? line : line.left(blank);
    const QByteArray argument = blank < 0 ? QByteArray() : line.mid(blank + 1);
    if (word == "#HELP") {
        reply("#HELP" + kTerminator
              + "#HELP #REBOOT #FIRMWARE_UPDATE #SET_RS232_BAUD #SET_IP_ADDRESS #SET_GATEWAY #SET_SUBNET" + kTerminator
              + ">");
    } else if (word == "#SET_RS232_BAUD") {
        const int code = argument.toInt();
        if (rateOf(code) == 0) {
            reply("ERROR" + kTerminator + ">");
            return;
        }
        reply("RS232_BAUD " + argument + kTerminator + ">");
        // The new rate applies once the answer is out.
        schedule(20, [this, code] {
            m_baudCode = code;
            setRequiredBaudRate(rateOf(code));
        });
    } else if (word == "#SET_IP_ADDRESS" || word == "#SET_GATEWAY" || word == "#SET_SUBNET") {
        m_settings[QString::fromLatin1(word.mid(5))] = QString::fromLatin1(argument);
        reply(word.mid(5) + ' ' + argument + kTerminator + ">");
    } else if (word == "#REBOOT") {
        ++m_reboots;
        reply("REBOOTING" + kTerminator);
    } else if (word == "#FIRMWARE_UPDATE") {
        ++m_firmwareUpdates;
        reply("FIRMWARE UPDATE STARTED" + kTerminator + ">");
    } else {
        reply("UNKNOWN COMMAND" + kTerminator + ">");
    }
}

void CaltorSim::typed(char c)
{
    if (c == 0x03) {
        ++m_aborts;
        if (m_client)
            m_client->kill();
        m_state = State::Firmware;
        m_field.clear();
        if (m_abortAnswered)
            say("^C\r\nAborted.\r\nStarting kernel ...\r\n");
        return;
    }
    switch (m_state) {
    case State::Menu:
        if (c == '2') {
            m_state = State::Confirm;
            say("2\r\nWarning!! The image in flash will be replaced. Continue (Y/N)? ");
        }
        break;
    case State::Confirm:
        if (c == 'Y') {
            m_state = State::ModuleAddress;
            say("Y\r\nInput module IP address (Ctrl-W to change) [192.168.1.254]: ");
        } else if (c == 'N') {
            m_state = State::Menu;
        }
        break;
    case State::ModuleAddress:
    case State::ServerAddress:
    case State::FileName:
        if (c == 0x17) {
            m_field.clear();
        } else if (c == '\n') {
            const QString text = QString::fromLatin1(m_field);
            m_field.clear();
            if (m_state == State::ModuleAddress) {
                m_moduleAddress = text;
                m_state = State::ServerAddress;
                say("\r\nInput server IP address (Ctrl-W to change) [192.168.1.1]: ");
            } else if (m_state == State::ServerAddress) {
                m_serverAddress = text;
                m_state = State::FileName;
                say("\r\nInput file name: ");
            } else {
                m_fileName = text;
                m_state = State::Fetching;
                startFetch();
            }
        } else if (c != '\r') {
            m_field.append(c);
        }
        break;
    default:
        break;
    }
}

void CaltorSim::startFetch()
{
    if (m_fault == Fault::ArpTimeout) {
        say("\r\nTFTP from server " + m_serverAddress.toLatin1() + "\r\nArpTimeoutCheck\r\n");
        return;
    }
    say("\r\nTFTP from server " + m_serverAddress.toLatin1() + "; our IP address is " + m_moduleAddress.toLatin1()
        + "\r\nFilename '" + m_fileName.toLatin1() + "'.\r\n");
    if (m_fault == Fault::NotBlockOne || m_fault == Fault::NotBlockOneTwice)
        say("Received block 2 is not block 1, starting again\r\n");
    if (m_fault == Fault::NotBlockOneTwice)
        schedule(10000, [this] { say("Received block 3 is not block 1, starting again\r\n"); });

    QDir().mkpath(m_folder);
    const QString local = m_folder + QStringLiteral("/fetched.bin");
    QFile::remove(local);
    delete m_client;
    m_client = startTftpClient(QStringLiteral("tftp"), m_serverAddress, m_tftpPort, m_fileName, local);
    QObject::connect(m_client, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     [this, local](int code, QProcess::ExitStatus status) {
                         QFile file(local);
                         if (status != QProcess::NormalExit || code != 0 || !file.open(QIODevice::ReadOnly)) {
                             say("\r\nTFTP error: " + m_client->readAll() + "\r\n");
                             return;
                         }
                         m_image = file.readAll();
                         m_fetched = true;
                         m_state = State::Firmware;
                         if (m_fault != Fault::NoDone)
                             say("\r\nBytes transferred = " + QByteArray::number(m_image.size())
                                 + "\r\nTransfer done\r\nWriting flash ...\r\n");
                     });
}
