#include "fakeusbbus.h"

QByteArray FakeUsbBus::plug(quint16 vendorId, quint16 productId, const QByteArray& bus)
{
    UsbDeviceInfo info;
    info.bus = bus;
    // Numbers are never reused, as the kernel gives a replugged device a new one.
    info.device = QByteArray::number(m_nextNumber++).rightJustified(3, '0');
    info.vendorId = vendorId;
    info.productId = productId;
    m_devices.append(info);
    return info.device;
}

bool FakeUsbBus::unplug(const QByteArray& bus, const QByteArray& device)
{
    for (int i = 0; i < m_devices.size(); ++i) {
        if (m_devices.at(i).bus == bus && m_devices.at(i).device == device) {
            m_devices.removeAt(i);
            return true;
        }
    }
    return false;
}

QList<UsbDeviceInfo> FakeUsbBus::devices()
{
    ++m_walks;
    return m_devices;
}
