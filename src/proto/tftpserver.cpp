#include "tftpserver.h"

#include "delay.h"
#include "timescale.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QUdpSocket>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

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

// The largest datagram read whole; a longer one is cut, which no valid packet of ours is.
constexpr int ReceiveCapacity = 65536;

// Longest single wait before the event loop runs again: an acknowledgement normally ends the
// wait long before, so each one costs one wait; a late or lost one still lets the window repaint.
constexpr int EventSliceMs = 50;

// Same family, port and address: the peer's own datagrams (the address as the system gives it,
// so an IPv4 peer on a dual-stack socket matches itself).
bool sameSender(const sockaddr_storage& a, socklen_t aLength, const QByteArray& b)
{
    return b.size() == int(aLength) && std::memcmp(&a, b.constData(), size_t(aLength)) == 0;
}

quint16 portOf(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    return 0;
}
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
    // The transfer is one send and one wait per block: it reads and writes the descriptor itself
    // (Qt's datagram calls cost extra system calls each), which Qt leaves non-blocking.
    m_fd = int(m_socket->socketDescriptor());
    m_rx.resize(ReceiveCapacity);
    m_error.clear();
    return true;
}

bool TftpServer::isListening() const
{
    return m_socket && m_socket->state() == QAbstractSocket::BoundState && m_fd >= 0;
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
    m_fd = -1;
    m_locked = false;
}

void TftpServer::sendToPeer(const char* data, int size)
{
    if (m_fd < 0 || m_peerSockaddr.isEmpty())
        return;
    ::sendto(m_fd, data, size_t(size), 0, reinterpret_cast<const sockaddr*>(m_peerSockaddr.constData()),
             socklen_t(m_peerSockaddr.size()));
}

// Reads every pending datagram. A read request locks an unlocked server (when it comes from the
// expected host, if one is set: other hosts are ignored); datagrams of strangers to a locked one
// get an error; the locked peer's acknowledgement of `awaitedBlock` sets *acked, its error packet
// *peerError. Everything else is dropped.
void TftpServer::takeDatagrams(quint16 awaitedBlock, bool* acked, bool* peerError)
{
    while (m_fd >= 0) {
        sockaddr_storage from;
        socklen_t fromLength = sizeof(from);
        const ssize_t got = ::recvfrom(m_fd, m_rx.data(), size_t(m_rx.size()), MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return; // nothing more pending (or an ICMP error of an earlier send: nothing to take)
        }
        const char* bytes = m_rx.constData();
        const bool fromPeer = m_locked && sameSender(from, fromLength, m_peerSockaddr);
        // The common case first: the peer's acknowledgement.
        if (fromPeer && got == 4 && bytes[0] == 0 && bytes[1] == char(Ack)) {
            if (acked && quint16((quint8(bytes[2]) << 8) | quint8(bytes[3])) == awaitedBlock)
                *acked = true;
            continue;
        }
        const Packet packet = parsePacket(QByteArray::fromRawData(bytes, int(got)));
        const QHostAddress sender(reinterpret_cast<const sockaddr*>(&from));
        const auto answer = [&](const QByteArray& datagram) {
            ::sendto(m_fd, datagram.constData(), size_t(datagram.size()), 0, reinterpret_cast<const sockaddr*>(&from),
                     fromLength);
        };

        if (!fromPeer && !m_expectedPeer.isNull() && !sender.isEqual(m_expectedPeer)) {
            // Another host: not the unit being updated. It gets nothing, not even a refusal,
            // before or during the transfer, and the unit's own request is still awaited.
            if (packet.valid && (packet.opcode == ReadRequest || packet.opcode == WriteRequest))
                ++m_ignored;
            continue;
        }
        if (!m_locked) {
            if (!packet.valid)
                continue;
            if (packet.opcode == ReadRequest) {
                m_locked = true;
                m_peerAddress = sender;
                m_peerPort = portOf(from);
                m_peerSockaddr = QByteArray(reinterpret_cast<const char*>(&from), int(fromLength));
                m_requestedName = QByteArray(packet.fileName.constData(), packet.fileName.size());
            } else if (packet.opcode == WriteRequest) {
                answer(errorPacket(IllegalOperation, "Only reading is served"));
            }
            continue;
        }
        if (!fromPeer) {
            // Another client, or the peer from a new port: it is not part of this transfer.
            if (packet.valid && packet.opcode != Error) {
                ++m_strangers;
                answer(errorPacket(UnknownTransferId, "Unknown transfer ID"));
            }
            continue;
        }
        if (packet.valid && packet.opcode == Error && peerError)
            *peerError = true;
        // Repeated requests, acknowledgements of earlier blocks (and of the option
        // acknowledgement) are dropped: answering a duplicate would double the traffic.
    }
}

