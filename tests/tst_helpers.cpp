// Shared helpers: checksums, MAC text, device records and lists, the blocking delay.
#include "plexatest.h"
#include "checksums.h"
#include "delay.h"
#include "device.h"
#include "timescale.h"

#include <QElapsedTimer>
#include <QTimer>

class TestHelpers : public QObject
{
    Q_OBJECT

private slots:
    void crc16_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("crc");
        QTest::newRow("check value") << QByteArray("123456789") << 0x31C3;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("one zero byte") << QByteArray(1, '\0') << 0;
        QTest::newRow("A") << QByteArray("A") << 0x58E5;
        QTest::newRow("high bytes") << QByteArray("\xFF\xFF", 2) << 0x1D0F;
        QByteArray block(1024, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(i & 0xFF);
        QTest::newRow("1K YMODEM block, every byte value") << block << 0xC2E0;
    }
    void crc16()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, crc);
        QCOMPARE(int(calcCrc16(data.constData(), data.size())), crc);
    }

    void crc16NegativeLength() { QCOMPARE(int(calcCrc16("abc", -1)), 0); }

    void byteSum16_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("sum");
        QTest::newRow("empty") << QByteArray() << 0 << 0;
        QTest::newRow("negative length") << QByteArray("abc") << -3 << 0;
        QTest::newRow("bytes are unsigned") << QByteArray("\x80\xFF\x01", 3) << 3 << 0x180;
        QTest::newRow("wraps at 16 bits") << QByteArray(300, '\xFF') << 300 << (300 * 255) % 65536;
        QTest::newRow("scan request body") << QByteArray("\x01\x02", 2) << 2 << 3;
    }
    void byteSum16()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, length);
        QFETCH(int, sum);
        QCOMPARE(int(calcByteSum16(data.constData(), length)), sum);
    }

    void macText_data()
    {
        QTest::addColumn<QByteArray>("mac");
        QTest::addColumn<QString>("text");
        QTest::newRow("leading zeros, upper case") << QByteArray("\x02\x0A\xBC\x01\x02\xFF", 6) << "02:0A:BC:01:02:FF";
        QTest::newRow("all zero") << QByteArray(6, '\0') << "00:00:00:00:00:00";
        QTest::newRow("example") << QByteArray("\x02\x1C\x9A\x0A\xFF\x3E", 6) << "02:1C:9A:0A:FF:3E";
    }
    void macText()
    {
        QFETCH(QByteArray, mac);
        QFETCH(QString, text);
        _Device unit;
        memcpy(unit.mac, mac.constData(), 6);
        QCOMPARE(macToString(&unit), text);
        QCOMPARE(macToString(&unit).size(), 17);
    }

    void networkRecordDefaults()
    {
        _Device d;
        QCOMPARE(d.ipMode, 3);
        QCOMPARE(d.showMeState, 0);
        QVERIFY(d.tlv16Seen);
        for (const QString* text : {&d.extraText, &d.firmwareVersion, &d.hardwareVersion, &d.productName,
                                    &d.description, &d.productPageUrl})
            QCOMPARE(*text, QStringLiteral("Unavailable"));
        QVERIFY(d.ipText.isEmpty());
        QCOMPARE(macToString(&d), QStringLiteral("00:00:00:00:00:00"));
        QCOMPARE(macToString(static_cast<const _Device*>(nullptr)), QString());
    }

    // Change detection compares every field but the MAC and the IP text.
    void networkRecordEquality()
    {
        _Device a, b;
        b.mac[0] = 9;
        b.ipText = QStringLiteral("10.0.0.1");
        QVERIFY(deviceEquals(a, b));
        b.dns[3] = 1;
        QVERIFY(!deviceEquals(a, b));
        b = a;
        b.description = QStringLiteral("unavailable");
        QVERIFY(!deviceEquals(a, b));
        b = a;
        b.tlv16Seen = false;
        QVERIFY(!deviceEquals(a, b));
    }

    void deviceLists()
    {
        const Device scaler{QStringLiteral("Scaler"), QStringLiteral("/dev/ttyUSB0"), 0x10, 0x20, QStringLiteral("M"), 4};
        Device renamed = scaler;
        renamed.name = QStringLiteral("Other name");
        Device otherType = scaler;
        otherType.type = 5;
        Device otherPort = scaler;
        otherPort.portName = QStringLiteral("/dev/ttyUSB1");

        QVERIFY(sameDeviceList({}, {}));
        QVERIFY(sameDeviceList({scaler}, {renamed}));
        QVERIFY(!sameDeviceList({scaler}, {otherType}));
        QVERIFY(!sameDeviceList({scaler}, {otherPort}));
        QVERIFY(!sameDeviceList({scaler}, {scaler, scaler}));
        QVERIFY(!(scaler == renamed));

        const Device d;
        QCOMPARE(d.type, 0);
        QCOMPARE(d.productId, 0u);
        QCOMPARE(d.vendorId, 0u);
    }

    // delay() keeps the event loop running and ends at its deadline, not a slice later.
    void delayRunsEventsAndEndsOnTime()
    {
        const double saved = TimeScale::factor();
        TimeScale::setFactor(1.0);
        int fired = 0;
        QTimer timer;
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, [&fired] { ++fired; });
        timer.start();
        QElapsedTimer clock;
        clock.start();
        delay(120);
        const qint64 took = clock.elapsed();
        timer.stop();
        TimeScale::setFactor(saved);
        QVERIFY2(took >= 120, qPrintable(QString::number(took)));
        QVERIFY2(took < 120 + 45, qPrintable(QString::number(took))); // never a further 50 ms slice
        QVERIFY(fired >= 5);
    }

    void delayOnePassRunsPendingEvents()
    {
        bool ran = false;
        QTimer::singleShot(0, [&ran] { ran = true; });
        delay(1);
        QVERIFY(ran);
    }

    void timeScale_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("production") << 1.0 << 14000 << 14000;
        QTest::newRow("shrunk") << 0.01 << 14000 << 140;
        QTest::newRow("never zero") << 0.001 << 1 << 1;
        QTest::newRow("zero stays zero") << 0.01 << 0 << 0;
        QTest::newRow("rounds up") << 0.5 << 3 << 2;
    }
    void timeScale()
    {
        QFETCH(double, factor);
        QFETCH(int, in);
        QFETCH(int, out);
        const double saved = TimeScale::factor();
        TimeScale::setFactor(factor);
        const int got = TimeScale::ms(in);
        TimeScale::setFactor(saved);
        QCOMPARE(got, out);
    }
};

PLEXA_TEST_MAIN(TestHelpers)
#include "tst_helpers.moc"
