#ifndef SIMTRANSPORT_H
#define SIMTRANSPORT_H

#include "simdevice.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

#include <functional>
#include <map>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QUdpSocket;

// One link of a simulated device: moves bytes between its peers and SimDevice. Lives on the
// simulator thread and is used only there. Peers are numbered by the device (unique across all
// of its transports, never reused), so a late reply can never reach a newer connection.
class SimTransport : public QObject
{
public:
    struct Callbacks {
        std::function<quint64()> newPeerId;
        std::function<void(quint64 peer, SimTransport* transport)> peerOpened;
        std::function<void(quint64 peer)> peerClosed;
        std::function<void(quint64 peer, const QByteArray& data)> received;
    };

    SimTransport(SimDevice::Transport kind, Callbacks callbacks, QObject* parent);

    SimDevice::Transport kind() const { return m_kind; }
    virtual bool open() = 0;
    // Closes the link and reports every peer closed. Safe from inside a receive callback.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void write(quint64 peer, const QByteArray& data) = 0;
    // Drops one peer (a pty or UDP socket has only the one link, so they close altogether).
    virtual void closePeer(quint64 peer) = 0;
    // True when the link keeps message boundaries (UDP): one datagram is one request.
    virtual bool framesMessages() const { return false; }
    virtual quint16 port() const { return 0; }
    virtual QString portName() const { return QString(); }
    virtual SimSerialSettings serialSettings() const { return SimSerialSettings(); }

protected:
    const SimDevice::Transport m_kind;
    Callbacks m_callbacks;
};

// A pseudo-terminal. The simulator keeps the slave side open as well, so the program can open,
// close and reopen the port without the master seeing a hang-up; termios calls on the master act
// on the slave, which is how the program's baud rate and framing are read back.
class SimPtyTransport : public SimTransport
{
public:
    SimPtyTransport(const SerialPortEntry& identity, Callbacks callbacks, QObject* parent);
    ~SimPtyTransport() override;

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_master >= 0; }
    void write(quint64 peer, const QByteArray& data) override;
    void closePeer(quint64 peer) override;
    QString portName() const override { return m_portName; }
    SimSerialSettings serialSettings() const override;

private:
    void readAvailable();
    void flush();
    void closeWhenDrained();

    SerialPortEntry m_identity;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_portName; // the slave path, or the stable link to it (identity.portName)
    quint64 m_peer = 0;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_pending; // written when the slave's input queue has room again
    QElapsedTimer m_sinceWrite;
    bool m_closing = false;
    QDeadlineTimer m_closeDeadline;
};

class SimTcpTransport : public SimTransport
{
public:
    SimTcpTransport(quint16 port, Callbacks callbacks, QObject* parent);

    bool open() override;
    void close() override;
    bool isOpen() const override;
    void write(quint64 peer, const QByteArray& data) override;
    void closePeer(quint64 peer) override;
    quint16 port() const override;

private:
    void acceptConnections();

    quint16 m_requestedPort;
    QTcpServer* m_server = nullptr;
    std::map<quint64, QTcpSocket*> m_sockets;
};

class SimUdpTransport : public SimTransport
{
public:
    SimUdpTransport(quint16 port, Callbacks callbacks, QObject* parent);

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_socket != nullptr; }
    void write(quint64 peer, const QByteArray& data) override;
    void closePeer(quint64 peer) override;
    bool framesMessages() const override { return true; }
    quint16 port() const override;

private:
    void readDatagrams();

    struct Sender {
        QHostAddress address;
        quint16 port = 0;
    };
    quint16 m_requestedPort;
    QUdpSocket* m_socket = nullptr;
    std::map<quint64, Sender> m_senders;
};

#endif // SIMTRANSPORT_H
