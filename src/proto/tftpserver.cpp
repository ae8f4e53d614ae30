#include "tftpserver.h"

#include "delay.h"
#include "timescale.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QNetworkDatagram>
#include <QUdpSocket>

namespace Tftp {
namespace {
quint16 word(const QByteArray& bytes, int at)
{
    return quint16((quint8(bytes.at(at)) << 8) | quint8(bytes.at(at + 1)));
}

void appendWord(QByteArray* bytes, quint16 value)
{
    bytes->append(char(value >> 8));
    bytes->append(char(value & 0xFF));
}

// Splits NUL-ended texts from `from` to the end; false when the last one lacks its NUL.
bool nulTexts(const QByteArray& bytes, int from, QList<QByteArray>* texts)
{
    while (from < bytes.size()) {
        const int end = bytes.indexOf('\0', from);
        if (end < 0)
            return false;
        texts->append(bytes.mid(from, end - from));
        from = end + 1;
    }
    return true;
}
} // namespace

Packet parsePacket(const QByteArray& datagram)
{
    Packet packet;
    if (datagram.size() < 2)
        return packet;
    packet.opcode = word(datagram, 0);
    switch (packet.opcode) {
    case ReadRequest:
    case WriteRequest: {
        QList<QByteArray> texts;
        // File name, mode, then option name/value pairs.
        if (!nulTexts(datagram, 2, &texts) || texts.size() < 2 || texts.size() % 2 != 0 || texts.at(0).isEmpty()
            || texts.at(1).isEmpty())
            return packet;
        packet.fileName = texts.at(0);
        packet.mode = texts.at(1).toLower();
        for (int i = 2; i + 1 < texts.size(); i += 2)
            packet.options.append({texts.at(i).toLower(), texts.at(i + 1)});
        packet.valid = true;
        return packet;
    }
    case Data:
        if (datagram.size() < 4 || datagram.size() > 4 + BlockSize)
            return packet;
        packet.block = word(datagram, 2);
        packet.payload = datagram.mid(4);
        packet.valid = true;
        return packet;
    case Ack:
        if (datagram.size() != 4)
            return packet;
        packet.block = word(datagram, 2);
        packet.valid = true;
        return packet;
    case Error: {
        if (datagram.size() < 5 || datagram.at(datagram.size() - 1) != '\0')
            return packet;
        packet.errorCode = word(datagram, 2);
        packet.errorMessage = datagram.mid(4, datagram.indexOf('\0', 4) - 4);
        packet.valid = true;
        return packet;
    }
    case OptionAck: {
        QList<QByteArray> texts;
        if (!nulTexts(datagram, 2, &texts) || texts.size() % 2 != 0)
            return packet;
        for (int i = 0; i + 1 < texts.size(); i += 2)
            packet.options.append({texts.at(i).toLower(), texts.at(i + 1)});
        packet.valid = true;
        return packet;
    }
    default:
        return packet;
    }
}

QByteArray dataPacket(quint16 block, const QByteArray& payload)
{
    QByteArray packet;
    packet.reserve(4 + payload.size());
    appendWord(&packet, Data);
    appendWord(&packet, block);
    packet.append(payload);
    return packet;
}

QByteArray ackPacket(quint16 block)
{
    QByteArray packet;
    appendWord(&packet, Ack);
    appendWord(&packet, block);
    return packet;
}

QByteArray errorPacket(quint16 code, const QByteArray& message)
{
    QByteArray packet;
    appendWord(&packet, Error);
    appendWord(&packet, code);
    packet.append(message);
    packet.append('\0');
    return packet;
}

QByteArray readRequest(const QByteArray& fileName, const QByteArray& mode)
{
    QByteArray packet;
    appendWord(&packet, ReadRequest);
    packet.append(fileName).append('\0').append(mode).append('\0');
    return packet;
}

QByteArray emptyOptionAck()
{
    QByteArray packet;
    appendWord(&packet, OptionAck);
    return packet;
}

} // namespace Tftp

using namespace Tftp;

namespace {
// RFC 1350 error codes the server sends.
constexpr quint16 IllegalOperation = 4;
constexpr quint16 UnknownTransferId = 5;
constexpr quint16 NotDefined = 0;
} // namespace

TftpServer::TftpServer(QObject* parent)
    : QObject(parent)
{
}

TftpServer::~TftpServer() = default;

bool TftpServer::listen(const QHostAddress& address, quint16 port)
{
    close();
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(address, port)) {
        m_error = m_socket->errorString();
        if (port < 1024 && m_socket->error() == QAbstractSocket::SocketAccessError)
            m_error += QStringLiteral(" (UDP port %1 needs administrator rights: root or CAP_NET_BIND_SERVICE)")
                           .arg(port);
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    m_error.clear();
    return true;
}

bool TftpServer::isListening() const
{
    return m_socket && m_socket->state() == QAbstractSocket::BoundState;
}

quint16 TftpServer::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

