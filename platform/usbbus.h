#ifndef USBBUS_H
#define USBBUS_H

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <memory>

// Raw USB (units that are not HID, such as the wireless extenders): the program runs on
// libusb-0.1, tests on a fake bus (tests/support/fakeusbbus.h). Everything raw-USB goes through
// this one backend: the bus walk, opening a device and the transfers on the opened handle.

// One device present on a bus.
struct UsbDeviceInfo {
    QByteArray bus;    // the bus's name as the library gives it ("001")
    QByteArray device; // the device's name on that bus ("004"); with `bus` it names the device
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// An opened device. Results follow libusb-0.1: the bytes transferred, or a negative errno
// (-ETIMEDOUT when the time-out passed, -ENODEV when the device has gone). Every transfer blocks
// the calling thread for at most its time-out. Destroying the handle closes the device.
class UsbHandle
{
public:
    virtual ~UsbHandle();

    virtual int claimInterface(int interface) = 0;
    virtual int releaseInterface(int interface) = 0;

    virtual int bulkWrite(int endpoint, const QByteArray& data, int timeoutMs) = 0;
    // Reads up to `length` bytes into `data` (resized to what arrived; empty on a failure).
    virtual int bulkRead(int endpoint, QByteArray* data, int length, int timeoutMs) = 0;

    // Control transfers on the default pipe: a request that sends `data` (host to device) and one
    // that reads up to `length` bytes into `data` (device to host). The direction bit of
    // `requestType` must match the call.
    virtual int controlWrite(int requestType, int request, int value, int index, const QByteArray& data,
                             int timeoutMs) = 0;
    virtual int controlRead(int requestType, int request, int value, int index, QByteArray* data, int length,
                            int timeoutMs) = 0;
};

class UsbBackend
{
public:
    virtual ~UsbBackend();
    // Walks every device of every bus present now, bus by bus in the library's order. Empty when
    // the machine has no USB or the library cannot reach it.
    virtual QList<UsbDeviceInfo> devices() = 0;
    // Opens the device a walk listed (matched by bus and device name); nullptr when it has gone
    // or cannot be opened (permissions, held by another program).
    virtual std::unique_ptr<UsbHandle> open(const UsbDeviceInfo& device) = 0;

    // The backend in use: the one installed with setCurrent, else libusb-0.1.
    static UsbBackend* current();
    // Replaces the backend from now on (nullptr restores libusb-0.1). The caller keeps ownership
    // and must restore the default before the backend goes away.
    static void setCurrent(UsbBackend* backend);
    static UsbBackend* libusb();
};

#endif // USBBUS_H
