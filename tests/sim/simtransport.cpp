#include "simtransport.h"

#include <QFile>
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

SimTransport::SimTransport(SimDevice::Transport kind, Callbacks callbacks, QObject* parent)
    : QObject(parent)
    , m_kind(kind)
    , m_callbacks(std::move(callbacks))
{
}

// ---------------------------------------------------------------------------------------------
// Pseudo-terminal

namespace {
struct SpeedEntry {
    speed_t code;
    qint32 rate;
};
const SpeedEntry kSpeeds[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
    {B3500000, 3500000}, {B4000000, 4000000},
};

void setCloseOnExec(int fd)
{
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
}
} // namespace

SimPtyTransport::SimPtyTransport(const SerialPortEntry& identity, Callbacks callbacks, QObject* parent)
    : SimTransport(SimDevice::Transport::Pty, std::move(callbacks), parent)
    , m_identity(identity)
{
}

SimPtyTransport::~SimPtyTransport()
{
    close();
}

bool SimPtyTransport::open()
{
    if (m_master >= 0)
        return true;
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        qWarning("SimPtyTransport: openpty failed: %s", strerror(errno));
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) {
        qWarning("SimPtyTransport: ptsname failed: %s", strerror(errno));
        ::close(master);
        ::close(slave);
        return false;
    }
    // Raw from the start: until the program configures the port, the line discipline would
    // otherwise echo the program's bytes back and translate line ends.
    termios tio {};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    setCloseOnExec(master);
    setCloseOnExec(slave);

    m_master = master;
    m_slave = slave;
    m_slavePath = QString::fromLocal8Bit(name);
    m_readNotifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] { readAvailable(); });
    m_writeNotifier = new QSocketNotifier(master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] { flush(); });

    // A stable name is a link to whichever pty the unit has now, so the program finds a unit
    // that vanished and came back under the port name it knew.
    m_portName = m_slavePath;
    if (!m_identity.portName.isEmpty()) {
        const QByteArray link = QFile::encodeName(m_identity.portName);
        ::unlink(link.constData());
        if (::symlink(name, link.constData()) != 0)
            qWarning("SimPtyTransport: cannot link %s: %s", link.constData(), strerror(errno));
        else
            m_portName = m_identity.portName;
    }
    SerialPortEntry entry = m_identity;
    entry.portName = m_portName;
    entry.systemLocation = m_slavePath;
    SerialPortLister::registerPort(entry);

    m_peer = m_callbacks.newPeerId();
    m_callbacks.peerOpened(m_peer, this);
    return true;
}

void SimPtyTransport::close()
{
    if (m_master < 0)
        return;
    SerialPortLister::unregisterPort(m_portName);
    if (m_portName != m_slavePath)
        ::unlink(QFile::encodeName(m_portName).constData());
    m_portName.clear();
    // The notifiers may be emitting right now (a handler dropped the link), so they go later.
    for (QSocketNotifier* n : {m_readNotifier, m_writeNotifier}) {
        n->setEnabled(false);
        n->deleteLater();
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    // Closing both sides hangs up the program's open port, as pulling the USB cable does.
    ::close(m_master);
    ::close(m_slave);
    m_master = -1;
    m_slave = -1;
    m_slavePath.clear();
    m_pending.clear();
    m_closing = false;
    const quint64 peer = m_peer;
    m_peer = 0;
    m_callbacks.peerClosed(peer);
}

void SimPtyTransport::readAvailable()
{
    QByteArray data;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Only happens when no slave descriptor is left open; we hold one, so this is a
            // broken pty. Stop polling rather than spin on the error.
            qWarning("SimPtyTransport: read failed: %s", strerror(errno));
            m_readNotifier->setEnabled(false);
        }
        break;
    }
    if (!data.isEmpty())
        m_callbacks.received(m_peer, data);
}

void SimPtyTransport::write(quint64 peer, const QByteArray& data)
{
    if (m_master < 0 || peer != m_peer || m_closing)
        return;
    m_pending.append(data);
    flush();
}

void SimPtyTransport::flush()
{
    while (m_master >= 0 && !m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, int(n));
            m_sinceWrite.start();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            qWarning("SimPtyTransport: write failed: %s", strerror(errno));
            m_pending.clear();
        }
        break;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

void SimPtyTransport::closePeer(quint64 peer)
{
    if (peer != m_peer || m_closing)
        return;
    m_closing = true;
    m_closeDeadline.setRemainingTime(5000);
    closeWhenDrained();
}

// A hang-up discards what the program has not read yet, so "reply, then drop the link" first
// waits until the program has taken the reply: nothing left to write, the slave's input queue
// empty, and a settling pause, since bytes pass from the master to that queue asynchronously.
// A program that never reads gets the hang-up after the deadline all the same.
void SimPtyTransport::closeWhenDrained()
{
    if (m_master < 0)
        return;
    int unread = 0;
    ::ioctl(m_slave, TIOCINQ, &unread);
    const bool settled = !m_sinceWrite.isValid() || m_sinceWrite.elapsed() >= 50;
    if ((m_pending.isEmpty() && unread == 0 && settled) || m_closeDeadline.hasExpired()) {
        close();
        return;
    }
    QTimer::singleShot(5, this, [this] { closeWhenDrained(); });
}

