// The converters' HID command reports against simulated units on the fake HID bus: one command
// and its reply, EDID reads and uploads in 32-byte chunks for the converter and the HID scaler,
// and the HID scaler's settings buttons.
#include "plexatest.h"
#include "chidcmd.h"
#include "converter.h"
#include "converterfixture.h"
#include "convertercontrol.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/types.h>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

const QByteArray NextChunk = bytes({0xAA});

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return file.fileName();
}

// Uploads `edid` from a file through a converter page, to the HID scaler or the converter.
void uploadFromFile(ConverterFixture& f, bool scaler, const QByteArray& edid)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "edid.bin", edid);
    f.dialogs.answerButton(QMessageBox::Ok);
    Converter page(&f.ui, QList<EdidEntry>());
    if (scaler)
        page.uploadScaler12EDID(path);
    else
        page.uploadEDID(path);
}

} // namespace

class TestConverterReports : public QObject
{
    Q_OBJECT

private slots:
    // ---- One command -------------------------------------------------------------------------

    void commandReportLayout_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("lengthByte");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("device information") << 2 << 2;
        QTest::newRow("exactly a report") << 62 << 62;
        QTest::newRow("longer than a report") << 70 << 62;
    }
    void commandReportLayout()
    {
        QFETCH(int, length);
        QFETCH(int, lengthByte);
        ConverterFixture f;
        FakeHidUnit& unit = f.hid.addUnit(0x1EC7, 0x001E);
        unit.setResponder([](FakeHidUnit& u, const QByteArray& r) {
            u.sendReport(FakeHidUnit::report(FakeHidUnit::sequenceOf(r) | 0x80, bytes({0xAA, 1, 2, 3})));
        });
        QByteArray payload(length, '\0');
        for (int i = 0; i < length; ++i)
            payload[i] = char(0x40 + i);

        const quint8 before = converterHid().sequenceNumber();
        QCOMPARE(sendCommand(0x1EC7, 0x001E, payload), bytes({0xAA, 1, 2, 3}));

        QCOMPARE(unit.writtenReports().size(), 1);
        const QByteArray report = unit.writtenReports().first();
        QCOMPARE(report.size(), 65);
        QCOMPARE(int(report.at(0)), 0);
        QCOMPARE(quint8(report.at(1)), quint8((before + 1) & 0x7F));
        QCOMPARE(int(quint8(report.at(2))), lengthByte);
        QCOMPARE(report.mid(3, lengthByte), payload.left(lengthByte));
        QCOMPARE(unit.openHandles(), 0);
    }

    // The sequence number goes up by one per report across exchanges and wraps from 127 to 0;
    // a reply carrying an older number is not taken for the answer.
    void sequenceRunsOnAndWraps()
    {
        ConverterFixture f;
        FakeHidUnit& unit = f.hid.addUnit(0x1EC7, 0x001E);
        unit.setResponder([](FakeHidUnit& u, const QByteArray& r) {
            const quint8 sequence = FakeHidUnit::sequenceOf(r);
            u.sendReport(FakeHidUnit::report(quint8((sequence + 127) & 0x7F) | 0x80, bytes({0x11})));
            u.sendReport(FakeHidUnit::report(sequence | 0x80, bytes({0xAA, sequence})));
        });
        for (int i = 0; i < 130; ++i) {
            const QByteArray reply = sendCommand(0x1EC7, 0x001E, bytes({0x59, 0x40}));
            QCOMPARE(reply.size(), 2);
            QCOMPARE(quint8(reply.at(1)), FakeHidUnit::sequenceOf(unit.writtenReports().last()));
        }
        const QList<QByteArray> written = unit.writtenReports();
        bool wrapped = false;
        for (int i = 1; i < written.size(); ++i) {
            const quint8 previous = FakeHidUnit::sequenceOf(written.at(i - 1));
            const quint8 current = FakeHidUnit::sequenceOf(written.at(i));
            QCOMPARE(current, quint8((previous + 1) & 0x7F));
            wrapped = wrapped || current == 0;
        }
        QVERIFY(wrapped);
    }

    void commandRefusals()
    {
        ConverterFixture f;
        FakeHidUnit& unit = f.hid.addUnit(0x1EC7, 0x001E);
        const quint8 payload[2] = {0x59, 0x40};
        // A negative length or a missing buffer never reaches the unit.
        QVERIFY(sendCommand(0x1EC7, 0x001E, payload, -1).isEmpty());
        QVERIFY(sendCommand(0x1EC7, 0x001E, nullptr, 2).isEmpty());
        QCOMPARE(unit.openCount(), 0);
        // No such unit, and a unit that does not answer: no reply, nothing left open.
        QVERIFY(sendCommand(0x1EC7, 0x000E, payload, 2).isEmpty());
        QVERIFY(sendCommand(0x1EC7, 0x001E, payload, 2).isEmpty());
        QCOMPARE(unit.writtenReports().size(), 1);
        QCOMPARE(unit.openHandles(), 0);
    }

    // ---- EDID reads --------------------------------------------------------------------------

    void converterEdidRead_data()
    {
        QTest::addColumn<bool>("twoBlocks");
        QTest::newRow("one block") << false;
        QTest::newRow("two blocks") << true;
    }
    void converterEdidRead()
    {
        QFETCH(bool, twoBlocks);
        ConverterFixture f;
        ConverterSim& sim = f.addOrrelin();
        const QByteArray edid = converterTestEdid(7, twoBlocks);
        sim.setEdid(edid);
        Converter reader(&f.ui, QList<EdidEntry>());

        QCOMPARE(reader.doViewEDID(), edid);
        // The request, then one next-chunk request after each of the eight chunks.
        QList<QByteArray> expected{QByteArrayLiteral("#VIEW_LOCAL_EDID")};
        for (int i = 0; i < 8; ++i)
            expected << NextChunk;
        QCOMPARE(sim.requests(), expected);
        QCOMPARE(f.orrelinUnit->openHandles(), 0);
    }

    // A read that fails at any step, or bytes that are no EDID, give nothing (never 0xFF bytes).
    void converterEdidReadFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("no unit") << "none";
        QTest::newRow("silent from chunk 3") << "silent";
        QTest::newRow("truncated chunks") << "cut";
        QTest::newRow("bad checksum") << "checksum";
        QTest::newRow("empty store (all 0xFF)") << "blank";
    }
    void converterEdidReadFailures()
    {
        QFETCH(QString, fault);
        ConverterFixture f;
        if (fault != "none") {
            ConverterSim& sim = f.addOrrelin();
            QByteArray edid = converterTestEdid(3, true);
            if (fault == "checksum")
                edid[200] = char(edid.at(200) ^ 0x10);
            if (fault != "blank")
                sim.setEdid(edid);
            if (fault == "silent")
                sim.silentFrom(3);
            if (fault == "cut")
                sim.cutChunksTo(20);
        }
        Converter reader(&f.ui, QList<EdidEntry>());
        QVERIFY(reader.doViewEDID().isEmpty());
        if (f.orrelinUnit)
            QCOMPARE(f.orrelinUnit->openHandles(), 0);
    }

    void scalerEdidRead_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("code");
        QTest::newRow("output 1") << "External - Output 1" << 0x07;
        QTest::newRow("output 2") << "External - Output 2" << 0x06;
        QTest::newRow("user defined") << "Internal - User Defined" << 0x09;
        QTest::newRow("nothing chosen") << "-- Select --" << 0x09;
    }
    void scalerEdidRead()
    {
        QFETCH(QString, source);
        QFETCH(int, code);
        ConverterFixture f;
        ConverterSim& sim = f.addPerrick();
        for (int c : {0x07, 0x06, 0x09})
            sim.setEdid(converterTestEdid(c, c != 0x06), quint8(c));
        f.ui.selectEDIDFromDevice->clear();
        f.ui.selectEDIDFromDevice->addItem(source);
        Converter reader(&f.ui, QList<EdidEntry>());

        QCOMPARE(reader.doScalerViewEDID(), converterTestEdid(code, code != 0x06));
        QList<QByteArray> expected{bytes({0x5A, 0x41, code})};
        for (int i = 0; i < 8; ++i)
            expected << NextChunk;
        QCOMPARE(sim.requests(), expected);
        QVERIFY(f.dialogs.shown().isEmpty());
    }

    void scalerEdidReadFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("requests");
        QTest::newRow("refused") << "refuse" << 1;
        QTest::newRow("silent after the status") << "silent" << 2;
        QTest::newRow("bad EDID") << "checksum" << 9;
        QTest::newRow("no unit") << "none" << 0;
    }
    void scalerEdidReadFailures()
    {
        QFETCH(QString, fault);
        QFETCH(int, requests);
        ConverterFixture f;
        if (fault != "none") {
            ConverterSim& sim = f.addPerrick();
            QByteArray edid = converterTestEdid(1, false);
            if (fault == "checksum")
                edid[20] = char(edid.at(20) ^ 1);
            sim.setEdid(edid, 0x07);
            if (fault == "refuse")
                sim.refuseFrom(0);
            if (fault == "silent")
                sim.silentFrom(1);
        }
        f.ui.selectEDIDFromDevice->addItem(QStringLiteral("External - Output 1"));
        Converter reader(&f.ui, QList<EdidEntry>());

        QVERIFY(reader.doScalerViewEDID().isEmpty());
        QCOMPARE(f.perrick ? f.perrick->requests().size() : 0, requests);
        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(f.dialogs.shown().first().title, QStringLiteral("Error"));
        QCOMPARE(f.dialogs.shown().first().text, QStringLiteral("No EDID found!"));
    }

    // ---- EDID uploads ------------------------------------------------------------------------

    void upload_data()
    {
        QTest::addColumn<bool>("scaler");
        QTest::addColumn<bool>("twoBlocks");
        QTest::newRow("converter, one block") << false << false;
        QTest::newRow("converter, two blocks") << false << true;
        QTest::newRow("HID scaler, one block") << true << false;
        QTest::newRow("HID scaler, two blocks") << true << true;
    }
    void upload()
    {
        QFETCH(bool, scaler);
        QFETCH(bool, twoBlocks);
        ConverterFixture f;
        ConverterSim& sim = scaler ? f.addPerrick() : f.addOrrelin();
        const QByteArray edid = converterTestEdid(5, twoBlocks);
        uploadFromFile(f, scaler, edid);

        QCOMPARE(f.status(), QStringLiteral("Upload Complete."));
        QVERIFY(f.statusIsSuccess());
        // A one-block EDID goes out padded with zeros to 256 bytes.
        const QByteArray image = edid + QByteArray(256 - edid.size(), '\0');
        QCOMPARE(sim.uploaded(), image);
        QList<QByteArray> expected{scaler ? bytes({0x5A, 0x41, 0x08}) : QByteArrayLiteral("#SEND_EDID")};
        for (int i = 0; i < 8; ++i)
            expected << image.mid(32 * i, 32);
        QCOMPARE(sim.requests(), expected);
        if (scaler) {
            QCOMPARE(f.dialogs.shown().size(), 1);
            QVERIFY(f.dialogs.wasShown("changing rotary switch to 7"));
        } else {
            QVERIFY(f.dialogs.shown().isEmpty());
        }
    }

    // Files that are not an EDID a unit holds never reach it.
    void uploadFailures_data()
    {
        QTest::addColumn<bool>("scaler");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("requests");
        for (bool scaler : {false, true}) {
            const QByteArray kind = scaler ? "HID scaler: " : "converter: ";
            QTest::newRow(kind + "257 bytes") << scaler << "long" << "" << "Upload failed, file failure." << -1;
            QTest::newRow(kind + "missing file") << scaler << "missing" << "" << "Upload failed, could not open file." << -1;
            QTest::newRow(kind + "FIFO") << scaler << "fifo" << "" << "Upload failed, could not open file." << -1;
            QTest::newRow(kind + "not an EDID") << scaler << "garbage" << ""
                                                << "Upload failed, file failure. This is not a valid EDID" << -1;
            QTest::newRow(kind + "no unit") << scaler << "edid" << "none" << "Upload failed, could not find device." << -1;
        }
    }
    void uploadFailures()
    {
        QFETCH(bool, scaler);
        QFETCH(QString, file);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(int, requests);
        ConverterFixture f;
        ConverterSim* sim = nullptr;
        if (fault != "none")
            sim = scaler ? &f.addPerrick() : &f.addOrrelin();

        QTemporaryDir dir;
        QString path = dir.filePath("edid.bin");
        if (file == "long")
            path = writeFile(dir, "long.bin", converterTestEdid(1, true) + '\0');
        else if (file == "garbage")
            path = writeFile(dir, "garbage.bin", QByteArray(128, 'x'));
        else if (file == "edid")
            path = writeFile(dir, "edid.bin", converterTestEdid(1, false));
        else if (file == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        Converter page(&f.ui, QList<EdidEntry>());

        if (scaler)
            page.uploadScaler12EDID(path);
        else
            page.uploadEDID(path);

        QVERIFY2(f.status().startsWith(message), qPrintable(f.status()));
        QVERIFY(f.statusIsError());
        if (sim) {
            QCOMPARE(sim->requests().size(), qMax(0, requests));
            QCOMPARE(sim->uploads(), 0);
        }
        const FakeHidUnit* unit = scaler ? f.perrickUnit : f.orrelinUnit;
        if (unit) {
            QCOMPARE(unit->openCount() > 0, requests >= 0);
            QCOMPARE(unit->openHandles(), 0);
        }
    }

    // The answers units give to an upload: the last chunk goes unanswered (no answer is read
    // after it), a status other than 0xAA to the request or to a chunk. The converter's answers
    // are not judged; the HID scaler's refusal of the request stops the upload before the unit's
    // EDID is touched, and a chunk it refuses is reported once every chunk is out, so the unit
    // never holds a torn EDID.
    void uploadAnswers_data()
    {
        QTest::addColumn<bool>("scaler");
        QTest::addColumn<int>("chunk"); // whose answer differs: 0 the request, 1 to 8 the chunks
        QTest::addColumn<int>("status"); // -1: no answer
        QTest::addColumn<bool>("complete");
        QTest::addColumn<bool>("written"); // the unit holds the new EDID (else the old one)
        for (bool scaler : {false, true}) {
            const QByteArray kind = scaler ? "HID scaler: " : "converter: ";
            QTest::newRow(kind + "last chunk unanswered") << scaler << 8 << -1 << true << true;
            QTest::newRow(kind + "00 after chunk 2") << scaler << 2 << 0x00 << !scaler << true;
            QTest::newRow(kind + "55 after chunk 7") << scaler << 7 << 0x55 << !scaler << true;
            QTest::newRow(kind + "00 to the request") << scaler << 0 << 0x00 << !scaler << !scaler;
        }
    }
    void uploadAnswers()
    {
        QFETCH(bool, scaler);
        QFETCH(int, chunk);
        QFETCH(int, status);
        QFETCH(bool, complete);
        QFETCH(bool, written);
        ConverterFixture f;
        ConverterSim& sim = scaler ? f.addPerrick() : f.addOrrelin();
        const quint8 slot = scaler ? 0x09 : 0x00;
        const QByteArray old = converterTestEdid(2, true);
        sim.setEdid(old, slot);
        if (status < 0)
            sim.skipLastChunkAnswer(true);
        else
            sim.answerUploadChunk(chunk, quint8(status));
        const QByteArray edid = converterTestEdid(6, true);
        uploadFromFile(f, scaler, edid);

        QCOMPARE(f.status(), complete ? QStringLiteral("Upload Complete.") : QStringLiteral("Upload failed!"));
        QCOMPARE(complete ? f.statusIsSuccess() : f.statusIsError(), true);
        QCOMPARE(sim.edid(slot), written ? edid : old);
        QCOMPARE(sim.requests().size(), written ? 9 : 1);
        QCOMPARE(f.perrickUnit ? f.perrickUnit->openHandles() : f.orrelinUnit->openHandles(), 0);
    }

    // ---- HID scaler settings -----------------------------------------------------------------

    // Each button sends its register with the value the boxes give after the click.
    void settings_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("checkedBefore");
        QTest::addColumn<QList<QByteArray>>("reports");
        const auto setting = [](int reg, int value) { return bytes({0x5A, 0x41, reg, value}); };
        using L = QList<QByteArray>;
        QTest::newRow("HDCP both") << "scaler12hdcp22" << QStringList{"scaler12hdcp14"} << L{setting(0x05, 0xFF)};
        QTest::newRow("HDCP 1.4 only") << "scaler12hdcp22" << QStringList{"scaler12hdcp14", "scaler12hdcp22"}
                                       << L{setting(0x05, 0x01)};
        QTest::newRow("HDCP 2.2 only") << "scaler12hdcp22" << QStringList{} << L{setting(0x05, 0x02)};
        QTest::newRow("HDCP neither") << "scaler12hdcp14" << QStringList{"scaler12hdcp14"} << L{setting(0x05, 0x03)};
        QTest::newRow("YUV both") << "scaler12o2color" << QStringList{"scaler12o1color"} << L{setting(0x0A, 0x03)};
        QTest::newRow("YUV output 1 only") << "scaler12o1color" << QStringList{} << L{setting(0x0A, 0x02)};
        QTest::newRow("YUV output 2 only") << "scaler12o2color" << QStringList{} << L{setting(0x0A, 0x01)};
        QTest::newRow("YUV neither") << "scaler12o2color" << QStringList{"scaler12o2color"} << L{setting(0x0A, 0xFF)};
        QTest::newRow("output 2 up-scale") << "scaler12o2scale" << QStringList{} << L{setting(0x01, 0x01)};
        QTest::newRow("output 2 bypass") << "scaler12o2bypass" << QStringList{"scaler12o2scale"} << L{setting(0x01, 0xFF)};
        QTest::newRow("output 1 down-scale, YUV off")
            << "scaler12o1scale" << QStringList{"scaler12o2color"} << L{setting(0x02, 0x01)};
        // Output 1 loses YUV 4:2:0 when it scales: the box is cleared and the new value sent.
        QTest::newRow("output 1 down-scale drops its YUV")
            << "scaler12o1scale" << QStringList{"scaler12o1color", "scaler12o2color"}
            << L{setting(0x02, 0x01), setting(0x0A, 0x01)};
        QTest::newRow("output 1 bypass") << "scaler12o1bypass" << QStringList{"scaler12o1scale"}
                                         << L{setting(0x02, 0xFF)};
    }
    void settings()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, checkedBefore);
        QFETCH(QList<QByteArray>, reports);
        ConverterFixture f;
        ConverterSim& sim = f.addPerrick();
        Converter page(&f.ui);
        for (const QString& name : checkedBefore)
            f.window.findChild<QAbstractButton*>(name)->setChecked(true);
        f.ui.scaler12o1color->setEnabled(!f.ui.scaler12o1scale->isChecked());

        f.window.findChild<QAbstractButton*>(button)->click();

        QCOMPARE(sim.requests(), reports);
        QCOMPARE(f.status(), QStringLiteral("Updated."));
        QVERIFY(f.statusIsSuccess());
        if (button.startsWith("scaler12o1")) {
            QCOMPARE(f.ui.scaler12o1color->isEnabled(), !f.ui.scaler12o1scale->isChecked());
            if (f.ui.scaler12o1scale->isChecked())
                QVERIFY(!f.ui.scaler12o1color->isChecked());
        }
        QTRY_VERIFY(f.status().isEmpty());
    }

    // "Updated." only when the unit accepted every report the click sent.
    void settingRefused_data()
    {
        QTest::addColumn<int>("refuseFrom");
        QTest::newRow("the setting") << 0;
        QTest::newRow("the follow-up YUV report") << 1;
        QTest::newRow("no unit") << -2;
    }
    void settingRefused()
    {
        QFETCH(int, refuseFrom);
        ConverterFixture f;
        if (refuseFrom >= -1)
            f.addPerrick().refuseFrom(refuseFrom);
        Converter page(&f.ui);
        f.ui.scaler12o1color->setChecked(true);
        f.ui.scaler12o1scale->click();
        QCOMPARE(f.status(), QStringLiteral("Update failed."));
        QVERIFY(f.statusIsError());
    }
};

PLEXA_TEST_MAIN(TestConverterReports)
#include "tst_converter_reports.moc"
