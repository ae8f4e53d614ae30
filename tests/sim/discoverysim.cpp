#include "discoverysim.h"
#include "netns.h"
#include "timescale.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QThread>
#include <QUdpSocket>

#include <cstring>

// The units' side is written from the protocol's byte layout on purpose, without the program's
// own datagram code, so a fault there cannot hide itself.

namespace {

void appendField(QByteArray& area, int type, const QByteArray& value)
{
    area.append(char(type));
    area.append(char(value.size()));
    area.append(value);
}

QByteArray bytes(const quint8* data, int size)
{
    return QByteArray(reinterpret_cast<const char*>(data), size);
}

QByteArray littleEndian16(quint16 value)
{
    QByteArray b;
    b.append(char(value & 0xFF));
    b.append(char(value >> 8));
    return b;
}

// Scan copies closer together than this belong to one scan (the broadcast and the group copy
// leave the program back to back).
const int ScanGapMs = 20;

} // namespace

// ---- SimUnit ----------------------------------------------------------------------------------

SimUnit SimUnit::numbered(int n)
{
    SimUnit unit;
    unit.mac[4] = quint8(n >> 8);
    unit.mac[5] = quint8(n & 0xFF);
    const quint8 ip[4] = {10, 77, quint8(1 + n / 250), quint8(1 + n % 250)};
    std::memcpy(unit.ip, ip, 4);
    const quint8 gateway[4] = {10, 77, 0, 254};
    std::memcpy(unit.gateway, gateway, 4);
    const quint8 dns[4] = {10, 77, 0, 53};
    std::memcpy(unit.dns, dns, 4);
    unit.description = QStringLiteral("Unit %1").arg(n);
    return unit;
}

QString SimUnit::macText() const
{
    return QString::fromLatin1(bytes(mac, 6).toHex(':').toUpper());
}

QByteArray SimUnit::replyFields() const
{
    auto type = [this](int base, int twin) { return readOnly.contains(base) ? twin : base; };
    QByteArray area;
    appendField(area, 1, bytes(mac, 6));
    appendField(area, type(2, 17), bytes(ip, 4));
    appendField(area, type(3, 18), bytes(subnetMask, 4));
    appendField(area, type(4, 19), bytes(gateway, 4));
    appendField(area, type(5, 20), bytes(dns, 4));
    if (ipMode >= 0)
        appendField(area, readOnly.contains(6) ? 21 : autoOffered ? 25 : 6, QByteArray(1, char(ipMode)));
    if (webPort)
        appendField(area, type(7, 22), littleEndian16(webPort));
    if (telnetPort)
        appendField(area, type(8, 23), littleEndian16(telnetPort));
    appendField(area, 10, firmwareVersion.toLatin1());
    appendField(area, 11, hardwareVersion.toLatin1());
    appendField(area, 12, productName.toLatin1());
    appendField(area, type(13, 24), description.toLatin1());
    if (identifyState >= 0)
        appendField(area, 15, QByteArray(1, char(identifyState)));
    if (acceptsReboot)
        appendField(area, 16, QByteArray());
    area.append(extraFields);
    return area;
}

QByteArray SimUnit::reply() const
{
    const QByteArray area = replyFields();
    quint16 sum = 0;
    for (char c : area)
        sum = quint16(sum + quint8(c));
    QByteArray datagram;
    datagram.append(char(0x21));
    datagram.append(char(area.size()));
    datagram.append(area);
    datagram.append(littleEndian16(sum));
    return datagram;
}

// ---- DiscoverySim -----------------------------------------------------------------------------

DiscoverySim::Network DiscoverySim::namespaceNetwork(int namespaceFd, const QString& ownAddress)
{
    Network n;
    n.namespaceFd = namespaceFd;
    n.listenAddress = QHostAddress(QHostAddress::AnyIPv4);
    n.replyAddress = QHostAddress(QHostAddress::Broadcast);
    n.groupAddress = QHostAddress(QStringLiteral("225.87.32.145"));
    n.otherHostBind = QHostAddress(ownAddress);
    n.otherHostTarget = QHostAddress(QHostAddress::Broadcast);
    n.otherHostReachesUnits = true;
    return n;
}

DiscoverySim::Network DiscoverySim::loopbackNetwork(quint16 requestPort, quint16 replyPort)
{
    Network n;
    n.listenAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    n.replyAddress = QHostAddress(QHostAddress::LocalHost);
    n.otherHostBind = QHostAddress(QStringLiteral("127.0.0.3"));
    n.otherHostTarget = QHostAddress(QHostAddress::LocalHost);
    n.requestPort = requestPort;
    n.replyPort = replyPort;
    n.otherHostReachesUnits = false;
    return n;
}

DiscoverySim::DiscoverySim() = default;

