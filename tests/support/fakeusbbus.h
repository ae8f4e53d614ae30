#ifndef FAKEUSBBUS_H
#define FAKEUSBBUS_H

#include "usbbus.h"

#include <QList>

// The raw-USB devices of a test: a UsbBackend whose busses hold what the test plugs in. Install
// it for the whole program with UsbBackend::setCurrent (FakeUsbBus::Scope does both ends).
class FakeUsbBus : public UsbBackend
{
public:
    // Plugs a device into `bus` and returns its name there ("001", "002", … per bus).
    QByteArray plug(quint16 vendorId, quint16 productId, const QByteArray& bus = "001");
    // Pulls a device out; false when there is no such device.
    bool unplug(const QByteArray& bus, const QByteArray& device);

    QList<UsbDeviceInfo> devices() override;
    int walks() const { return m_walks; } // how often the bus was walked

    class Scope
    {
    public:
        explicit Scope(FakeUsbBus& bus) { UsbBackend::setCurrent(&bus); }
        ~Scope() { UsbBackend::setCurrent(nullptr); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

private:
    QList<UsbDeviceInfo> m_devices;
    int m_nextNumber = 1;
    int m_walks = 0;
};

#endif // FAKEUSBBUS_H
