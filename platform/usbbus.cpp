#include "usbbus.h"

#include <usb.h>

#include <atomic>
#include <mutex>

namespace {

// libusb-0.1 keeps its busses and devices in process-wide lists that every rescan rebuilds: one
// walk at a time.
class LibUsbBackend : public UsbBackend
{
public:
    QList<UsbDeviceInfo> devices() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialised) {
            usb_init();
            m_initialised = true;
        }
        usb_find_busses();
        usb_find_devices();
        QList<UsbDeviceInfo> found;
        for (usb_bus* bus = usb_get_busses(); bus; bus = bus->next) {
            for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
                UsbDeviceInfo info;
                info.bus = QByteArray(bus->dirname, int(qstrnlen(bus->dirname, sizeof bus->dirname)));
                info.device = QByteArray(dev->filename, int(qstrnlen(dev->filename, sizeof dev->filename)));
                info.vendorId = dev->descriptor.idVendor;
                info.productId = dev->descriptor.idProduct;
                found.append(info);
            }
        }
        return found;
    }

private:
    std::mutex m_mutex;
    bool m_initialised = false;
};

std::atomic<UsbBackend*> installedBackend{nullptr};

} // namespace

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