DiscoverySim::~DiscoverySim()
{
    runOnSimThread([this] {
        delete m_requests;
        delete m_replies;
        delete m_otherHost;
        m_requests = m_replies = m_otherHost = nullptr;
    });
    stop();
}

bool DiscoverySim::start(const Network& network, QString* error)
{
    bool ok = false;
    runOnSimThread([&] {
        m_network = network;
        m_clock.start();
        QString why;
        if (network.namespaceFd >= 0 && !VethNamespacePair::enter(network.namespaceFd, &why)) {
            if (error)
                *error = why;
            return;
        }
        m_requests = new QUdpSocket;
        m_replies = new QUdpSocket;
        m_otherHost = new QUdpSocket;
        const auto share = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
        if (!m_requests->bind(network.listenAddress, network.requestPort, share)
            || !m_replies->bind(network.listenAddress, 0) || !m_otherHost->bind(network.otherHostBind, 0)) {
            if (error)
                *error = QStringLiteral("bind: %1 / %2 / %3")
                             .arg(m_requests->errorString(), m_replies->errorString(), m_otherHost->errorString());
            return;
        }
        if (network.groupAddress.isMulticast() && !m_requests->joinMulticastGroup(network.groupAddress)) {
            if (error)
                *error = QStringLiteral("join: %1").arg(m_requests->errorString());
            return;
        }
        QObject::connect(m_requests, &QUdpSocket::readyRead, m_requests, [this] { readRequests(); });
        ok = true;
    });
    return ok;
}

void DiscoverySim::readRequests()
{
    while (m_requests && m_requests->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_requests->receiveDatagram();
        if (!datagram.isValid())
            break;
        const bool fromOtherHost = datagram.senderPort() == m_otherHost->localPort()
            && datagram.senderAddress().isEqual(m_otherHost->localAddress(), QHostAddress::ConvertV4MappedToIPv4);
        if (fromOtherHost) {
            m_fromProgram = false;
            answerScan();
            continue;
        }
        m_fromProgram = true;
        if (m_network.groupAddress.isMulticast()
            && datagram.destinationAddress().isEqual(m_network.groupAddress, QHostAddress::ConvertV4MappedToIPv4))
            m_groupTtls.append(datagram.hopLimit());
        dispatchLine(datagram.data()); // logged, then rules, then handleLine()
    }
}

bool DiscoverySim::handleLine(const QByteArray& datagram)
{
    if (datagram.isEmpty())
        return true;
    switch (quint8(datagram.at(0))) {
    case 0x20: answerScan(); break;
    case 0x22:
        m_commands.append(datagram);
        applySave(datagram);
        break;
    case 0x24:
        m_commands.append(datagram);
        applyIdentify(datagram);
        break;
    default: m_commands.append(datagram); break;
    }
    return true;
}

void DiscoverySim::answerScan()
{
    if (m_fromProgram) {
        const qint64 now = m_clock.elapsed();
        const bool newScan = m_lastScanMs < 0 || now - m_lastScanMs > ScanGapMs;
        m_lastScanMs = now;
        if (newScan) {
            ++m_scans;
            // Silence is decided once per scan, so both copies of it find the same units quiet.
            for (int i = 0; i < m_silentScans.size(); ++i) {
                int& left = m_silentScans[i];
                m_silentNow[i] = left != 0;
                if (left > 0)
                    --left;
            }
        }
    }
    for (const QByteArray& datagram : qAsConst(m_queued))
        sendReply(datagram);
    m_queued.clear();

    QList<QByteArray> replies;
    for (int i = 0; i < m_units.size(); ++i) {
        if (!m_silentNow.at(i))
            replies.append(m_units.at(i).reply());
    }
    for (int i = 0; i < replies.size(); ++i) {
        const int delay = replies.size() > 1 ? m_spreadMs * i / (replies.size() - 1) : 0;
        if (delay <= 0) {
            sendReply(replies.at(i));
        } else {
            const QByteArray datagram = replies.at(i);
            schedule(delay, [this, datagram] { sendReply(datagram); });
        }
    }
}

void DiscoverySim::sendReply(const QByteArray& datagram)
{
    if (!m_replies)
        return;
    m_replies->writeDatagram(datagram, m_network.replyAddress, m_network.replyPort);
    ++m_repliesSent;
}

int DiscoverySim::indexOfMac(const char* mac) const
{
    for (int i = 0; i < m_units.size(); ++i) {
        if (std::memcmp(m_units.at(i).mac, mac, 6) == 0)
            return i;
    }
    return -1;
}

