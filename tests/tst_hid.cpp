// The HID report transport: opening units, matching replies to commands, copy counts, time-outs,
// against a scripted fake unit; and once through the kernel with a virtual unit made over uhid.
#include "plexatest.h"
#include "chidcmd.h"
#include "chidio.h"
#include "fakehidunit.h"
#include "hid.h"
#include "timescale.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr quint16 MakerVendorId = 0x1EC7;
constexpr quint16 ConverterProductId = 0x000E;
// Not a product of the maker: the virtual unit never takes the place of a real one.
constexpr quint16 VirtualProductId = 0x7E57;

// A time-out the tests' time scale turns into 200 ms: long enough to tell its end from a doubled one.
constexpr int Timeout = 10000;

// A unit that echoes each command's sequence number with the reply flag and answers `payload`.
FakeHidUnit::Responder answering(const QByteArray& payload)
{
    return [payload](FakeHidUnit& unit, const QByteArray& request) {
        unit.sendReport(FakeHidUnit::report(FakeHidUnit::sequenceOf(request) | 0x80, payload));
    };
}

int percentOf(int limit, int percent)
{
    return limit * percent / 100;
}

} // namespace

class TestHid : public QObject
{
    Q_OBJECT

private slots:
    void open_data()
    {
        QTest::addColumn<bool>("twoHandles");
        QTest::addColumn<int>("vendorId");
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("handleLimit");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<int>("handles");
        QTest::newRow("two handles") << true << int(MakerVendorId) << int(ConverterProductId) << -1 << true << 2;
        QTest::newRow("one handle") << false << int(MakerVendorId) << int(ConverterProductId) << -1 << true << 1;
        QTest::newRow("other product") << true << int(MakerVendorId) << 0x0010 << -1 << false << 0;
        QTest::newRow("other vendor") << true << 0x10D5 << int(ConverterProductId) << -1 << false << 0;
        QTest::newRow("found but not openable") << true << int(MakerVendorId) << int(ConverterProductId) << 0
                                                << false << 0;
        QTest::newRow("found, one handle only, two wanted")
            << true << int(MakerVendorId) << int(ConverterProductId) << 1 << false << 0;
    }
    void open()
    {
        QFETCH(bool, twoHandles);
        QFETCH(int, vendorId);
        QFETCH(int, productId);
        QFETCH(int, handleLimit);
        QFETCH(bool, opened);
        QFETCH(int, handles);

        FakeHidBus bus;
        FakeHidUnit& unit = bus.addUnit(MakerVendorId, ConverterProductId);
        unit.setHandleLimit(handleLimit);
        CHidIO io(&bus);
        QCOMPARE(io.OpenDevice(twoHandles, quint16(vendorId), quint16(productId)), opened);
        QCOMPARE(io.isOpen(), opened);
        QCOMPARE(unit.openHandles(), handles);
        io.CloseDevice();
        QCOMPARE(unit.openHandles(), 0);
    }

    void openTakesTheCurrentBackend()
    {
        FakeHidBus bus;
        FakeHidUnit& unit = bus.addUnit(MakerVendorId, ConverterProductId);
        CHidCmd cmd; // built before the backend is installed, as the program's shared object is
        HidBackend::setCurrent(&bus);
        const bool opened = cmd.OpenDevice(true, MakerVendorId, ConverterProductId);
        HidBackend::setCurrent(nullptr);
        QVERIFY(opened);
        QCOMPARE(unit.openHandles(), 2);
    }

