#include "usbbus.h"

#include "portaccess.h"

#include <usb.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace {

// The library's transfer calls take a char pointer for both directions.
char* writable(const QByteArray& data)
{
    return const_cast<char*>(data.constData());
}

class LibUsbHandle : public UsbHandle
{
public:
    explicit LibUsbHandle(usb_dev_handle* handle)
        : m_handle(handle)
    {
    }
    ~LibUsbHandle() override { usb_close(m_handle); }

    int claimInterface(int interface) override { return usb_claim_interface(m_handle, interface); }
    int releaseInterface(int interface) override { return usb_release_interface(m_handle, interface); }

    int bulkWrite(int endpoint, const QByteArray& data, int timeoutMs) override
    {
        return usb_bulk_write(m_handle, endpoint, writable(data), data.size(), timeoutMs);
    }

    int bulkRead(int endpoint, QByteArray* data, int length, int timeoutMs) override
    {
        data->resize(qMax(length, 0));
        const int n = usb_bulk_read(m_handle, endpoint, data->data(), data->size(), timeoutMs);
        data->resize(qBound(0, n, data->size()));
        return n;
    }

    int controlWrite(int requestType, int request, int value, int index, const QByteArray& data,
                     int timeoutMs) override
    {
        if (requestType & USB_ENDPOINT_IN)
            return -EINVAL;
        return usb_control_msg(m_handle, requestType, request, value, index, writable(data), data.size(), timeoutMs);
    }

    int controlRead(int requestType, int request, int value, int index, QByteArray* data, int length,
                    int timeoutMs) override
    {
        data->clear();
        if (!(requestType & USB_ENDPOINT_IN))
            return -EINVAL;
        data->resize(qMax(length, 0));
        const int n = usb_control_msg(m_handle, requestType, request, value, index, data->data(), data->size(),
                                      timeoutMs);
        data->resize(qBound(0, n, data->size()));
        return n;
    }

private:
    usb_dev_handle* m_handle;
};

QByteArray busName(const usb_bus* bus)
{
    return QByteArray(bus->dirname, int(qstrnlen(bus->dirname, sizeof bus->dirname)));
}

QByteArray deviceName(const struct usb_device* dev)
{
    return QByteArray(dev->filename, int(qstrnlen(dev->filename, sizeof dev->filename)));
}

// libusb-0.1 keeps its busses and devices in process-wide lists that every rescan rebuilds: one
// walk (or open) at a time.
class LibUsbBackend : public UsbBackend
{
public:
    QList<UsbDeviceInfo> devices() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        rescan();
        QList<UsbDeviceInfo> found;
        for (usb_bus* bus = usb_get_busses(); bus; bus = bus->next) {
            for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
                UsbDeviceInfo info;
                info.bus = busName(bus);
                info.device = deviceName(dev);
                info.vendorId = dev->descriptor.idVendor;
                info.productId = dev->descriptor.idProduct;
                found.append(info);
            }
        }
        return found;
    }

    std::unique_ptr<UsbHandle> open(const UsbDeviceInfo& device) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        rescan();
        for (usb_bus* bus = usb_get_busses(); bus; bus = bus->next) {
            if (busName(bus) != device.bus)
                continue;
            for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
                if (deviceName(dev) != device.device)
                    continue;
                // The handle keeps the device open on its own; a later rescan does not touch it.
                usb_dev_handle* handle = usb_open(dev);
                PortAccess::noteDenial(PortAccess::Kind::Usb,
                                       handle ? QString() : PortAccess::usbHint(device.bus, device.device));
                return handle ? std::make_unique<LibUsbHandle>(handle) : nullptr;
            }
        }
        return nullptr;
    }

private:
    void rescan()
    {
        if (!m_initialised) {
            usb_init();
            m_initialised = true;
        }
        usb_find_busses();
        usb_find_devices();
    }

    std::mutex m_mutex;
    bool m_initialised = false;
};

std::atomic<UsbBackend*> installedBackend{nullptr};

} // namespace

UsbHandle::~UsbHandle() = default;

UsbBackend::~UsbBackend() = default;

UsbBackend* UsbBackend::libusb()
{
    static LibUsbBackend backend;
    return &backend;
}

UsbBackend* UsbBackend::current()
{
    UsbBackend* backend = installedBackend.load();
    return backend ? backend : libusb();
}

void UsbBackend::setCurrent(UsbBackend* backend)
{
    installedBackend.store(backend);
}
