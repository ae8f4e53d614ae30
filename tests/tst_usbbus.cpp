// The raw-USB bus walk: libusb-0.1 on this machine, and the switch to a fake bus for tests.
#include "plexatest.h"
#include "fakeusbbus.h"
#include "usbbus.h"

class TestUsbBus : public QObject
{
    Q_OBJECT

private slots:
    // libusb-0.1 initialises and walks whatever busses this machine has (none in a container);
    // every device it lists is named, and a second walk after the first finds the same ones.
    void libusbWalkRuns()
    {
        QCOMPARE(UsbBackend::current(), UsbBackend::libusb());
        const QList<UsbDeviceInfo> first = UsbBackend::libusb()->devices();
        for (const UsbDeviceInfo& device : first) {
            QVERIFY(!device.bus.isEmpty());
            QVERIFY(!device.device.isEmpty());
        }
        const QList<UsbDeviceInfo> second = UsbBackend::libusb()->devices();
        QCOMPARE(second.size(), first.size());
        qInfo() << "libusb-0.1 found" << first.size() << "devices";
    }

    void fakeBusTakesOverAndGivesBack()
    {
        FakeUsbBus bus;
        const QByteArray a = bus.plug(0x22CA, 0x1111);
        const QByteArray b = bus.plug(0x22CA, 0x1111, "002");
        {
            FakeUsbBus::Scope scope(bus);
            QCOMPARE(UsbBackend::current(), static_cast<UsbBackend*>(&bus));
            QCOMPARE(UsbBackend::current()->devices().size(), 2);
            QVERIFY(bus.unplug("002", b));
            QVERIFY(!bus.unplug("002", b));
            const QList<UsbDeviceInfo> left = UsbBackend::current()->devices();
            QCOMPARE(left.size(), 1);
            QCOMPARE(left.first().device, a);
            QCOMPARE(left.first().vendorId, quint16(0x22CA));
            // A replugged device gets a new name, as on a real bus.
            QVERIFY(bus.plug(0x22CA, 0x1111, "002") != b);
        }
        QCOMPARE(UsbBackend::current(), UsbBackend::libusb());
    }
};

PLEXA_TEST_MAIN(TestUsbBus)
#include "tst_usbbus.moc"
