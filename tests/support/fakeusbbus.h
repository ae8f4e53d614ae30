#ifndef FAKEUSBBUS_H
#define FAKEUSBBUS_H

#include "usbbus.h"

#include <QList>

#include <climits>
#include <memory>

// What a plugged raw-USB device does with what it is sent. A unit's simulator derives from it
// (tests/sim/rolvanesim.h); the defaults are a device that takes claims and answers nothing.
// Results are the bytes transferred, a negative errno, or Silent: no answer, the handle waits out
// the caller's time-out and reports -ETIMEDOUT, as libusb does.
class FakeUsbDevice
{
public:
    static constexpr int Silent = INT_MIN;

    virtual ~FakeUsbDevice();
    virtual int claimInterface(int interface);
    virtual int releaseInterface(int interface);
    virtual int bulkWrite(int endpoint, const QByteArray& data);
    virtual int bulkRead(int endpoint, QByteArray* data, int length);
    virtual int controlWrite(int requestType, int request, int value, int index, const QByteArray& data);
    virtual int controlRead(int requestType, int request, int value, int index, QByteArray* data, int length);
};

// The raw-USB devices of a test: a UsbBackend whose busses hold what the test plugs in. Install
// it for the whole program with UsbBackend::setCurrent (FakeUsbBus::Scope does both ends).
class FakeUsbBus : public UsbBackend
{
public:
    FakeUsbBus();
    ~FakeUsbBus() override;

    // Plugs a device into `bus` and returns its name there ("001", "002", … per bus). `unit`
    // (not owned, may be null: a device that answers nothing) takes its transfers.
    QByteArray plug(quint16 vendorId, quint16 productId, const QByteArray& bus = "001",
                    FakeUsbDevice* unit = nullptr);
    // Pulls a device out; false when there is no such device. Its open handles fail from now on
    // with -ENODEV.
    bool unplug(const QByteArray& bus, const QByteArray& device);

    QList<UsbDeviceInfo> devices() override;
    std::unique_ptr<UsbHandle> open(const UsbDeviceInfo& device) override;

    int walks() const { return m_walks; }             // how often the bus was walked
    int opens() const;                                // handles ever opened
    int openHandles() const;                          // handles open now
    QList<int> timeouts() const;                      // the time-out of every transfer, in order
    // Opening fails while the device stays listed (held by another program, no permission).
    void setOpenRefused(bool refused) { m_openRefused = refused; }

    class Scope
    {
    public:
        explicit Scope(FakeUsbBus& bus) { UsbBackend::setCurrent(&bus); }
        ~Scope() { UsbBackend::setCurrent(nullptr); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    struct Slot;
    struct Stats;

private:
    struct Entry;
    QList<Entry> m_devices;
    std::shared_ptr<Stats> m_stats;
    int m_nextNumber = 1;
    int m_walks = 0;
    bool m_openRefused = false;
};

#endif // FAKEUSBBUS_H
