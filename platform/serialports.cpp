#include "serialports.h"

#include "regularfile.h"

#include <QDebug>
#include <QFileInfo>
#include <QMutex>
#include <QSerialPortInfo>

#include <algorithm>

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
    // Read afresh at every listing: a simulated unit that starts or stops beside the program is
    // seen by the next poll.
    const QString portsFile = qEnvironmentVariable("PLEXA_SERIAL_PORTS");
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

QStringList SerialPortLister::portNames()
{
    QStringList names;
    for (const SerialPortEntry& port : availablePorts())
        names.append(port.portName);
    return names;
}
