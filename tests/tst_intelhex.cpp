// The Intel HEX reader: files made by objcopy (CR LF lines, segment and linear address records,
// start records) read back to the bytes they were made from, the boot loader's address model,
// and crafted faults, each refused with its line.
#include "plexatest.h"
#include "hexrecord.h"
#include "intelhex.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

using IntelHex::AddressModel;

namespace {

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray out(size, '\0');
    for (char& c : out)
        c = char(gen.bounded(256));
    return out;
}

QByteArray record(int type, quint16 address, const QByteArray& data)
{
    return hexRecord(type, address, data);
}

const QByteArray Eof = QByteArrayLiteral(":00000001FF\r\n");

AddressModel window(quint32 start, quint32 size)
{
    AddressModel m;
    m.windowStart = start;
    m.windowSize = size;
    return m;
}

} // namespace

class TestIntelHex : public QObject
{
    Q_OBJECT

private:
    // objcopy's HEX of `data` placed at `address`, with `start` as the entry point.
    QByteArray objcopyHex(const QByteArray& data, quint32 address, quint32 start)
    {
        QTemporaryDir dir;
        QFile bin(dir.filePath("fw.bin"));
        if (!bin.open(QIODevice::WriteOnly) || bin.write(data) != data.size())
            return {};
        bin.close();
        QProcess objcopy;
        objcopy.start("objcopy", {"-I", "binary", "-O", "ihex", "--change-addresses", QString::number(address),
                                  "--set-start", QString::number(start), dir.filePath("fw.bin"),
                                  dir.filePath("fw.hex")});
        if (!objcopy.waitForFinished(10000) || objcopy.exitCode() != 0)
            return {};
        return PlexaTest::readFile(dir.filePath("fw.hex"));
    }

private slots:
    void objcopyFilesReadBack_data()
    {
        QTest::addColumn<quint32>("address");
        QTest::addColumn<int>("size");
        QTest::addColumn<quint32>("windowStart");
        QTest::addColumn<quint32>("windowSize");
        QTest::addColumn<QByteArray>("startOfRecord"); // a record objcopy must have written
        // Segment records (02) and a start-segment record (03) in the boot loader's 64 KiB.
        QTest::newRow("boot loader, from 0x100") << 0x100u << 30000 << 0u << 0x10000u << QByteArray(":04000003");
        QTest::newRow("boot loader, whole bank") << 0u << 0xFFF8 << 0u << 0x10000u << QByteArray(":04000003");
        // Linear records (04) and a start-linear record (05) in the wireless burner's window.
        QTest::newRow("flash window") << 0x08005800u << 200000 << 0x08005800u << 1024000u << QByteArray(":02000004");
    }
    void objcopyFilesReadBack()
    {
        QFETCH(quint32, address);
        QFETCH(int, size);
        QFETCH(quint32, windowStart);
        QFETCH(quint32, windowSize);
        QFETCH(QByteArray, startOfRecord);
        const QByteArray data = randomBytes(size, address + quint32(size));
        const QByteArray hex = objcopyHex(data, address, address + 4);
        QVERIFY2(!hex.isEmpty(), "objcopy did not make the file");
        QVERIFY(hex.contains("\r\n"));
        QVERIFY(hex.contains(startOfRecord));

        const IntelHex::Result r = IntelHex::parse(hex, window(windowStart, windowSize));
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(r.image.endOfFile);
        const int lead = int(address - windowStart);
        QCOMPARE(r.image.bytes.size(), lead + size);
        QCOMPARE(r.image.bytes.left(lead), QByteArray(lead, char(0xFF)));
        QCOMPARE(r.image.bytes.mid(lead), data);
        QCOMPARE(r.image.minAddress, address);
        QCOMPARE(r.image.maxAddress, address + quint32(size) - 1);
        // LF-only lines read the same.
        const IntelHex::Result lf = IntelHex::parse(QByteArray(hex).replace("\r\n", "\n"), window(windowStart, windowSize));
        QVERIFY(lf.ok);
        QCOMPARE(lf.image.bytes, r.image.bytes);
    }