// Blocks until a datagram is waiting or `waitMs` has passed; false when none came.
bool TftpServer::awaitDatagram(int waitMs)
{
    if (m_fd < 0)
        return false;
    pollfd descriptor{m_fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&descriptor, 1, qMax(0, waitMs));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
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
        if (left <= 0 || m_fd < 0)
            return Wait::TimedOut;
        runEventsNowAndThen();
        // One wait for the acknowledgement, up to the deadline: it returns as soon as a datagram
        // is in.
        awaitDatagram(int(qMin<qint64>(left, EventSliceMs)));
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
    if (!isListening())
        return false;
    QDeadlineTimer deadline(qMax(1, TimeScale::ms(timeoutMs)), Qt::PreciseTimer);
    while (!m_locked) {
        takeDatagrams(0, nullptr, nullptr);
        if (m_locked)
            break;
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || m_fd < 0)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        awaitDatagram(int(qMin<qint64>(left, 5)));
    }
    return true;
}

TftpServer::Outcome TftpServer::serve(const QByteArray& image, const BlockHook& hook)
{
    QBuffer buffer;
    buffer.setData(image);
    buffer.open(QIODevice::ReadOnly);
    return serve(buffer, image.size(), hook);
}

TftpServer::Outcome TftpServer::serve(QIODevice& source, qint64 size, const BlockHook& hook)
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
    const auto stop = [&](Outcome outcome, const QByteArray& message) {
        sendToPeer(errorPacket(NotDefined, message));
        return finish(outcome);
    };

    sendToPeer(emptyOptionAck());
    delay(m_options.optionAckPauseMs);

    size = qMax<qint64>(0, size);
    const qint64 start = source.isSequential() ? 0 : source.pos();
    const qint64 blockCount = size / BlockSize + 1;
    // One packet buffer for the whole transfer: the block being sent, kept for its resends.
    QByteArray packet(4 + BlockSize, Qt::Uninitialized);
    packet[0] = 0;
    packet[1] = char(Data);
    qint64 counter = 1;
    while (counter <= blockCount) {
        if (hook && hook(counter, false) == BlockAction::Abort)
            return stop(Outcome::Aborted, "Transfer aborted");
        const qint64 offset = (counter - 1) * BlockSize;
        const int length = int(qMin<qint64>(BlockSize, size - offset));
        int have = 0;
        while (have < length) {
            const qint64 got = source.read(packet.data() + 4 + have, length - have);
            if (got <= 0)
                break;
            have += int(got);
        }
        if (have < length) {
            qDebug() << "TftpServer::serve: the image could not be read at byte" << offset + have << source.errorString();
            return stop(Outcome::SourceFailed, "File read failed");
        }
        const quint16 number = quint16(counter & 0xFFFF);
        packet[2] = char(number >> 8);
        packet[3] = char(number & 0xFF);
        sendToPeer(packet.constData(), 4 + length);
        ++m_blocksSent;
        if (m_options.blockPauseMs > 0)
            delay(m_options.blockPauseMs);

        bool restart = false;
        int tries = 0;
        while (true) {
            const BlockAction action = hook ? hook(counter, true) : BlockAction::Continue;
            if (action == BlockAction::Abort)
                return stop(Outcome::Aborted, "Transfer aborted");
            if (action == BlockAction::Restart) {
                restart = true;
                break;
            }
            const Wait wait = waitForAck(number, m_options.ackTimeoutMs);
            if (wait == Wait::Ack)
                break;
            if (wait == Wait::PeerError)
                return finish(Outcome::PeerError);
            if (++tries > m_options.maxRetries)
                return stop(Outcome::PeerSilent, "Timed out");
            ++m_retransmissions;
            sendToPeer(packet.constData(), 4 + length);
        }
        if (restart) {
            if (source.isSequential() || !source.seek(start)) {
                qDebug() << "TftpServer::serve: the image cannot be read again from its start";
                return stop(Outcome::SourceFailed, "File read failed");
            }
            counter = 1;
        } else {
            ++counter;
        }
    }
    return finish(Outcome::Done);
}
