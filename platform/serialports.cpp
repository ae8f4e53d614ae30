#include "serialports.h"

#include "regularfile.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
QMutex registryMutex;
bool systemPortsListed = true; // guarded by registryMutex
QList<SerialPortEntry>& registry()
{
    static QList<SerialPortEntry> ports;
    return ports;
}

// An empty field is "no id"; anything else must be hex that fits 16 bits.
bool parseUsbId(const QString& field, quint16* id, bool* present)
{
    *present = false;
    if (field.isEmpty())
        return true;
    bool ok = false;
    const uint value = field.toUInt(&ok, 16);
    if (!ok || value > 0xFFFF)
        return false;
    *id = quint16(value);
    *present = true;
    return true;
}

QList<SerialPortEntry> enumerateSystemPorts()
{
    QList<SerialPortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        SerialPortEntry e;
        e.portName = info.portName();
        e.systemLocation = info.systemLocation();
        e.description = info.description();
        e.manufacturer = info.manufacturer();
        e.serialNumber = info.serialNumber();
        e.hasVendorId = info.hasVendorIdentifier();
        e.hasProductId = info.hasProductIdentifier();
        e.vendorId = info.vendorIdentifier();
        e.productId = info.productIdentifier();
        ports.append(e);
    }
    return ports;
}

// The machine's ports, enumerated once for every caller (see the header for when a listing is
// made again).
class SystemPortCache
{
public:
    ~SystemPortCache() { closeWatch(); }

    QList<SerialPortEntry> ports()
    {
        QMutexLocker lock(&mutex);
        if (!watchTried)
            openWatch();
        if (watchFd >= 0 && drainEvents()) {
            valid = false;
            changedAt.start();
        }
        if (!valid || listedAt.elapsed() >= maxAgeMs()) {
            cached = enumerateSystemPorts();
            listedAt.start();
            valid = true;
            ++listings;
        }
        return cached;
    }

    int listingCount()
    {
        QMutexLocker lock(&mutex);
        return listings;
    }

    void setFolder(const QString& path)
    {
        QMutexLocker lock(&mutex);
        closeWatch();
        folder = path.isEmpty() ? QStringLiteral("/dev") : path;
        watchTried = false;
        valid = false;
        changedAt.invalidate();
    }

private:
    static constexpr qint64 WatchedMaxAgeMs = 60000;
    static constexpr qint64 UnwatchedMaxAgeMs = 1500;
    static constexpr qint64 SettleMs = 5000;
    static constexpr qint64 SettlingMaxAgeMs = 1000;

    qint64 maxAgeMs() const
    {
        if (watchFd < 0)
            return UnwatchedMaxAgeMs;
        if (changedAt.isValid() && changedAt.elapsed() < SettleMs)
            return SettlingMaxAgeMs;
        return WatchedMaxAgeMs;
    }

    void openWatch()
    {
        watchTried = true;
        watchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (watchFd < 0)
            return;
        const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB;
        if (inotify_add_watch(watchFd, QFile::encodeName(folder).constData(), mask) < 0) {
            qDebug() << "Serial ports: cannot watch" << folder << "- listings are kept for"
                     << UnwatchedMaxAgeMs << "ms";
            closeWatch();
        }
    }

    void closeWatch()
    {
        if (watchFd >= 0)
            ::close(watchFd);
        watchFd = -1;
    }

    // Reads every pending event without blocking; true when the folder changed. A lost queue or a
    // watch the kernel dropped (the folder went) counts as a change and ends the watching.
    bool drainEvents()
    {
        bool changed = false;
        alignas(struct inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(watchFd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return changed;
            if (n <= 0) {
                closeWatch();
                return true;
            }
            changed = true;
            for (ssize_t at = 0; at + ssize_t(sizeof(struct inotify_event)) <= n;) {
                const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
                if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED)) {
                    closeWatch();
                    return true;
                }
                at += ssize_t(sizeof(struct inotify_event)) + event->len;
            }
        }
    }

    QMutex mutex;
    QString folder = QStringLiteral("/dev");
    int watchFd = -1;
    bool watchTried = false;
    bool valid = false;
    int listings = 0;
    QElapsedTimer listedAt;
    QElapsedTimer changedAt; // the last change seen in the folder
    QList<SerialPortEntry> cached;
};