void TftpServer::close()
{
    if (m_socket) {
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_locked = false;
}

void TftpServer::sendToPeer(const QByteArray& packet)
{
    m_socket->writeDatagram(packet, m_peerAddress, m_peerPort);
}

// Reads every pending datagram. Requests lock an unlocked server; datagrams of strangers to a
// locked one get an error; the locked peer's acknowledgement of `awaitedBlock` sets *acked, its
// error packet *peerError. Everything else is dropped.
void TftpServer::takeDatagrams(quint16 awaitedBlock, bool* acked, bool* peerError)
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(65536);
        if (!datagram.isValid())
            continue;
        const Packet packet = parsePacket(datagram.data());
        const QHostAddress sender = datagram.senderAddress();
        const quint16 senderPort = quint16(datagram.senderPort());
        const bool fromPeer = m_locked && sender.isEqual(m_peerAddress) && senderPort == m_peerPort;

        if (!m_locked) {
            if (!packet.valid)
                continue;
            if (packet.opcode == ReadRequest) {
                m_locked = true;
                m_peerAddress = sender;
                m_peerPort = senderPort;
                m_requestedName = packet.fileName;
            } else if (packet.opcode == WriteRequest) {
                m_socket->writeDatagram(errorPacket(IllegalOperation, "Only reading is served"), sender, senderPort);
            }
            continue;
        }
        if (!fromPeer) {
            // Another client, or the peer from a new port: it is not part of this transfer.
            if (packet.valid && packet.opcode != Error) {
                ++m_strangers;
                m_socket->writeDatagram(errorPacket(UnknownTransferId, "Unknown transfer ID"), sender, senderPort);
            }
            continue;
        }
        if (!packet.valid)
            continue;
        if (packet.opcode == Ack && packet.block == awaitedBlock && acked)
            *acked = true;
        else if (packet.opcode == Error && peerError)
            *peerError = true;
        // Repeated requests, acknowledgements of earlier blocks (and of the option
        // acknowledgement) are dropped: answering a duplicate would double the traffic.
    }
}

TftpServer::Wait TftpServer::waitForAck(quint16 block, int timeoutMs)
{
    QDeadlineTimer deadline(qMax(1, TimeScale::ms(timeoutMs)), Qt::PreciseTimer);
    while (true) {
        bool acked = false;
        bool peerError = false;
        takeDatagrams(block, &acked, &peerError);
        if (peerError)
            return Wait::PeerError;
        if (acked)
            return Wait::Ack;
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !m_socket)
            return Wait::TimedOut;
        // The socket wait returns as soon as a datagram is in; the event loop runs every few
        // milliseconds meanwhile, not on every block, which would cost more than the block.
        runEventsNowAndThen();
        if (m_socket && !m_socket->hasPendingDatagrams())
            m_socket->waitForReadyRead(int(qMin<qint64>(left, 2)));
    }
}

void TftpServer::runEventsNowAndThen()
{
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < 5)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    m_sinceEvents.start();
}

bool TftpServer::waitForRequest(int timeoutMs)
{
    if (!m_socket)
        return false;
    QDeadlineTimer deadline(qMax(1, TimeScale::ms(timeoutMs)), Qt::PreciseTimer);
    while (!m_locked) {
        takeDatagrams(0, nullptr, nullptr);
        if (m_locked)
            break;
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !m_socket)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (m_socket && !m_socket->hasPendingDatagrams())
            m_socket->waitForReadyRead(int(qMin<qint64>(left, 5)));
    }
    return true;
}

TftpServer::Outcome TftpServer::serve(const QByteArray& image, const BlockHook& hook)
{
    m_blocksSent = 0;
    m_retransmissions = 0;
    if (!isListening())
        return Outcome::NotListening;
    if (!waitForRequest(m_options.requestTimeoutMs))
        return Outcome::NoRequest;
    qDebug() << "TftpServer::serve: request for" << m_requestedName << "from" << m_peerAddress.toString() << m_peerPort;

    const auto finish = [this](Outcome outcome) {
        m_locked = false;
        return outcome;
    };

    sendToPeer(emptyOptionAck());
    delay(m_options.optionAckPauseMs);

    const qint64 size = image.size();
    const qint64 blockCount = size / BlockSize + 1;
    qint64 counter = 1;
    while (counter <= blockCount) {
        if (hook && hook(counter, false) == BlockAction::Abort) {
            sendToPeer(errorPacket(NotDefined, "Transfer aborted"));
            return finish(Outcome::Aborted);
        }
        const qint64 offset = (counter - 1) * BlockSize;
        const QByteArray packet =
            dataPacket(quint16(counter & 0xFFFF), image.mid(int(offset), int(qMin<qint64>(BlockSize, size - offset))));
        sendToPeer(packet);
        ++m_blocksSent;
        if (m_options.blockPauseMs > 0)
            delay(m_options.blockPauseMs);

        bool restart = false;
        int tries = 0;
        while (true) {
            const BlockAction action = hook ? hook(counter, true) : BlockAction::Continue;
            if (action == BlockAction::Abort) {
                sendToPeer(errorPacket(NotDefined, "Transfer aborted"));
                return finish(Outcome::Aborted);
            }
            if (action == BlockAction::Restart) {
                restart = true;
                break;
            }
            const Wait wait = waitForAck(quint16(counter & 0xFFFF), m_options.ackTimeoutMs);
            if (wait == Wait::Ack)
                break;
            if (wait == Wait::PeerError)
                return finish(Outcome::PeerError);
            if (++tries > m_options.maxRetries) {
                sendToPeer(errorPacket(NotDefined, "Timed out"));
                return finish(Outcome::PeerSilent);
            }
            ++m_retransmissions;
            sendToPeer(packet);
        }
        counter = restart ? 1 : counter + 1;
    }
    return finish(Outcome::Done);
}
