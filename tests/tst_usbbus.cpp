// The raw-USB bus walk: libusb-0.1 on this machine, and the switch to a fake bus for tests.
#include "plexatest.h"
#include "fakeusbbus.h"
#include "usbbus.h"

#include <QElapsedTimer>

#include <cerrno>

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
        // A device no walk listed cannot be opened.
        UsbDeviceInfo nowhere;
        nowhere.bus = "nobus";
        nowhere.device = "999";
        QVERIFY(!UsbBackend::libusb()->open(nowhere));
    }

    // A handle on the fake bus behaves as libusb's does: a device that answers nothing holds the
    // caller for its time-out, a pulled device fails every transfer at once, and a control
    // request must go the way its request type says.
    void fakeHandleTimesOutAndLearnsOfUnplugging()
    {
        struct Echo : FakeUsbDevice {
            int bulkWrite(int, const QByteArray& data) override { return data.size(); }
            int controlRead(int, int, int, int, QByteArray* data, int length) override
            {
                *data = QByteArray(length, 'e');
                return length;
            }
        } echo;
        FakeUsbBus bus;
        const QByteArray name = bus.plug(0x22CA, 0x1111, "001", &echo);
        const QByteArray silent = bus.plug(0x1234, 0x5678);
        std::unique_ptr<UsbHandle> handle = bus.open(bus.devices().first());
        std::unique_ptr<UsbHandle> quiet = bus.open(bus.devices().last());
        QVERIFY(handle && quiet);
        QCOMPARE(bus.openHandles(), 2);

        QCOMPARE(handle->bulkWrite(2, "abc", 100), 3);
        QByteArray in = "stale";
        QCOMPARE(handle->controlRead(0xC0, 1, 0, 0, &in, 2, 100), 2);
        QCOMPARE(in, QByteArray("ee"));
        QCOMPARE(handle->controlRead(0x40, 1, 0, 0, &in, 2, 100), -EINVAL);
        QCOMPARE(handle->controlWrite(0xC0, 1, 0, 0, "x", 100), -EINVAL);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(handle->bulkRead(0x81, &in, 64, 60), -ETIMEDOUT);
        QVERIFY(clock.elapsed() >= 55);
        QVERIFY(in.isEmpty());
        QCOMPARE(quiet->controlWrite(0x40, 1, 0, 0, "x", 1), -ETIMEDOUT);
        QCOMPARE(bus.timeouts(), (QList<int>{100, 100, 60, 1})); // refused directions never start

        QVERIFY(bus.unplug("001", name));
        clock.restart();
        QCOMPARE(handle->bulkRead(0x81, &in, 64, 5000), -ENODEV);
        QCOMPARE(handle->releaseInterface(0), -ENODEV);
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(quiet->claimInterface(0), 0);
        bus.setOpenRefused(true);
        QVERIFY(!bus.open(bus.devices().first()));
        handle.reset();
        quiet.reset();
        QCOMPARE(bus.openHandles(), 0);
        QCOMPARE(bus.opens(), 2);
        Q_UNUSED(silent);
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