    void objcopyPastTheBankIsRefused()
    {
        // 0x8000 + 40000 bytes crosses into the second 64 KiB: the boot loader has one bank.
        const QByteArray hex = objcopyHex(randomBytes(40000, 7), 0x8000, 0);
        QVERIFY(!hex.isEmpty());
        const IntelHex::Result r = IntelHex::parse(hex);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("outside the device's memory"), qPrintable(r.error));
        QVERIFY(r.line > 0);
        QVERIFY(IntelHex::parse(hex, window(0, 0x20000)).ok);
    }

    void bootLoaderModel()
    {
        // The top eight addresses of the bank belong to the boot loader: such a record is left
        // out and does not lengthen the image.
        const QByteArray hex = record(0, 0x0100, "\x11\x22") + record(0, 0xFFFA, "\x33\x44") + Eof;
        const IntelHex::Result r = IntelHex::parse(hex);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.image.bytes.size(), 0x102);
        QCOMPARE(r.image.bytes.left(0x100), QByteArray(0x100, char(0xFF)));
        QCOMPARE(r.image.bytes.mid(0x100), QByteArray("\x11\x22"));
        QCOMPARE(r.image.records.keys(), QList<quint32>{0x100});

        // Start records change nothing; a segment of 0x1000 is 0x10000.
        const QByteArray starts = record(3, 0, QByteArray::fromHex("00001234")) + record(5, 0, QByteArray::fromHex("00001234"))
            + record(0, 0, "\x01") + record(2, 0, QByteArray::fromHex("1000")) + record(0, 0x0002, "\x02") + Eof;
        const IntelHex::Result s = IntelHex::parse(starts, window(0, 0x20000));
        QVERIFY2(s.ok, qPrintable(s.error));
        QCOMPARE(s.image.bytes.size(), 0x10003);
        QCOMPARE(s.image.bytes.at(0), '\x01');
        QCOMPARE(s.image.bytes.at(0x10002), '\x02');
        QCOMPARE(s.image.bytes.at(0x10000), char(0xFF));

        // A second record at an address keeps the first count and takes the later bytes.
        const IntelHex::Result twice = IntelHex::parse(record(0, 0x10, "\x01\x02") + record(0, 0x10, "\x09") + Eof);
        QVERIFY(twice.ok);
        QCOMPARE(twice.image.records.value(0x10), 2);
        QCOMPARE(twice.image.bytes.mid(0x10), QByteArray("\x09\x02"));

        // An empty file with its end record is valid and empty.
        const IntelHex::Result empty = IntelHex::parse(Eof);
        QVERIFY(empty.ok);
        QVERIFY(empty.image.bytes.isEmpty());
    }

    void faultsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("error");
        const QByteArray good = record(0, 0, "\x01\x02\x03");
        QByteArray badSum = good;
        badSum[badSum.size() - 3] = badSum.at(badSum.size() - 3) == '0' ? '1' : '0';
        QTest::newRow("checksum") << good + badSum + Eof << 2 << "checksum";
        QByteArray badDigit = good;
        badDigit[10] = 'G';
        QTest::newRow("hex digit") << badDigit + Eof << 1 << "not a hexadecimal byte";
        QTest::newRow("count") << QByteArray(":0500000001020304F1\r\n") + Eof << 1 << "does not match";
        QTest::newRow("odd digits") << QByteArray(":0100000001FE0\r\n") + Eof << 1 << "digits";
        QTest::newRow("colon") << QByteArray("0100000001FE\r\n") + Eof << 1 << "start with ':'";
        QTest::newRow("no end") << good << 0 << "no end-of-file";
        QTest::newRow("cut line") << good + QByteArray(":0300000001") << 2 << "does not match";
        QTest::newRow("after end") << good + Eof + good << 3 << "after the end-of-file";
        QTest::newRow("linear beyond") << record(4, 0, QByteArray::fromHex("0001")) + good + Eof << 2 << "outside";
        QTest::newRow("segment beyond") << record(2, 0, QByteArray::fromHex("1000")) + good + Eof << 2 << "outside";
        QTest::newRow("crossing the top") << record(0, 0xFFE0, QByteArray(16, 'x')) + record(0, 0xFFF0, QByteArray(17, 'x')) + Eof
                                          << 2 << "outside";
        QTest::newRow("type 06") << record(6, 0, "") + Eof << 1 << "unknown record type 06";
        QTest::newRow("short address") << record(4, 0, "\x01") + Eof << 1 << "2 data bytes";
    }
    void faultsAreRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, error);
        const IntelHex::Result r = IntelHex::parse(text);
        QVERIFY(!r.ok);
        QCOMPARE(r.line, line);
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
    }

    void windowBelowTheStartIsRefused()
    {
        AddressModel m = window(0x08005800, 1024000);
        m.allowStartSegment = false;
        const QByteArray base = record(4, 0, QByteArray::fromHex("0800"));
        QVERIFY(IntelHex::parse(base + record(0, 0x5800, "\x01") + Eof, m).ok);
        QVERIFY(!IntelHex::parse(base + record(0, 0x57FF, "\x01") + Eof, m).ok);
        QVERIFY(!IntelHex::parse(record(3, 0, QByteArray(4, '\0')) + Eof, m).ok);
        // A base of 0 that is replaced before any data (as some toolchains write it) is harmless.
        const IntelHex::Result r = IntelHex::parse(record(4, 0, QByteArray::fromHex("0000")) + base + record(0, 0x5800, "\x01") + Eof, m);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.image.bytes, QByteArray("\x01"));
    }

    void blocksArePadded()
    {
        QCOMPARE(IntelHex::block("abc", 0, 5), QByteArray("abc\xFF\xFF"));
        QCOMPARE(IntelHex::block("abc", 2, 2), QByteArray("c\xFF"));
        QCOMPARE(IntelHex::block("abc", 8, 2), QByteArray("\xFF\xFF"));
    }
};

PLEXA_TEST_MAIN(TestIntelHex)
#include "tst_intelhex.moc"
