#include "serialports.h"

#include <QMutex>
#include <QSerialPortInfo>

namespace {
QMutex registryMutex;
bool systemPortsListed = true; // guarded by registryMutex
QList<SerialPortEntry>& registry()
{
    static QList<SerialPortEntry> ports;
    return ports;
}
} // namespace

QList<SerialPortEntry> SerialPortLister::availablePorts()
{
    QList<SerialPortEntry> ports;
    {
        QMutexLocker lock(&registryMutex);
        if (!systemPortsListed)
            return registry();
    }
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
    QMutexLocker lock(&registryMutex);
    ports.append(registry());
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