void DiscoverySim::applySave(const QByteArray& datagram)
{
    if (!m_applySaves || datagram.size() < 4)
        return;
    const int n = quint8(datagram.at(1));
    if (datagram.size() < n + 4)
        return;
    int index = -1;
    SimUnit changed;
    for (int pos = 2; pos + 2 <= 2 + n;) {
        const int type = quint8(datagram.at(pos));
        const int len = quint8(datagram.at(pos + 1));
        if (pos + 2 + len > 2 + n)
            return;
        const char* value = datagram.constData() + pos + 2;
        if (type == 1 && len == 6) {
            index = indexOfMac(value);
            if (index < 0)
                return;
            changed = m_units.at(index);
        } else if (index >= 0) {
            switch (type) {
            case 2: std::memcpy(changed.ip, value, 4); break;
            case 3: std::memcpy(changed.subnetMask, value, 4); break;
            case 4: std::memcpy(changed.gateway, value, 4); break;
            case 5: std::memcpy(changed.dns, value, 4); break;
            case 6: changed.ipMode = quint8(value[0]); break;
            case 7: changed.webPort = quint16(quint8(value[0]) | quint8(value[1]) << 8); break;
            case 8: changed.telnetPort = quint16(quint8(value[0]) | quint8(value[1]) << 8); break;
            case 13: changed.description = QString::fromLatin1(value, int(qstrnlen(value, uint(len)))); break;
            default: break;
            }
        }
        pos += 2 + len;
    }
    if (index >= 0)
        m_units[index] = changed;
}

void DiscoverySim::applyIdentify(const QByteArray& datagram)
{
    // 24 0B 01 06 m0..m5 0F 01 v sLo sHi
    if (datagram.size() != 15 || quint8(datagram.at(2)) != 1 || quint8(datagram.at(10)) != 15)
        return;
    const int index = indexOfMac(datagram.constData() + 4);
    if (index >= 0 && m_units.at(index).identifyState >= 0)
        m_units[index].identifyState = quint8(datagram.at(12));
}

// ---- Thread-safe access -----------------------------------------------------------------------

void DiscoverySim::addUnit(const SimUnit& unit)
{
    runOnSimThread([&] {
        m_units.append(unit);
        m_silentScans.append(0);
        m_silentNow.append(false);
    });
}

void DiscoverySim::setUnits(const QList<SimUnit>& units)
{
    runOnSimThread([&] {
        m_units = units;
        m_silentScans = QList<int>();
        m_silentNow = QList<bool>();
        for (int i = 0; i < units.size(); ++i) {
            m_silentScans.append(0);
            m_silentNow.append(false);
        }
    });
}

QList<SimUnit> DiscoverySim::units() const
{
    QList<SimUnit> units;
    runOnSimThread([&] { units = m_units; });
    return units;
}

SimUnit DiscoverySim::unit(int index) const
{
    SimUnit unit;
    runOnSimThread([&] { unit = m_units.value(index); });
    return unit;
}

void DiscoverySim::changeUnit(int index, const std::function<void(SimUnit&)>& change)
{
    runOnSimThread([&] {
        if (index >= 0 && index < m_units.size())
            change(m_units[index]);
    });
}

void DiscoverySim::silence(int index, int scans)
{
    runOnSimThread([&] {
        if (index >= 0 && index < m_silentScans.size()) {
            m_silentScans[index] = scans < 0 ? -1 : scans;
            if (scans == 0)
                m_silentNow[index] = false;
        }
    });
}

void DiscoverySim::setApplySaves(bool apply)
{
    runOnSimThread([&] { m_applySaves = apply; });
}

void DiscoverySim::setReplySpread(int ms)
{
    runOnSimThread([&] { m_spreadMs = ms; });
}

void DiscoverySim::queueBeforeNextReplies(const QList<QByteArray>& datagrams)
{
    runOnSimThread([&] { m_queued.append(datagrams); });
}

void DiscoverySim::sendToProgram(const QByteArray& datagram)
{
    runOnSimThread([&] { sendReply(datagram); });
}

void DiscoverySim::scanAsOtherHost()
{
    runOnSimThread([this] {
        const QByteArray scan("\x20\x00\x00\x00", 4);
        m_otherHost->writeDatagram(scan, m_network.otherHostTarget, m_network.requestPort);
        if (!m_network.otherHostReachesUnits) {
            m_fromProgram = false;
            answerScan();
        }
    });
}

int DiscoverySim::scanCount() const
{
    int count = 0;
    runOnSimThread([&] { count = m_scans; });
    return count;
}

QList<int> DiscoverySim::groupCopyTtls() const
{
    QList<int> ttls;
    runOnSimThread([&] { ttls = m_groupTtls; });
    return ttls;
}

int DiscoverySim::repliesSent() const
{
    int count = 0;
    runOnSimThread([&] { count = m_repliesSent; });
    return count;
}

bool DiscoverySim::waitForScans(int count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (scanCount() < count) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

QList<QByteArray> DiscoverySim::commands() const
{
    QList<QByteArray> commands;
    runOnSimThread([&] { commands = m_commands; });
    return commands;
}