SimSerialSettings SimPtyTransport::serialSettings() const
{
    SimSerialSettings s;
    termios tio {};
    if (m_master < 0 || ::tcgetattr(m_master, &tio) != 0)
        return s;
    const speed_t speed = ::cfgetospeed(&tio);
    s.baudRate = -1;
    for (const SpeedEntry& e : kSpeeds) {
        if (e.code == speed)
            s.baudRate = e.rate;
    }
    switch (tio.c_cflag & CSIZE) {
    case CS5: s.dataBits = 5; break;
    case CS6: s.dataBits = 6; break;
    case CS7: s.dataBits = 7; break;
    default: s.dataBits = 8; break;
    }
    if (!(tio.c_cflag & PARENB))
        s.parity = 'N';
    else if (tio.c_cflag & CMSPAR)
        s.parity = (tio.c_cflag & PARODD) ? 'M' : 'S';
    else
        s.parity = (tio.c_cflag & PARODD) ? 'O' : 'E';
    s.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    s.hardwareFlowControl = (tio.c_cflag & CRTSCTS) != 0;
    s.softwareFlowControl = (tio.c_iflag & (IXON | IXOFF)) != 0;
    return s;
}

// ---------------------------------------------------------------------------------------------
// TCP

SimTcpTransport::SimTcpTransport(quint16 port, Callbacks callbacks, QObject* parent)
    : SimTransport(SimDevice::Transport::Tcp, std::move(callbacks), parent)
    , m_requestedPort(port)
{
}

bool SimTcpTransport::open()
{
    if (m_server)
        return true;
    m_server = new QTcpServer(this);
    if (!m_server->listen(QHostAddress::LocalHost, m_requestedPort)) {
        qWarning("SimTcpTransport: listen on port %u failed: %s", m_requestedPort,
                 qPrintable(m_server->errorString()));
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, [this] { acceptConnections(); });
    return true;
}

bool SimTcpTransport::isOpen() const
{
    return m_server != nullptr;
}

quint16 SimTcpTransport::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void SimTcpTransport::acceptConnections()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        socket->setParent(this); // outlives the server's deferred deletion until it is done
        const quint64 id = m_callbacks.newPeerId();
        m_sockets[id] = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, id, socket] {
            const QByteArray data = socket->readAll();
            if (!data.isEmpty() && m_sockets.count(id))
                m_callbacks.received(id, data);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, id, socket] {
            if (m_sockets.erase(id))
                m_callbacks.peerClosed(id);
            socket->deleteLater();
        });
        m_callbacks.peerOpened(id, this);
    }
}

void SimTcpTransport::write(quint64 peer, const QByteArray& data)
{
    auto it = m_sockets.find(peer);
    if (it != m_sockets.end())
        it->second->write(data);
}

void SimTcpTransport::closePeer(quint64 peer)
{
    auto it = m_sockets.find(peer);
    if (it == m_sockets.end())
        return;
    QTcpSocket* socket = it->second;
    m_sockets.erase(it);
    m_callbacks.peerClosed(peer);
    // A graceful close: what was written before goes out first, then the client sees the FIN.
    socket->disconnectFromHost();
}

void SimTcpTransport::close()
{
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
    std::map<quint64, QTcpSocket*> sockets;
    sockets.swap(m_sockets);
    for (auto& [id, socket] : sockets) {
        m_callbacks.peerClosed(id);
        socket->abort();
        socket->deleteLater();
    }
}

// ---------------------------------------------------------------------------------------------
// UDP

SimUdpTransport::SimUdpTransport(quint16 port, Callbacks callbacks, QObject* parent)
    : SimTransport(SimDevice::Transport::Udp, std::move(callbacks), parent)
    , m_requestedPort(port)
{
}

bool SimUdpTransport::open()
{
    if (m_socket)
        return true;
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(QHostAddress::LocalHost, m_requestedPort)) {
        qWarning("SimUdpTransport: bind to port %u failed: %s", m_requestedPort,
                 qPrintable(m_socket->errorString()));
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, [this] { readDatagrams(); });
    return true;
}

quint16 SimUdpTransport::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

void SimUdpTransport::readDatagrams()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        quint64 id = 0;
        for (const auto& [known, sender] : m_senders) {
            if (sender.address.isEqual(datagram.senderAddress()) && sender.port == datagram.senderPort())
                id = known;
        }
        if (id == 0) {
            id = m_callbacks.newPeerId();
            m_senders[id] = Sender {datagram.senderAddress(), quint16(datagram.senderPort())};
            m_callbacks.peerOpened(id, this);
        }
        m_callbacks.received(id, datagram.data());
    }
}

void SimUdpTransport::write(quint64 peer, const QByteArray& data)
{
    auto it = m_senders.find(peer);
    if (m_socket && it != m_senders.end())
        m_socket->writeDatagram(data, it->second.address, it->second.port);
}

void SimUdpTransport::closePeer(quint64 /*peer*/)
{
    close();
}

void SimUdpTransport::close()
{
    if (m_socket) {
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    std::map<quint64, Sender> senders;
    senders.swap(m_senders);
    for (const auto& entry : senders)
        m_callbacks.peerClosed(entry.first);
}