    void closeTwiceAndReopen()
    {
        FakeHidBus bus;
        FakeHidUnit& unit = bus.addUnit(MakerVendorId, ConverterProductId);
        unit.setResponder(answering("ok"));
        CHidCmd cmd(&bus);

        QVERIFY(cmd.OpenDevice(true, MakerVendorId, ConverterProductId));
        QVERIFY(cmd.OpenDevice(true, MakerVendorId, ConverterProductId)); // reopening keeps no stale handles
        QCOMPARE(unit.openHandles(), 2);
        cmd.buildReport("a", 1);
        QVERIFY(cmd.writeReport());
        cmd.CloseDevice();
        cmd.CloseDevice();
        QVERIFY(!cmd.io().isOpen());
        QCOMPARE(unit.openHandles(), 0);
        QVERIFY(!cmd.writeReport());

        // The sequence number lives on across conversations.
        QVERIFY(cmd.OpenDevice(false, MakerVendorId, ConverterProductId));
        cmd.buildReport("b", 1);
        QVERIFY(cmd.writeReport());
        char reply[8] = {};
        quint32 copied = 0;
        QVERIFY(cmd.ReadFile(reply, sizeof reply, &copied, Timeout));
        QCOMPARE(QByteArray(reply, int(copied)), QByteArray("ok"));
        const QList<QByteArray> written = unit.writtenReports();
        QCOMPARE(written.size(), 2);
        QCOMPARE(FakeHidUnit::sequenceOf(written.at(0)), quint8(19));
        QCOMPARE(FakeHidUnit::sequenceOf(written.at(1)), quint8(20));
    }

    void staleAndShortRepliesAreSkipped()
    {
        FakeHidBus bus;
        FakeHidUnit& unit = bus.addUnit(MakerVendorId, ConverterProductId);
        unit.setResponder([](FakeHidUnit& u, const QByteArray& request) {
            const quint8 seq = FakeHidUnit::sequenceOf(request);
            u.sendReport(FakeHidUnit::report(quint8(seq - 1) | 0x80, "previous")); // late answer to the last command
            u.sendReport(FakeHidUnit::report(seq | 0x80, "", 0, 2));               // too short to carry a reply
            u.sendReport(FakeHidUnit::report(seq + 5, "unsolicited"));
            u.sendReport(FakeHidUnit::report(seq | 0x80, "current"), 5);
        });
        CHidCmd cmd(&bus);
        QVERIFY(cmd.OpenDevice(true, MakerVendorId, ConverterProductId));
        cmd.buildReport("#GET", 4);
        QVERIFY(cmd.writeReport());

        char reply[CHidCmd::MaxPayload] = {};
        quint32 copied = 0;
        QVERIFY(cmd.ReadFile(reply, sizeof reply, &copied, Timeout));
        QCOMPARE(QByteArray(reply, int(copied)), QByteArray("current"));
        QCOMPARE(cmd.replyFlag(), 1);
    }

    void copyCount_data()
    {
        QTest::addColumn<int>("lengthByte");
        QTest::addColumn<int>("reportSize");
        QTest::addColumn<int>("destinationSize");
        QTest::addColumn<int>("count");
        QTest::newRow("whole report, short reply") << 5 << 65 << 62 << 5;
        QTest::newRow("length says 10, report holds 8") << 10 << 11 << 62 << 8;
        QTest::newRow("destination of one byte") << 10 << 11 << 1 << 1;
        QTest::newRow("full payload") << 62 << 65 << 62 << 62;
        QTest::newRow("length byte past the report") << 255 << 65 << 200 << 62;
        QTest::newRow("header only") << 40 << 3 << 62 << 0;
        QTest::newRow("empty reply") << 0 << 65 << 62 << 0;
        QTest::newRow("no room") << 5 << 65 << 0 << 0;
    }
    void copyCount()
    {
        QFETCH(int, lengthByte);
        QFETCH(int, reportSize);
        QFETCH(int, destinationSize);
        QFETCH(int, count);

        QByteArray payload(62, '\0');
        for (int i = 0; i < payload.size(); ++i)
            payload[i] = char('A' + i % 26);
        FakeHidBus bus;
        FakeHidUnit& unit = bus.addUnit(MakerVendorId, ConverterProductId);
        unit.setResponder([&](FakeHidUnit& u, const QByteArray& request) {
            u.sendReport(FakeHidUnit::report(FakeHidUnit::sequenceOf(request) | 0x80, payload, lengthByte, reportSize));
        });
        CHidCmd cmd(&bus);
        QVERIFY(cmd.OpenDevice(true, MakerVendorId, ConverterProductId));
        cmd.buildReport("?", 1);
        QVERIFY(cmd.writeReport());

        // A sentinel behind the destination shows that nothing is written past what was copied.
        QByteArray destination(256, '\xEE');
        quint32 copied = 12345;
        QVERIFY(cmd.ReadFile(destination.data(), destinationSize, &copied, Timeout));
        QCOMPARE(int(copied), count);
        QCOMPARE(destination.left(count), payload.left(count));
        QCOMPARE(destination.mid(count), QByteArray(destination.size() - count, '\xEE'));
    }

