// The converters' in-system programming against a simulated unit that restarts into its NuMicro
// boot loader: what ends up in the flash, the packet numbering, the boot loader versions, the sums
// it reports, units that misbehave or vanish, and files refused before the unit hears anything.
#include "plexatest.h"
#include "constants.h"
#include "converter.h"
#include "converterfixture.h"
#include "convertercontrol.h"
#include "mcuisp.h"
#include "timescale.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>

#include <sys/stat.h>
#include <sys/types.h>

namespace {

constexpr quint16 Vendor = 0x1EC7;
constexpr quint32 Sync = 0xA4, Version = 0xA6, DeviceId = 0xB1, ReadConfig = 0xA2, UpdateConfig = 0xA1,
                  ApromSize = 0xAA, Program = 0xA0, ProgramNext = 0x00, ReadSum = 0xC8, WriteSum = 0xC9,
                  RunAprom = 0xAB;

int codeOf(quint16 productId)
{
    return productId == 0x000E ? 3 : productId == 0x0010 ? 4 : 5;
}

// A firmware file of `size` bytes for the unit: header 09 <code> 00 00 00 00 00 <sum>, then a
// pattern that is not periodic in the packet sizes.
QByteArray firmware(int size, quint16 productId, int seed = 1)
{
    QByteArray bytes(size, '\0');
    for (int i = 8; i < size; ++i)
        bytes[i] = char((i * 31 + seed * 7 + (i >> 9)) & 0xFF);
    const QByteArray header = QByteArray("\x09", 1) + char(codeOf(productId)) + QByteArray(5, '\0')
        + char(9 + codeOf(productId));
    bytes.replace(0, qMin(8, size), header.left(qMin(8, size)));
    return bytes;
}

quint16 byteSum(const QByteArray& bytes)
{
    quint32 sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    return quint16(sum);
}

struct IspFixture {
    ConverterFixture f;
    QTemporaryDir dir;
    FakeHidUnit* unit = nullptr;
    std::unique_ptr<ConverterIspSim> sim;
    QList<int> progress;
    QElapsedTimer clock;
    qint64 elapsed = 0;

    explicit IspFixture(quint16 productId = 0x000E)
    {
        unit = &f.hid.addUnit(Vendor, productId);
        sim = std::make_unique<ConverterIspSim>(*unit);
        QObject::connect(f.ui.updateBar, &QProgressBar::valueChanged, [this](int v) { progress.append(v); });
    }

    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("fw.bin"))
    {
        const QString path = dir.filePath(name);
        PlexaTest::writeFile(path, bytes);
        return path;
    }

    QString burn(const QString& path, quint16 productId = 0x000E, quint16 vendorId = Vendor)
    {
        clock.start();
        const QString status = startMcuBurn(&f.ui, QFile::encodeName(path), vendorId, productId);
        elapsed = clock.elapsed();
        return status;
    }

    // The image bytes of every programming packet, in order, with what follows them in the
    // packet (which must be zeros).
    QList<QPair<QByteArray, QByteArray>> programmingData(int imageSize) const
    {
        QList<QPair<QByteArray, QByteArray>> list;
        int left = imageSize;
        for (const ConverterIspSim::Packet& p : sim->packets()) {
            if (p.command == Program) {
                const int n = qMin(42, left);
                list.append({p.data.mid(8, n), p.data.mid(8 + n)});
                left -= n;
            } else if (p.command == ProgramNext) {
                const int n = qMin(50, left);
                list.append({p.data.left(n), p.data.mid(n)});
                left -= n;
            }
        }
        return list;
    }
};

} // namespace

