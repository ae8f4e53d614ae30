#ifndef TFTPSERVER_H
#define TFTPSERVER_H

// A one-file TFTP server (RFC 1350, with an empty RFC 2347 option acknowledgement) for the
// network module of the serial/TCP extender: the module's boot loader asks for its image by name
// and gets the one image the server was given, whatever the name. One UDP socket carries the
// request and the whole transfer.
//
// The server locks onto the address and port of the first valid read request (from the expected
// host only, when one is set: requests of other hosts are ignored without an answer and without
// locking onto them); once locked, datagrams of any other sender are answered with an "unknown
// transfer ID" error and change nothing. Write requests are refused. Each data block waits for
// its acknowledgement with a time-out and is sent again a bounded number of times. The image is
// read block by block as it goes out, never held whole. The empty option acknowledgement and the
// pause before block 1 are kept for the module; no acknowledgement of it is awaited (clients that
// asked for no option ignore it and take block 1). The event loop runs during the waits; every
// wait passes through TimeScale.

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <functional>

class QIODevice;
class QUdpSocket;

namespace Tftp {

enum Opcode : quint16 { ReadRequest = 1, WriteRequest = 2, Data = 3, Ack = 4, Error = 5, OptionAck = 6 };

constexpr int BlockSize = 512;

// One datagram as read off the wire. `valid` is false for anything that is not a well-formed
// packet of the six opcodes: too short, a request without its two NUL-ended texts, an option
// without its value, an error without its NUL-ended message.
struct Packet
{
    bool valid = false;
    quint16 opcode = 0;
    QByteArray fileName;                           // requests
    QByteArray mode;                               // requests, lower case
    QList<QPair<QByteArray, QByteArray>> options;  // requests and option acknowledgements
    quint16 block = 0;                             // data and acknowledgements
    QByteArray payload;                            // data
    quint16 errorCode = 0;                         // errors
    QByteArray errorMessage;                       // errors
};

Packet parsePacket(const QByteArray& datagram);

QByteArray dataPacket(quint16 block, const QByteArray& payload);
QByteArray ackPacket(quint16 block);
QByteArray errorPacket(quint16 code, const QByteArray& message);
QByteArray readRequest(const QByteArray& fileName, const QByteArray& mode = "octet");
QByteArray emptyOptionAck();

} // namespace Tftp

class TftpServer : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        int optionAckPauseMs = 200; // after the option acknowledgement, before block 1
        int blockPauseMs = 10;      // after each block is sent: the module's only pacing
        int ackTimeoutMs = 1000;    // per try of one block
        int maxRetries = 5;         // further sends of a block after its first
        int requestTimeoutMs = 10000;
    };

    enum class Outcome {
        Done,         // every block acknowledged
        NoRequest,    // no read request before the deadline
        PeerSilent,   // a block stayed unacknowledged after every retry
        PeerError,    // the client sent an error packet
        Aborted,      // the block hook asked to stop
        NotListening,
        SourceFailed  // the image could not be read (or ended early) as it went out
    };

    // Called before each block is sent (`sent` false; Restart is taken as Continue there) and,
    // for the block just sent, after its pause and on each acknowledgement time-out (`sent`
    // true). `counter` counts blocks from 1 and does not wrap.
    enum class BlockAction { Continue, Restart, Abort };
    using BlockHook = std::function<BlockAction(qint64 counter, bool sent)>;

    explicit TftpServer(QObject* parent = nullptr);
    ~TftpServer() override;

    void setOptions(const Options& options) { m_options = options; }
    const Options& options() const { return m_options; }

    // Binds UDP `port` on `address`. False, with errorString(), when it cannot: port 69 needs
    // root or CAP_NET_BIND_SERVICE on Linux.
    bool listen(const QHostAddress& address, quint16 port = 69);
    bool isListening() const;
    quint16 localPort() const;
    QString errorString() const { return m_error; }
    void close();

    // Only read requests sent from `address` start a transfer (the unit being updated); those of
    // any other host are ignored, unanswered, and never lock the server. A null address (the
    // default) takes the first request from anyone.
    void setExpectedPeer(const QHostAddress& address) { m_expectedPeer = address; }
    QHostAddress expectedPeer() const { return m_expectedPeer; }
    int requestsIgnored() const { return m_ignored; }

    // Waits for the first valid read request and locks onto its sender. True when a peer is
    // locked (also when one was already).
    bool waitForRequest(int timeoutMs);
    bool hasPeer() const { return m_locked; }
    QHostAddress peerAddress() const { return m_peerAddress; }
    quint16 peerPort() const { return m_peerPort; }
    QByteArray requestedName() const { return m_requestedName; }

    // Sends `size` bytes of `source` to the locked peer (waiting for a request first when there
    // is none yet): the option acknowledgement, its pause, then blocks 1..size/512+1, each read
    // from `source` as it goes out (a restart seeks back to its start, so `source` must be
    // seekable for a hook that restarts). The last block holds size mod 512 bytes (none for a
    // size that is a multiple of 512). Block numbers wrap at 65536. Ends with the peer unlocked.
    Outcome serve(QIODevice& source, qint64 size, const BlockHook& hook = BlockHook());
    Outcome serve(const QByteArray& image, const BlockHook& hook = BlockHook());

    qint64 blocksSent() const { return m_blocksSent; }
    qint64 retransmissions() const { return m_retransmissions; }
    int strangersAnswered() const { return m_strangers; }

private:
    enum class Wait { Ack, PeerError, TimedOut };
    void takeDatagrams(quint16 awaitedBlock, bool* acked, bool* peerError);
    bool awaitDatagram(int waitMs);
    Wait waitForAck(quint16 block, int timeoutMs);
    void sendToPeer(const char* data, int size);
    void sendToPeer(const QByteArray& packet) { sendToPeer(packet.constData(), packet.size()); }
    void runEventsNowAndThen();

    Options m_options;
    QUdpSocket* m_socket = nullptr;
    int m_fd = -1; // the socket's descriptor: the transfer reads and writes it directly
    QString m_error;
    QHostAddress m_expectedPeer;
    bool m_locked = false;
    QHostAddress m_peerAddress;
    quint16 m_peerPort = 0;
    QByteArray m_peerSockaddr; // the peer as the system's socket address, for sending and matching
    QByteArray m_rx;           // receive buffer, one datagram
    QByteArray m_requestedName;
    qint64 m_blocksSent = 0;
    qint64 m_retransmissions = 0;
    int m_strangers = 0;
    int m_ignored = 0;
    QElapsedTimer m_sinceEvents;
};

#endif // TFTPSERVER_H
