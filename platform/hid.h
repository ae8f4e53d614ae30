#ifndef HID_H
#define HID_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory>

// The USB HID layer under the report transport (CHidIO). The transport talks only to HidBackend
// and HidHandle; the program runs on the hidapi backend (hidraw), tests on a scripted fake unit.
//
// Reports cross this interface in the transport's layout: byte 0 is the report id (always 0 for
// the units of this program), followed by the report's data. A backend whose library drops the
// id byte of unnumbered reports adds it back on reads.

// One HID unit present on the machine.
struct HidDeviceInfo {
    QByteArray path; // what HidBackend::open takes
    quint16 vendorId = 0;
    quint16 productId = 0;
    QString manufacturer;
    QString product;
    QString serialNumber;
};

// One open connection to a unit. Closed when destroyed.
class HidHandle
{
public:
    // What write and read return besides a byte count.
    enum Status { Failed = -1, TimedOut = -2 };

    virtual ~HidHandle();
    // Writes one whole report and waits up to `timeoutMs` for it to complete. Returns the number
    // of bytes written, TimedOut, or Failed (the unit is gone or refused the report).
    virtual int write(const quint8* report, int length, int timeoutMs) = 0;
    // Waits up to `timeoutMs` for the next input report and stores at most `size` bytes of it.
    // Returns its length (report id byte included), 0 when none arrived in time, or Failed.
    virtual int read(quint8* buffer, int size, int timeoutMs) = 0;
    // Sends one feature report (report id byte first). Returns the number of bytes sent or Failed.
    virtual int sendFeatureReport(const quint8* report, int length);
    // The longest output and feature report of the unit, report id byte included (the lengths a
    // unit's capabilities state); 0 when the unit has none or they cannot be learnt.
    virtual int outputReportLength() const { return 0; }
    virtual int featureReportLength() const { return 0; }
};

// The longest output and feature report a HID report descriptor declares, in bytes with the
// report id byte counted (as a unit's capabilities state them); 0 for a kind it lacks.
struct HidReportLengths {
    int output = 0;
    int feature = 0;
};
HidReportLengths hidReportLengths(const QByteArray& descriptor);

class HidBackend
{
public:
    virtual ~HidBackend();
    // The units present now; 0 as an id matches any.
    virtual QList<HidDeviceInfo> enumerate(quint16 vendorId = 0, quint16 productId = 0) = 0;
    // Opens the unit at `path` for reading and writing; nullptr when it cannot be opened.
    virtual std::unique_ptr<HidHandle> open(const QByteArray& path) = 0;

    // The backend used by transports that were not given one: the one installed with
    // setCurrent, else the hidapi backend.
    static HidBackend* current();
    // Replaces the backend for everything opened from now on (nullptr restores hidapi). The
    // caller keeps ownership and must restore the default before the backend goes away.
    static void setCurrent(HidBackend* backend);
    static HidBackend* hidapi();
};

#endif // HID_H