class TestConverterIsp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The unit must come back from its restart within the program's pause.
        TimeScale::setFactor(qMax(TimeScale::factor(), 0.05));
    }

    // The flash ends up holding the file, in packets of 42 and then 50 bytes, numbered 1, 3, 5 ...
    void programsTheFile_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("size");
        QTest::newRow("header only") << 0x000E << 8;
        QTest::newRow("first packet full") << 0x0010 << 42;
        QTest::newRow("one further packet") << 0x001E << 92;
        QTest::newRow("second further packet of 1 byte") << 0x000E << 93;
        QTest::newRow("1000 bytes") << 0x0010 << 1000;
        QTest::newRow("whole flash") << 0x001E << 131072;
    }
    void programsTheFile()
    {
        QFETCH(int, productId);
        QFETCH(int, size);
        IspFixture t{quint16(productId)};
        const QByteArray file = firmware(size, quint16(productId));
        const quint8 sequence = converterHid().sequenceNumber();

        QCOMPARE(t.burn(t.write(file), quint16(productId)), QStringLiteral("Firmware Update Success."));

        // The running unit was asked into its boot loader with one command report on the page's
        // channel, which moved on to its next sequence number.
        const QByteArray upgrade = t.unit->writtenReports().value(0);
        QCOMPARE(upgrade.size(), 65);
        QCOMPARE(upgrade.left(3), QByteArray("\0", 1) + char((sequence + 1) & 0x7F) + char(11));
        QCOMPARE(upgrade.mid(3, 11), QByteArray("#FW_UPGRADE"));
        QCOMPARE(converterHid().sequenceNumber(), quint8((sequence + 1) & 0x7F));

        ConverterIspSim& sim = *t.sim;
        QCOMPARE(sim.upgradeRequests(), 1);
        QCOMPARE(sim.announcedLength(), quint32(size));
        QVERIFY(sim.programmed() == file);
        QCOMPARE(sim.storedLength(), quint32(size));
        QCOMPARE(sim.storedChecksum(), quint32(byteSum(file)));
        QCOMPARE(sim.applicationStarts(), 1);
        QCOMPARE(sim.config0(), 0xF8FFFF78u);
        QCOMPARE(sim.config1(), 0x0001F000u);

        // A current boot loader: connect, config, programming, checksum, start.
        const int further = size > 42 ? (size - 42 + 49) / 50 : 0;
        QList<quint32> expected{Sync, Sync, Version, DeviceId, ReadConfig, Sync, UpdateConfig, Sync, Program};
        for (int i = 0; i < further; ++i)
            expected << ProgramNext;
        expected << WriteSum << RunAprom;
        QCOMPARE(sim.commands(), expected);
        QCOMPARE(sim.numberingErrors(), 0);
        const QList<ConverterIspSim::Packet> packets = sim.packets();
        for (int i = 0; i < packets.size(); ++i)
            QCOMPARE(packets.at(i).number, quint32(1 + 2 * i));

        // Each packet carries its share and zeros behind it.
        const auto data = t.programmingData(size);
        QCOMPARE(data.size(), 1 + further);
        for (const auto& d : data)
            QVERIFY2(d.second.count('\0') == d.second.size(), d.second.toHex().constData());
        if (size == 93)
            QCOMPARE(data.last().first.size(), 1);

        // The bar: 5 at the start, 10 once the boot loader is open, then from 20 up to 100.
        QVERIFY(t.progress.size() >= 3);
        QCOMPARE(t.progress.mid(0, 2), (QList<int>{5, 10}));
        for (int i = 2; i < t.progress.size(); ++i) {
            QVERIFY(t.progress.at(i) >= 20);
            QVERIFY(t.progress.at(i) >= t.progress.at(i - 1));
        }
        QCOMPARE(t.progress.last(), 100);
        // 42 of 93 bytes: 45 %; 92 of 93: 20 + 98 * 4 / 5; all: 100.
        if (size == 93)
            QCOMPARE(t.progress, (QList<int>{5, 10, 45, 98, 100}));
        if (size == 1000) // 42 bytes are 4 %, shown as 20; then 92 bytes: 20 + 9 * 4 / 5
            QCOMPARE(t.progress.mid(2, 2), (QList<int>{20, 27}));
        QCOMPARE(t.unit->openHandles(), 0);
    }

    // How long a reply is awaited: 8 s from the programming on, up to and including the checksum
    // exchanges; 5 s while connecting.
    void replyWaits_data()
    {
        QTest::addColumn<quint32>("command");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("programmed");
        QTest::newRow("first programming reply after 7 s") << Program << 7000 << 0x23 << true;
        QTest::newRow("checksum read after 7 s") << ReadSum << 7000 << 0x22 << true;
        QTest::newRow("checksum write after 7 s") << WriteSum << 7000 << 0x23 << true;
        QTest::newRow("checksum read after 10.5 s") << ReadSum << 10500 << 0x22 << false;
        QTest::newRow("device id after 7 s") << DeviceId << 7000 << 0x23 << false;
    }
    void replyWaits()
    {
        QFETCH(quint32, command);
        QFETCH(int, delayMs);
        QFETCH(int, version);
        QFETCH(bool, programmed);
        // Room between the late replies and the time-outs they are tested against.
        struct Scale {
            double saved = TimeScale::factor();
            Scale() { TimeScale::setFactor(qMax(saved, 0.1)); }
            ~Scale() { TimeScale::setFactor(saved); }
        } scale;
        IspFixture t;
        t.sim->setVersion(quint8(version));
        t.sim->delayRepliesTo(command, delayMs);
        if (version != 0x23)
            t.f.dialogs.answerButton(QMessageBox::Ok);
        const QByteArray file = firmware(60, 0x000E);

        const QString status = t.burn(t.write(file));

        QCOMPARE(status, programmed ? QStringLiteral("Firmware Update Success.")
                                    : QStringLiteral("Failed. Please reconnect the power."));
        QCOMPARE(t.sim->applicationStarts(), programmed ? 1 : 0);
        if (programmed)
            QVERIFY(t.sim->programmed() == file);
    }

    // Old boot loaders are told the flash size and asked for the sum; another version than the
    // expected one is programmed only when the user agrees.
    void versionPaths_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("answer");
        QTest::addColumn<quint32>("chip");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("programmed");
        QTest::addColumn<quint32>("apromSize"); // 0: not sent
        QTest::addColumn<bool>("readsSum");
        const QString v22 = "Firmware not match!\nV2.3 is required, but current FW version is V2.2\n\nContinue?";
        QTest::newRow("2.3") << 0x23 << 0 << 0x10009u << QString() << true << 0u << false;
        QTest::newRow("2.2 continued") << 0x22 << int(QMessageBox::Ok) << 0x10009u << v22 << true << 131072u << true;
        QTest::newRow("2.2 32 KB part") << 0x22 << int(QMessageBox::Ok) << 0x14026u << v22 << true << 32768u << true;
        QTest::newRow("2.2 M0516") << 0x22 << int(QMessageBox::Ok) << 0x5A03u << v22 << true << 65536u << true;
        QTest::newRow("2.4 continued")
            << 0x24 << int(QMessageBox::Ok) << 0x10009u
            << "Firmware not match!\nV2.3 is required, but current FW version is V2.4\n\nContinue?" << true << 0u
            << false;
        QTest::newRow("2.2 cancelled") << 0x22 << int(QMessageBox::Cancel) << 0x10009u << v22 << false << 0u << false;
    }
    void versionPaths()
    {
        QFETCH(int, version);
        QFETCH(int, answer);
        QFETCH(quint32, chip);
        QFETCH(QString, question);
        QFETCH(bool, programmed);
        QFETCH(quint32, apromSize);
        QFETCH(bool, readsSum);
        IspFixture t;
        t.sim->setVersion(quint8(version));
        t.sim->setChipId(chip);
        if (answer)
            t.f.dialogs.answerButton(QMessageBox::StandardButton(answer));
        const QByteArray file = firmware(500, 0x000E);

        const QString status = t.burn(t.write(file));

        if (question.isEmpty()) {
            QVERIFY(t.f.dialogs.shown().isEmpty());
        } else {
            QCOMPARE(t.f.dialogs.shown().size(), 1);
            QCOMPARE(t.f.dialogs.shown().first().title, QStringLiteral("Warning"));
            QCOMPARE(t.f.dialogs.shown().first().text, question);
        }
        const QList<quint32> commands = t.sim->commands();
        QCOMPARE(t.sim->apromSize(), apromSize);
        QCOMPARE(commands.contains(ApromSize), apromSize != 0);
        if (apromSize)
            QCOMPARE(commands.indexOf(ApromSize), commands.indexOf(ReadConfig) + 1);
        QCOMPARE(commands.contains(ReadSum), readsSum);
        if (readsSum)
            QCOMPARE(commands.indexOf(WriteSum), commands.indexOf(ReadSum) + 1);
        if (programmed) {
            QCOMPARE(status, QStringLiteral("Firmware Update Success."));
            QVERIFY(t.sim->programmed() == file);
            QCOMPARE(t.sim->applicationStarts(), 1);
        } else {
            // A declined boot loader is left alone: not configured, not programmed.
            QCOMPARE(status, QStringLiteral("Failed. Please reconnect the power."));
            QCOMPARE(commands, (QList<quint32>{Sync, Sync, Version}));
            QCOMPARE(t.sim->applicationStarts(), 0);
        }
    }

    // The parts a boot loader can report: ids written as decimal digits read as hexadecimal, the
    // test parts first and between the two families, searched in order.
    void chipTable_data()
    {
        QTest::addColumn<quint32>("id");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<quint32>("ramKb");
        QTest::addColumn<quint32>("flashKb");
        QTest::newRow("first part") << 0x10000u << QByteArray("NUC100LE3AN") << 16u << 128u;
        QTest::newRow("ninth") << 0x10009u << QByteArray("NUC100RE3AN") << 16u << 128u;
        QTest::newRow("tenth") << 0x10010u << QByteArray("NUC100RE2AN") << 8u << 128u;
        QTest::newRow("NUC101 middle") << 0x10113u << QByteArray("NUC101RD2AN") << 8u << 64u;
        QTest::newRow("last NUC140") << 0x14026u << QByteArray("NUC140VC1AN") << 4u << 32u;
        QTest::newRow("NUC1xx test part") << 0xC140u << QByteArray("NUC1XX_TEST") << 16u << 128u;
        QTest::newRow("M05x test part") << 0xFFFFFFFFu << QByteArray("M05X_TEST") << 4u << 64u;
        QTest::newRow("first M05x") << 0x5200u << QByteArray("M052LAN") << 4u << 8u;
        QTest::newRow("M058 YAN") << 0x5802u << QByteArray("M058YAN") << 4u << 32u;
        QTest::newRow("last M05x") << 0x5A03u << QByteArray("M0516ZAN") << 4u << 64u;
    }
    void chipTable()
    {
        QFETCH(quint32, id);
        QFETCH(QByteArray, name);
        QFETCH(quint32, ramKb);
        QFETCH(quint32, flashKb);
        const QVector<IspChip>& table = ispChipTable();
        QCOMPARE(table.size(), 153);
        QCOMPARE(table.first().name, QByteArray("NUC1XX_TEST"));
        QCOMPARE(table.at(136).name, QByteArray("M05X_TEST"));
        const auto row = std::find_if(table.begin(), table.end(), [id](const IspChip& c) { return c.id == id; });
        QVERIFY(row != table.end());
        QCOMPARE(row->name, name);
        QCOMPARE(row->ramKb, ramKb);
        QCOMPARE(row->flashKb, flashKb);
    }

    // A chip missing from the table is reported and not programmed.
    void unknownChip_data()
    {
        QTest::addColumn<quint32>("chip");
        QTest::newRow("between decimal-like ids") << 0x1000Au;
        QTest::newRow("past the last part of a series") << 0x14027u;
        QTest::newRow("other maker") << 0x00ABCDEFu;
    }
    void unknownChip()
    {
        QFETCH(quint32, chip);
        IspFixture t;
        t.sim->setChipId(chip);
        QCOMPARE(t.burn(t.write(firmware(300, 0x000E))), QStringLiteral("Failed. Please reconnect the power."));
        QCOMPARE(t.f.dialogs.shown().size(), 1);
        QCOMPARE(t.f.dialogs.shown().first().title, QStringLiteral("Error"));
        QCOMPARE(t.f.dialogs.shown().first().text, QStringLiteral("Invalid chip ID"));
        QCOMPARE(t.sim->commands(), (QList<quint32>{Sync, Sync, Version, DeviceId, ReadConfig}));
        QCOMPARE(t.sim->announcedLength(), 0u);
    }

    // The sum the boot loader reports for what it programmed must be the file's; otherwise the
    // run fails and the unit gets neither the checksum nor the start command.
    void reportedSumMismatch_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("sum in the last programming reply") << 0x23;
        QTest::newRow("sum read with 0xC8") << 0x22;
    }
    void reportedSumMismatch()
    {
        QFETCH(int, version);
        IspFixture t;
        t.sim->setVersion(quint8(version));
        t.sim->setReportedSumDelta(1);
        t.f.dialogs.answerButton(QMessageBox::Ok);
        QCOMPARE(t.burn(t.write(firmware(777, 0x000E))), QStringLiteral("Failed. Please reconnect the power."));
        QVERIFY(!t.sim->commands().contains(WriteSum));
        QCOMPARE(t.sim->applicationStarts(), 0);
        QCOMPARE(t.unit->openHandles(), 0);
    }

    // A unit that goes silent, answers short, with a wrong sum or a wrong config echo, or
    // vanishes: the run fails within its time-outs and never starts the application.
    void faultyUnit_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("minMs"); // device ms the run must have waited at least
        QTest::addColumn<int>("maxMs"); // device ms it may take at most (beyond the restart)
        QTest::addColumn<int>("packetsTaken");
        // Connect tries its first sync twice, 5 s each.
        QTest::newRow("silent from the start") << "silent" << 0 << 10000 << 12000 << 2;
        QTest::newRow("silent in connect") << "silent" << 3 << 5000 << 7000 << 4;
        // Packet 9 is the first further programming packet: its reply is awaited 8 s.
        QTest::newRow("silent while programming") << "silent" << 9 << 8000 << 10000 << 10;
        QTest::newRow("short reply") << "short" << 9 << 0 << 3000 << 10;
        QTest::newRow("wrong checksum field") << "badsum" << 10 << 0 << 3000 << 11;
        QTest::newRow("vanishes while programming") << "unplug" << 12 << 0 << 3000 << 13;
        QTest::newRow("config not taken") << "config" << 6 << 0 << 3000 << 7;
        // Its writes never complete: the request to restart and both syncs run into their limits.
        QTest::newRow("writes hang") << "stall" << 0 << 10000 << 13000 << 0;
        QTest::newRow("never back from the restart") << "gone" << 0 << 0 << 3000 << 0;
    }
    void faultyUnit()
    {
        QFETCH(QString, fault);
        QFETCH(int, at);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QFETCH(int, packetsTaken);
        IspFixture t;
        if (fault == "silent")
            t.sim->silentFrom(at);
        else if (fault == "short")
            t.sim->shortReplyAt(at);
        else if (fault == "badsum")
            t.sim->badChecksumAt(at);
        else if (fault == "unplug")
            t.sim->unplugAt(at);
        else if (fault == "stall")
            t.unit->setWriteStalls(true);
        else if (fault == "gone")
            t.sim->setRebootMs(100000000);
        else
            t.sim->setConfigEchoWrong(true);

        QCOMPARE(t.burn(t.write(firmware(2000, 0x000E))), QStringLiteral("Failed. Please reconnect the power."));

        QCOMPARE(t.sim->packets().size(), packetsTaken);
        QCOMPARE(t.sim->applicationStarts(), 0);
        QVERIFY(!t.sim->commands().contains(WriteSum));
        QCOMPARE(t.unit->openHandles(), 0);
        const qint64 restart = TimeScale::ms(1000);
        QVERIFY2(t.elapsed >= restart + TimeScale::ms(minMs) - 5, QByteArray::number(t.elapsed).constData());
        // Generous for a loaded machine, far below a wait that never ends.
        QVERIFY2(t.elapsed <= restart + TimeScale::ms(maxMs) + 3000, QByteArray::number(t.elapsed).constData());
    }

    // Replies carrying another packet number are passed over; a unit found already in its boot
    // loader (its last programming failed) is programmed all the same.
    void toleratedUnit_data()
    {
        QTest::addColumn<bool>("stray");
        QTest::addColumn<bool>("inBootLoader");
        QTest::newRow("stray replies") << true << false;
        QTest::newRow("already in the boot loader") << false << true;
    }
    void toleratedUnit()
    {
        QFETCH(bool, stray);
        QFETCH(bool, inBootLoader);
        IspFixture t;
        t.sim->setStrayReplies(stray);
        t.sim->setInBootLoader(inBootLoader);
        const QByteArray file = firmware(1234, 0x000E, 5);
        QCOMPARE(t.burn(t.write(file)), QStringLiteral("Firmware Update Success."));
        QVERIFY(t.sim->programmed() == file);
        QCOMPARE(t.sim->numberingErrors(), 0);
        QCOMPARE(t.sim->applicationStarts(), 1);
    }

    // The unit and the file are checked before the unit is asked into its boot loader: a refused
    // file leaves the unit untouched.
    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("vendorId");
        QTest::addColumn<int>("productId");
        QTest::addColumn<QString>("status");
        const QString open = "File Open Failure.", large = "Incorrect File. (Large File)",
                      incorrect = "Incorrect File.";
        QTest::newRow("missing") << "missing" << 0x1EC7 << 0x000E << open;
        QTest::newRow("folder") << "folder" << 0x1EC7 << 0x000E << open;
        QTest::newRow("fifo") << "fifo" << 0x1EC7 << 0x000E << open;
        QTest::newRow("one byte over") << "131073" << 0x1EC7 << 0x000E << large;
        QTest::newRow("huge sparse") << "huge" << 0x1EC7 << 0x000E << large;
        QTest::newRow("empty") << "empty" << 0x1EC7 << 0x000E << incorrect;
        QTest::newRow("shorter than the header") << "short" << 0x1EC7 << 0x000E << incorrect;
        QTest::newRow("wrong mark") << "mark" << 0x1EC7 << 0x000E << incorrect;
        QTest::newRow("another product's file") << "good" << 0x1EC7 << 0x0010 << "Incorrect File. (Wrong product)";
        QTest::newRow("header sum") << "sum" << 0x1EC7 << 0x000E << "Incorrect File. (Checksum)";
        QTest::newRow("header sum above 255") << "sum256" << 0x1EC7 << 0x000E << "Incorrect File. (Checksum)";
        QTest::newRow("other maker") << "good" << 0x1234 << 0x000E << "Product Failure.";
        QTest::newRow("KVM product id") << "good" << 0x1EC7 << 0x0011 << "Product Failure.";
        QTest::newRow("no converter chosen") << "good" << 0xFFFF << 0xFFFF << "Product Failure.";
    }
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(QString, kind);
        QFETCH(int, vendorId);
        QFETCH(int, productId);
        QFETCH(QString, status);
        IspFixture t{quint16(productId)};
        QString path = t.dir.filePath(QStringLiteral("fw.bin"));
        QByteArray bytes = firmware(400, 0x000E);
        if (kind == "folder") {
            QVERIFY(QDir(t.dir.path()).mkdir("fw.bin"));
        } else if (kind == "fifo") {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "huge") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            QVERIFY(file.resize(qint64(1) << 31));
        } else if (kind != "missing") {
            if (kind == "131073")
                bytes = firmware(131073, 0x000E);
            else if (kind == "empty")
                bytes.clear();
            else if (kind == "short")
                bytes = bytes.left(7);
            else if (kind == "mark")
                bytes[0] = 0x0A, bytes[7] = char(0x0A + 3);
            else if (kind == "sum")
                bytes[7] = char(bytes.at(7) + 1);
            else if (kind == "sum256") // 9 + 3 + 244 = 256: matches byte 7 = 0 only modulo 256
                bytes[2] = char(244), bytes[7] = 0;
            t.write(bytes);
        }

        QCOMPARE(t.burn(path, quint16(productId), quint16(vendorId)), status);

        QCOMPARE(t.unit->openCount(), 0);
        QVERIFY(t.unit->writtenReports().isEmpty());
        QCOMPARE(t.sim->upgradeRequests(), 0);
        QVERIFY(t.f.dialogs.shown().isEmpty());
    }

    // From the converter page: the status is shown, and the hub's USB polling is back after
    // every ending.
    void fromThePage_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("status");
        QTest::newRow("success") << "" << "Firmware Update Success.";
        QTest::newRow("refused file") << "bad file" << "Incorrect File. (Checksum)";
        QTest::newRow("silent unit") << "silent" << "Failed. Please reconnect the power.";
    }
    void fromThePage()
    {
        QFETCH(QString, setup);
        QFETCH(QString, status);
        IspFixture t(0x001E);
        QByteArray file = firmware(300, 0x001E);
        if (setup == "bad file")
            file[7] = 0;
        if (setup == "silent")
            t.sim->silentFrom(7);
        Converter page(&t.f.ui);
        QSignalSpy discover(&page, SIGNAL(setUSBDiscover(bool)));
        t.f.ui.productCombobox->addItem(MODEL_PERRICK);
        t.f.ui.updateFilename->setText(t.write(file, QStringLiteral("Perrick Ü.bin")));

        page.initiateFirmwareUpdate();

        QCOMPARE(t.f.ui.converterFirmwareStatus->text(), status);
        QVERIFY(t.f.dialogs.wasShown(status));
        QCOMPARE(discover.count(), 2);
        QCOMPARE(discover.at(0).at(0).toBool(), false);
        QCOMPARE(discover.at(1).at(0).toBool(), true);
        QCOMPARE(t.sim->applicationStarts(), setup.isEmpty() ? 1 : 0);
    }
};

PLEXA_TEST_MAIN(TestConverterIsp)
#include "tst_converter_isp.moc"
