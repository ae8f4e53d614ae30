#ifndef SERIALPORTS_H
#define SERIALPORTS_H

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// One serial port as the device pages see it.
struct SerialPortEntry {
    QString portName;       // what the controllers pass to QSerialPort::setPortName (a full path for ptys)
    QString systemLocation; // device node
    QString description;
    QString manufacturer;
    QString serialNumber;
    quint16 vendorId = 0;
    quint16 productId = 0;
    bool hasVendorId = false;
    bool hasProductId = false;
};

// Lists the machine's serial ports: what QSerialPortInfo reports (ttyUSB, ttyACM, real ttyS) and
// ports registered at run time. QSerialPortInfo does not list pseudo-terminals, so the device
// simulators register theirs here with the description and USB ids a real unit would report.
class SerialPortLister
{
public:
    static QList<SerialPortEntry> availablePorts();
    // The names of availablePorts(), as the serial-port choices offer them.
    static QStringList portNames();
    static void registerPort(const SerialPortEntry& entry);
    static void unregisterPort(const QString& portName);
    static void clearRegisteredPorts();
    // Tests of a PC without serial ports leave out the machine's own (true again restores them).
    static void setSystemPortsListed(bool listed);
};

#endif // SERIALPORTS_H
