#include "hid.h"

#include "portaccess.h"

#include <hidapi.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

HidHandle::~HidHandle() = default;
HidBackend::~HidBackend() = default;

int HidHandle::sendFeatureReport(const quint8*, int)
{
    return Failed;
}

HidReportLengths hidReportLengths(const QByteArray& descriptor)
{
    // Walks the short items, keeping the global report size, count and id, and adds the bits of
    // every Output and Feature main item to the report it belongs to. Push/pop and long items
    // are rare in the units' descriptors; long items are skipped whole.
    QHash<int, int> outputBits, featureBits; // by report id
    quint32 reportSize = 0, reportCount = 0;
    int reportId = 0;
    const int n = descriptor.size();
    const auto* d = reinterpret_cast<const quint8*>(descriptor.constData());
    for (int i = 0; i < n;) {
        const quint8 prefix = d[i];
        if (prefix == 0xFE) { // long item: size byte, tag byte, data
            if (i + 1 >= n)
                break;
            i += 3 + d[i + 1];
            continue;
        }
        const int size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + size > n)
            break; // truncated descriptor: keep what was read
        quint32 value = 0;
        for (int k = 0; k < size; ++k)
            value |= quint32(d[i + 1 + k]) << (8 * k);
        switch (prefix & 0xFC) {
        case 0x74: reportSize = value; break;
        case 0x94: reportCount = value; break;
        case 0x84: reportId = int(value & 0xFF); break;
        case 0x90: outputBits[reportId] += int(qMin<quint64>(quint64(reportSize) * reportCount, 1u << 20)); break;
        case 0xB0: featureBits[reportId] += int(qMin<quint64>(quint64(reportSize) * reportCount, 1u << 20)); break;
        default: break;
        }
        i += 1 + size;
    }
    auto longest = [](const QHash<int, int>& bits) {
        int bytes = 0;
        for (int b : bits)
            bytes = qMax(bytes, (b + 7) / 8 + 1); // + the report id byte, sent even when unnumbered
        return bytes;
    };
    return {longest(outputBits), longest(featureBits)};
}

namespace {

using Clock = std::chrono::steady_clock;

struct HidapiCloser {
    void operator()(hid_device* device) const { hid_close(device); }
};

// One write handed to the kernel. It may outlive the caller's wait, so it owns its data.
struct WriteJob {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int result = HidHandle::Failed;
    std::vector<unsigned char> data;

    bool waitUntil(Clock::time_point deadline)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return finished.wait_until(lock, deadline, [this] { return done; });
    }
};

class HidapiHandle : public HidHandle
{
public:
    HidapiHandle(hid_device* device, HidReportLengths lengths)
        : m_device(device, HidapiCloser())
        , m_lengths(lengths)
    {
    }

    int sendFeatureReport(const quint8* report, int length) override
    {
        if (!report || length <= 0)
            return Failed;
        const int n = hid_send_feature_report(m_device.get(), report, size_t(length));
        return n < 0 ? Failed : n;
    }
    int outputReportLength() const override { return m_lengths.output; }
    int featureReportLength() const override { return m_lengths.feature; }

    int write(const quint8* report, int length, int timeoutMs) override
    {
        if (!report || length <= 0)
            return Failed;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(qMax(0, timeoutMs));

        // A hidraw write returns only when the kernel has delivered the report (the USB stack
        // gives up after five seconds). It runs on a helper thread so the caller waits no longer
        // than its own time-out; the helper keeps the device open until the write has ended, and
        // the next write on this handle waits for it first, as the kernel would.
        if (m_pending) {
            if (!m_pending->waitUntil(deadline))
                return TimedOut;
            m_pending.reset();
        }

        auto job = std::make_shared<WriteJob>();
        job->data.assign(report, report + length);
        std::shared_ptr<hid_device> device = m_device;
        try {
            std::thread([job, device] {
                const int result = hid_write(device.get(), job->data.data(), job->data.size());
                {
                    std::lock_guard<std::mutex> lock(job->mutex);
                    job->result = result < 0 ? Failed : result;
                    job->done = true;
                }
                job->finished.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            return Failed;
        }

        if (!job->waitUntil(deadline)) {
            m_pending = job;
            return TimedOut;
        }
        return job->result;
    }

    int read(quint8* buffer, int size, int timeoutMs) override
    {
        if (!buffer || size < 2)
            return Failed;
        // The units use unnumbered reports, which hidraw delivers without the id byte: put the
        // id 0 back in front so the caller sees the same layout it writes.
        const int n = hid_read_timeout(m_device.get(), buffer + 1, size_t(size - 1), qMax(0, timeoutMs));
        if (n < 0)
            return Failed;
        if (n == 0)
            return 0;
        buffer[0] = 0;
        return n + 1;
    }

private:
    std::shared_ptr<hid_device> m_device;
    std::shared_ptr<WriteJob> m_pending; // a write that outlived its time-out
    HidReportLengths m_lengths;
};

// hidapi reads no report descriptor, so the lengths come from the hidraw node's descriptor in
// sysfs ("/dev/hidrawN" -> /sys/class/hidraw/hidrawN/device/report_descriptor).
HidReportLengths lengthsOfNode(const QByteArray& path)
{
    const QString node = QFileInfo(QString::fromLocal8Bit(path)).fileName();
    QFile file(QStringLiteral("/sys/class/hidraw/%1/device/report_descriptor").arg(node));
    if (node.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return hidReportLengths(file.read(4096)); // a descriptor holds at most 4096 bytes
}

QString fromWide(const wchar_t* text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

class HidapiBackend : public HidBackend
{
public:
    HidapiBackend() { hid_init(); }

    QList<HidDeviceInfo> enumerate(quint16 vendorId, quint16 productId) override
    {
        QList<HidDeviceInfo> units;
        hid_device_info* list = hid_enumerate(vendorId, productId);
        for (const hid_device_info* d = list; d; d = d->next) {
            HidDeviceInfo info;
            info.path = QByteArray(d->path ? d->path : "");
            info.vendorId = d->vendor_id;
            info.productId = d->product_id;
            info.manufacturer = fromWide(d->manufacturer_string);
            info.product = fromWide(d->product_string);
            info.serialNumber = fromWide(d->serial_number);
            units.append(info);
        }
        hid_free_enumeration(list);
        return units;
    }

    std::unique_ptr<HidHandle> open(const QByteArray& path) override
    {
        if (path.isEmpty())
            return nullptr;
        hid_device* device = hid_open_path(path.constData());
        PortAccess::noteDenial(PortAccess::Kind::Hid, device ? QString() : PortAccess::hidHint(path));
        if (!device)
            return nullptr;
        return std::make_unique<HidapiHandle>(device, lengthsOfNode(path));
    }
};

std::atomic<HidBackend*> installedBackend{nullptr};

} // namespace

HidBackend* HidBackend::hidapi()
{
    static HidapiBackend backend;
    return &backend;
}

HidBackend* HidBackend::current()
{
    HidBackend* backend = installedBackend.load();
    return backend ? backend : hidapi();
}

void HidBackend::setCurrent(HidBackend* backend)
{
    installedBackend.store(backend);
}
