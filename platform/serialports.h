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

// Lists the machine's serial ports: what QSerialPortInfo reports (ttyUSB, ttyACM, real ttyS),
// the ports named by the file in PLEXA_SERIAL_PORTS and ports registered at run time.
// The machine's own ports are enumerated once for every caller: the walk through sysfs costs
// about 1,400 file opens, and four device families poll the list every 2 to 2.5 s. The listing is
// kept while an inotify watch on /dev reports no change (a serial adapter that comes or goes adds
// or removes its node there), re-made at least once a minute, and, for a few seconds after a
// change, at most a second old, so that descriptions udev fills in late are seen. Where /dev
// cannot be watched a listing serves for 1.5 s. The ports file and the registered ports are read
// afresh at every call.
// QSerialPortInfo does not list pseudo-terminals, so the device simulators register theirs here
// (inside a test) or write them into that file (beside a running program) with the description
// and USB ids a real unit would report.
class SerialPortLister
{
public:
    static QList<SerialPortEntry> availablePorts();
    // The ports of a ports file: one a line, tab-separated: device path, description,
    // manufacturer, serial number, USB vendor id, USB product id (hex, may be empty; trailing
    // fields may be left out). Blank lines and lines starting with "#" are ignored; a malformed
    // line (no path, more than six fields, a path that is not absolute, an id that is not hex up
    // to FFFF) is skipped with a debug message; a line whose device path does not exist is
    // skipped. A missing, unreadable, oversized or non-regular file (a FIFO) gives nothing, and
    // never blocks.
    static QList<SerialPortEntry> portsFromFile(const QString& path);
    static constexpr qint64 MaxPortsFileBytes = 64 * 1024;
    // The names of availablePorts(), as the serial-port choices offer them.
    static QStringList portNames();
    static void registerPort(const SerialPortEntry& entry);
    static void unregisterPort(const QString& portName);
    static void clearRegisteredPorts();
    // Tests of a PC without serial ports leave out the machine's own (true again restores them).
    static void setSystemPortsListed(bool listed);
    // How many times the machine's ports have been enumerated in this process.
    static int systemListings();
    // Tests: watch `folder` in place of /dev (an empty path restores /dev) and forget the listing.
    static void setDeviceFolder(const QString& folder);
};

#endif // SERIALPORTS_H
