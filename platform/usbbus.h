#ifndef USBBUS_H
#define USBBUS_H

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// Raw USB (units that are not HID, such as the wireless extenders): the program runs on
// libusb-0.1, tests on a fake bus (tests/support/fakeusbbus.h).
//
// Only the bus walk exists so far. Opening a unit, claiming and releasing an interface and the
// control and bulk transfers belong on UsbBackend as well (a handle class beside UsbDeviceInfo,
// opened from one), so that everything raw-USB has one backend to fake.

// One device present on a bus.
struct UsbDeviceInfo {
    QByteArray bus;    // the bus's name as the library gives it ("001")
    QByteArray device; // the device's name on that bus ("004"); with `bus` it names the device
    quint16 vendorId = 0;
    quint16 productId = 0;
};

class UsbBackend
{
public:
    virtual ~UsbBackend();
    // Walks every device of every bus present now, bus by bus in the library's order. Empty when
    // the machine has no USB or the library cannot reach it.
    virtual QList<UsbDeviceInfo> devices() = 0;

    // The backend in use: the one installed with setCurrent, else libusb-0.1.
    static UsbBackend* current();
    // Replaces the backend from now on (nullptr restores libusb-0.1). The caller keeps ownership
    // and must restore the default before the backend goes away.
    static void setCurrent(UsbBackend* backend);
    static UsbBackend* libusb();
};

#endif // USBBUS_H