SystemPortCache& systemPortCache()
{
    static SystemPortCache cache;
    return cache;
}

void appendUnlisted(QList<SerialPortEntry>& ports, const QList<SerialPortEntry>& more)
{
    for (const SerialPortEntry& e : more) {
        const bool listed = std::any_of(ports.cbegin(), ports.cend(), [&](const SerialPortEntry& p) {
            return p.portName == e.portName;
        });
        if (!listed)
            ports.append(e);
    }
}
} // namespace

QList<SerialPortEntry> SerialPortLister::portsFromFile(const QString& path)
{
    QList<SerialPortEntry> ports;
    const RegularFileRead file = readRegularFile(path, MaxPortsFileBytes);
    if (!file.ok()) {
        if (file.status != RegularFileRead::Missing) // no file yet: no simulated unit running
            qDebug() << "Serial ports file not used:" << file.error;
        return ports;
    }
    const QList<QByteArray> lines = file.bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines.at(i));
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char('\t'));
        SerialPortEntry e;
        e.portName = f.value(0).trimmed();
        e.systemLocation = e.portName;
        e.description = f.value(1);
        e.manufacturer = f.value(2);
        e.serialNumber = f.value(3);
        const bool wellFormed = f.size() <= 6 && !e.portName.isEmpty()
            && e.portName.startsWith(QLatin1Char('/'))
            && parseUsbId(f.value(4).trimmed(), &e.vendorId, &e.hasVendorId)
            && parseUsbId(f.value(5).trimmed(), &e.productId, &e.hasProductId);
        if (!wellFormed) {
            qDebug() << "Serial ports file" << path << "line" << i + 1 << "skipped: malformed";
            continue;
        }
        if (!QFileInfo::exists(e.portName))
            continue; // the unit behind it has gone
        appendUnlisted(ports, {e});
    }
    return ports;
}

QList<SerialPortEntry> SerialPortLister::availablePorts()
{
    QList<SerialPortEntry> ports;
    {
        QMutexLocker lock(&registryMutex);
        if (!systemPortsListed)
            return registry();
    }
    ports = systemPortCache().ports();
    // Read afresh at every listing: a simulated unit that starts or stops beside the program is
    // seen by the next poll.
    const QString portsFile = qEnvironmentVariable("PLEXA_SERIAL_PORTS");
    if (!portsFile.isEmpty())
        appendUnlisted(ports, portsFromFile(portsFile));
    QMutexLocker lock(&registryMutex);
    appendUnlisted(ports, registry());
    return ports;
}

void SerialPortLister::registerPort(const SerialPortEntry& entry)
{
    QMutexLocker lock(&registryMutex);
    for (SerialPortEntry& e : registry()) {
        if (e.portName == entry.portName) {
            e = entry;
            return;
        }
    }
    registry().append(entry);
}

void SerialPortLister::unregisterPort(const QString& portName)
{
    QMutexLocker lock(&registryMutex);
    auto& ports = registry();
    for (int i = ports.size() - 1; i >= 0; --i) {
        if (ports.at(i).portName == portName)
            ports.removeAt(i);
    }
}

void SerialPortLister::clearRegisteredPorts()
{
    QMutexLocker lock(&registryMutex);
    registry().clear();
}

void SerialPortLister::setSystemPortsListed(bool listed)
{
    QMutexLocker lock(&registryMutex);
    systemPortsListed = listed;
}

int SerialPortLister::systemListings()
{
    return systemPortCache().listingCount();
}

void SerialPortLister::setDeviceFolder(const QString& folder)
{
    systemPortCache().setFolder(folder);
}

QStringList SerialPortLister::portNames()
{
    QStringList names;
    for (const SerialPortEntry& port : availablePorts())
        names.append(port.portName);
    return names;
}