    void sequenceWrapsAfter127()
    {
        FakeHidBus bus;
        FakeHidUnit& unit = bus.addUnit(MakerVendorId, ConverterProductId);
        unit.setResponder([](FakeHidUnit& u, const QByteArray& request) {
            u.sendReport(FakeHidUnit::report(FakeHidUnit::sequenceOf(request) | 0x80, request.mid(3, 1)));
        });
        CHidCmd cmd(&bus);
        QCOMPARE(cmd.sequenceNumber(), quint8(18));
        QVERIFY(cmd.OpenDevice(true, MakerVendorId, ConverterProductId));

        // 19 + 109 = 128: the 110th command carries 0, and its reply is still matched.
        for (int i = 0; i < 112; ++i) {
            const char tag = char(i);
            cmd.buildReport(&tag, 1);
            QVERIFY(cmd.writeReport());
            char reply = 0;
            quint32 copied = 0;
            QVERIFY2(cmd.ReadFile(&reply, 1, &copied, Timeout), qPrintable(QString::number(i)));
            QCOMPARE(copied, 1u);
            QCOMPARE(reply, tag);
        }
        const QList<QByteArray> written = unit.writtenReports();
        QCOMPARE(written.size(), 112);
        for (int i = 0; i < written.size(); ++i) {
            QCOMPARE(written.at(i).size(), CHidCmd::ReportSize);
            QCOMPARE(FakeHidUnit::sequenceOf(written.at(i)), quint8((19 + i) % 128));
        }
        QCOMPARE(FakeHidUnit::sequenceOf(written.at(108)), quint8(127));
        QCOMPARE(FakeHidUnit::sequenceOf(written.at(109)), quint8(0));
    }

    // Times in percent of the time-out; -1: not sent.
    void readTimeOut_data()
    {
        QTest::addColumn<int>("staleAt");
        QTest::addColumn<int>("replyAt");
        QTest::addColumn<bool>("answered");
        QTest::newRow("silent unit") << -1 << -1 << false;
        QTest::newRow("stale report late in the wait") << 90 << -1 << false;
        QTest::newRow("answer after the time-out") << -1 << 170 << false;
        QTest::newRow("answer after a stale one, in time") << 30 << 60 << true;
    }
    void readTimeOut()
    {
        QFETCH(int, staleAt);
        QFETCH(int, replyAt);
        QFETCH(bool, answered);

        const int limit = TimeScale::ms(Timeout);
        FakeHidBus bus;
        FakeHidUnit& unit = bus.addUnit(MakerVendorId, ConverterProductId);
        unit.setResponder([&](FakeHidUnit& u, const QByteArray& request) {
            const quint8 seq = FakeHidUnit::sequenceOf(request);
            if (staleAt >= 0)
                u.sendReport(FakeHidUnit::report(quint8(seq - 1), "old"), percentOf(limit, staleAt));
            if (replyAt >= 0)
                u.sendReport(FakeHidUnit::report(seq, "new"), percentOf(limit, replyAt));
        });
        CHidCmd cmd(&bus);
        QVERIFY(cmd.OpenDevice(true, MakerVendorId, ConverterProductId));
        cmd.buildReport("?", 1);
        QVERIFY(cmd.writeReport());

        char reply[8] = {};
        quint32 copied = 99;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(cmd.ReadFile(reply, sizeof reply, &copied, Timeout), answered);
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(copied, answered ? 3u : 0u);
        if (!answered) {
            QVERIFY2(elapsed >= limit, qPrintable(QString::number(elapsed)));
            // A report late in the wait must not start a fresh time-out.
            QVERIFY2(elapsed < percentOf(limit, 160), qPrintable(QString::number(elapsed)));
        }
    }

