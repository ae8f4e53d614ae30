#include "fakeusbbus.h"

#include <QThread>

#include <cerrno>

FakeUsbDevice::~FakeUsbDevice() = default;
int FakeUsbDevice::claimInterface(int) { return 0; }
int FakeUsbDevice::releaseInterface(int) { return 0; }
int FakeUsbDevice::bulkWrite(int, const QByteArray&) { return Silent; }
int FakeUsbDevice::bulkRead(int, QByteArray*, int) { return Silent; }
int FakeUsbDevice::controlWrite(int, int, int, int, const QByteArray&) { return Silent; }
int FakeUsbDevice::controlRead(int, int, int, int, QByteArray*, int) { return Silent; }

struct FakeUsbBus::Stats {
    int opens = 0;
    int openHandles = 0;
    QList<int> timeouts;
};

// One plugged device as its handles see it: it outlives an unplug, so that a handle still open
// learns that its device has gone.
struct FakeUsbBus::Slot {
    FakeUsbDevice* unit = nullptr;
    bool present = true;
};

struct FakeUsbBus::Entry {
    UsbDeviceInfo info;
    std::shared_ptr<Slot> slot;
};

namespace {

class FakeUsbHandle : public UsbHandle
{
public:
    FakeUsbHandle(std::shared_ptr<FakeUsbBus::Slot> slot, std::shared_ptr<FakeUsbBus::Stats> stats)
        : m_slot(std::move(slot))
        , m_stats(std::move(stats))
    {
        ++m_stats->opens;
        ++m_stats->openHandles;
    }
    ~FakeUsbHandle() override { --m_stats->openHandles; }

    int claimInterface(int interface) override
    {
        return m_slot->present ? (m_slot->unit ? m_slot->unit->claimInterface(interface) : 0) : -ENODEV;
    }
    int releaseInterface(int interface) override
    {
        return m_slot->present ? (m_slot->unit ? m_slot->unit->releaseInterface(interface) : 0) : -ENODEV;
    }

    int bulkWrite(int endpoint, const QByteArray& data, int timeoutMs) override
    {
        return transfer(timeoutMs, nullptr, [&](FakeUsbDevice* u) { return u->bulkWrite(endpoint, data); });
    }
    int bulkRead(int endpoint, QByteArray* data, int length, int timeoutMs) override
    {
        return transfer(timeoutMs, data, [&](FakeUsbDevice* u) { return u->bulkRead(endpoint, data, length); });
    }
    int controlWrite(int requestType, int request, int value, int index, const QByteArray& data,
                     int timeoutMs) override
    {
        if (requestType & 0x80)
            return -EINVAL;
        return transfer(timeoutMs, nullptr,
                        [&](FakeUsbDevice* u) { return u->controlWrite(requestType, request, value, index, data); });
    }
    int controlRead(int requestType, int request, int value, int index, QByteArray* data, int length,
                    int timeoutMs) override
    {
        if (!(requestType & 0x80))
            return -EINVAL;
        return transfer(timeoutMs, data, [&](FakeUsbDevice* u) {
            return u->controlRead(requestType, request, value, index, data, length);
        });
    }

private:
    template<typename Call>
    int transfer(int timeoutMs, QByteArray* in, Call call)
    {
        m_stats->timeouts.append(timeoutMs);
        if (in)
            in->clear();
        if (!m_slot->present)
            return -ENODEV;
        const int n = m_slot->unit ? call(m_slot->unit) : FakeUsbDevice::Silent;
        if (n == FakeUsbDevice::Silent) {
            // The library blocks for the whole time-out when nothing comes.
            QThread::msleep(ulong(qMax(timeoutMs, 0)));
            if (in)
                in->clear();
            return -ETIMEDOUT;
        }
        if (n < 0 && in)
            in->clear();
        return n;
    }

    std::shared_ptr<FakeUsbBus::Slot> m_slot;
    std::shared_ptr<FakeUsbBus::Stats> m_stats;
};

} // namespace

FakeUsbBus::FakeUsbBus()
    : m_stats(std::make_shared<Stats>())
{
}

FakeUsbBus::~FakeUsbBus() = default;

QByteArray FakeUsbBus::plug(quint16 vendorId, quint16 productId, const QByteArray& bus, FakeUsbDevice* unit)
{
    Entry entry;
    entry.info.bus = bus;
    // Numbers are never reused, as the kernel gives a replugged device a new one.
    entry.info.device = QByteArray::number(m_nextNumber++).rightJustified(3, '0');
    entry.info.vendorId = vendorId;
    entry.info.productId = productId;
    entry.slot = std::make_shared<Slot>();
    entry.slot->unit = unit;
    m_devices.append(entry);
    return entry.info.device;
}

bool FakeUsbBus::unplug(const QByteArray& bus, const QByteArray& device)
{
    for (int i = 0; i < m_devices.size(); ++i) {
        if (m_devices.at(i).info.bus == bus && m_devices.at(i).info.device == device) {
            m_devices.at(i).slot->present = false;
            m_devices.removeAt(i);
            return true;
        }
    }
    return false;
}

QList<UsbDeviceInfo> FakeUsbBus::devices()
{
    ++m_walks;
    QList<UsbDeviceInfo> list;
    for (const Entry& entry : m_devices)
        list.append(entry.info);
    return list;
}

std::unique_ptr<UsbHandle> FakeUsbBus::open(const UsbDeviceInfo& device)
{
    if (m_openRefused)
        return nullptr;
    for (const Entry& entry : m_devices) {
        if (entry.info.bus == device.bus && entry.info.device == device.device)
            return std::make_unique<FakeUsbHandle>(entry.slot, m_stats);
    }
    return nullptr;
}

int FakeUsbBus::opens() const
{
    return m_stats->opens;
}

int FakeUsbBus::openHandles() const
{
    return m_stats->openHandles;
}

QList<int> FakeUsbBus::timeouts() const
{
    return m_stats->timeouts;
}