    void failedWrites_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("connection closed") << "closed";
        QTest::newRow("unit unplugged") << "unplugged";
        QTest::newRow("write never completes") << "stalled";
    }
    void failedWrites()
    {
        QFETCH(QString, fault);

        const int limit = TimeScale::ms(Timeout);
        FakeHidBus bus;
        FakeHidUnit& unit = bus.addUnit(MakerVendorId, ConverterProductId);
        unit.setResponder(answering("ok"));
        CHidCmd cmd(&bus);
        QVERIFY(cmd.OpenDevice(true, MakerVendorId, ConverterProductId));
        if (fault == QLatin1String("closed"))
            cmd.CloseDevice();
        else if (fault == QLatin1String("unplugged"))
            unit.unplug();
        else
            unit.setWriteStalls(true);

        cmd.buildReport("?", 1);
        quint32 written = 99;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!cmd.WriteFile(cmd.reportBuffer(), CHidCmd::ReportSize, &written, Timeout));
        QCOMPARE(written, 0u);
        QVERIFY(unit.writtenReports().isEmpty());
        QVERIFY(clock.elapsed() < percentOf(limit, 190));
        // Nothing was asked, so nothing is answered.
        char reply[8];
        QVERIFY(!cmd.ReadFile(reply, sizeof reply, nullptr, Timeout));
    }

    void cancelEndsAWaitingRead()
    {
        const int limit = TimeScale::ms(Timeout);
        FakeHidBus bus;
        FakeHidUnit& unit = bus.addUnit(MakerVendorId, ConverterProductId);
        CHidCmd cmd(&bus);
        QVERIFY(cmd.OpenDevice(true, MakerVendorId, ConverterProductId));
        cmd.buildReport("?", 1);
        QVERIFY(cmd.writeReport());

        std::thread canceller([&cmd, limit] {
            std::this_thread::sleep_for(std::chrono::milliseconds(percentOf(limit, 20)));
            cmd.io().Cancel();
        });
        char reply[8];
        QElapsedTimer clock;
        clock.start();
        const bool answered = cmd.ReadFile(reply, sizeof reply, nullptr, Timeout);
        const qint64 elapsed = clock.elapsed();
        canceller.join();
        QVERIFY(!answered);
        QVERIFY2(elapsed < percentOf(limit, 80), qPrintable(QString::number(elapsed)));

        // The cancel is spent; the connection still works.
        unit.sendReport(FakeHidUnit::report(cmd.sequenceNumber() | 0x80, "late"));
        quint32 copied = 0;
        QVERIFY(cmd.ReadFile(reply, sizeof reply, &copied, Timeout));
        QCOMPARE(QByteArray(reply, int(copied)), QByteArray("late"));
    }

    void hidapiWithoutTheUnit()
    {
        // The real backend on a machine without the unit: nothing found, nothing opened.
        QVERIFY(HidBackend::hidapi()->enumerate(MakerVendorId, VirtualProductId).isEmpty());
        QVERIFY(!HidBackend::hidapi()->open("/dev/no-such-hidraw"));
        CHidCmd cmd(HidBackend::hidapi());
        QVERIFY(!cmd.OpenDevice(true, MakerVendorId, VirtualProductId));
        QVERIFY(!cmd.writeReport());
    }

    // The hidapi backend against a virtual unit the kernel makes from /dev/uhid: the unit answers
    // each command first with a stale report, then with the payload reversed.
    void kernelUnitThroughUhid()
    {
        if (!QFile::exists(QStringLiteral("/dev/uhid")))
            QSKIP("this machine has no /dev/uhid (uhid kernel module), so no virtual HID unit can be made");
        const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
        if (fd < 0)
            QSKIP(qPrintable(QStringLiteral("/dev/uhid cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(errno)))));

        // Vendor page, one 64-byte input and one 64-byte output report, no report ids.
        static const quint8 descriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
                                            0x75, 0x08, 0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01,
                                            0x91, 0x02, 0xC0};
        uhid_event create;
        std::memset(&create, 0, sizeof create);
        create.type = UHID_CREATE2;
        std::strcpy(reinterpret_cast<char*>(create.u.create2.name), "Velmo Plexa-T test unit");
        create.u.create2.rd_size = sizeof descriptor;
        create.u.create2.bus = 0x03; // USB
        create.u.create2.vendor = MakerVendorId;
        create.u.create2.product = VirtualProductId;
        std::memcpy(create.u.create2.rd_data, descriptor, sizeof descriptor);
        if (::write(fd, &create, sizeof create) != ssize_t(sizeof create)) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            QSKIP(qPrintable(QStringLiteral("the kernel refused the virtual unit: %1").arg(reason)));
        }

        std::atomic<bool> stop{false};
        std::thread unitThread([fd, &stop] {
            auto send = [fd](quint8 sequenceByte, const QByteArray& payload) {
                uhid_event input;
                std::memset(&input, 0, sizeof input);
                input.type = UHID_INPUT2;
                input.u.input2.size = 64; // unnumbered: no report id byte
                input.u.input2.data[0] = sequenceByte;
                input.u.input2.data[1] = quint8(payload.size());
                std::memcpy(input.u.input2.data + 2, payload.constData(), size_t(payload.size()));
                return ::write(fd, &input, sizeof input) == ssize_t(sizeof input);
            };
            while (!stop.load()) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 10) <= 0)
                    continue;
                uhid_event ev;
                if (::read(fd, &ev, sizeof ev) <= 0 || ev.type != UHID_OUTPUT)
                    continue;
                // hidraw passes the report id byte 0 in front of an unnumbered output report.
                const quint8* r = ev.u.output.data;
                if (ev.u.output.size >= 65 && r[0] == 0)
                    ++r;
                const quint8 seq = r[0] & 0x7F;
                QByteArray payload(reinterpret_cast<const char*>(r + 2), qMin<int>(r[1], 61));
                std::reverse(payload.begin(), payload.end());
                send(quint8((seq + 127) & 0x7F) | 0x80, "stale");
                send(seq | 0x80, payload);
            }
        });
        auto cleanUp = qScopeGuard([&] {
            stop.store(true);
            unitThread.join();
            uhid_event destroy;
            std::memset(&destroy, 0, sizeof destroy);
            destroy.type = UHID_DESTROY;
            (void)::write(fd, &destroy, sizeof destroy);
            ::close(fd);
        });

        // The kernel makes the hidraw node a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(!HidBackend::hidapi()->enumerate(MakerVendorId, VirtualProductId).isEmpty(), 5000);

        const double scale = TimeScale::factor();
        TimeScale::setFactor(1.0); // real time-outs: a kernel round trip is not scaled
        auto restoreScale = qScopeGuard([scale] { TimeScale::setFactor(scale); });

        CHidCmd cmd(HidBackend::hidapi());
        QVERIFY2(cmd.OpenDevice(true, MakerVendorId, VirtualProductId), "the hidraw node exists but cannot be opened");
        for (const QByteArray& command : {QByteArray("#GET_VERSION"), QByteArray("#PING")}) {
            cmd.buildReport(command.constData(), command.size());
            quint32 written = 0;
            QVERIFY(cmd.WriteFile(cmd.reportBuffer(), CHidCmd::ReportSize, &written, 1000));
            QVERIFY(written > 0);
            char reply[CHidCmd::MaxPayload] = {};
            quint32 copied = 0;
            QVERIFY(cmd.ReadFile(reply, sizeof reply, &copied, 1000));
            QByteArray expected = command;
            std::reverse(expected.begin(), expected.end());
            QCOMPARE(QByteArray(reply, int(copied)), expected);
            QCOMPARE(cmd.replyFlag(), 1);
        }
        cmd.CloseDevice();
    }
};

PLEXA_TEST_MAIN(TestHid)
#include "tst_hid.moc"
