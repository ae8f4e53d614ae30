// The HDBaseT monitor's widget-free core: the two formulas with the units' worked values, the
// stream parser over every way the serial line may cut or join the lines (the unit's lines come
// from the HDBaseT stream generator of the simulators), hostile lines, the alert latches, the
// plot window and the event log's texts under a comma-decimal locale.
#include "plexatest.h"
#include "hdbasetstream.h"
#include "hdbtmonitor.h"
#include "localetest.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cmath>

using Line = HDBaseTMonitorParser::Line;

namespace {

// Feeds the chunks; returns the samples of the closed cycles.
QList<PlotSample> run(HDBaseTMonitorParser& parser, const QList<QByteArray>& chunks)
{
    QList<PlotSample> closed;
    for (const QByteArray& chunk : chunks)
        parser.feed(chunk, [&](Line line) {
            if (line == Line::CycleClosed)
                closed.append(parser.sample());
        });
    return closed;
}

HDBaseTCycle transmitterCycle()
{
    HDBaseTCycle cycle;
    cycle.mse[0] = 29482;  // -23 dB: 100 %
    cycle.mse[1] = 93246;  // -13 dB: about 23.07 %
    cycle.mse[2] = 0;      // no signal: 0 %
    cycle.mse[3] = 600000; // past -10 dB: 0 %
    cycle.maxErr[0] = 64;  // 25 % at 148 MHz
    cycle.maxErr[1] = 200; // 78.125 %
    cycle.maxErr[2] = 10;
    cycle.maxErr[3] = 0;
    cycle.tmdsMHz = 148;
    return cycle;
}

void compareTransmitterSample(const PlotSample& s)
{
    QCOMPARE(s.linkQuality[0], 100.0);
    QVERIFY2(qAbs(s.linkQuality[1] - 23.07) < 0.01, qPrintable(QString::number(s.linkQuality[1])));
    QCOMPARE(s.linkQuality[2], 0.0);
    QCOMPARE(s.linkQuality[3], 0.0);
    QCOMPARE(s.maxErr[0], 25.0);
    QCOMPARE(s.maxErr[1], 78.125);
    QCOMPARE(s.maxErr[2], 10 * 100.0 / 128 / 2);
    QCOMPARE(s.maxErr[3], 0.0);
    QCOMPARE(s.tmdsClock, 148);
}

} // namespace

class TestHDBaseTMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }

    void formulas_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<double>("raw");
        QTest::addColumn<int>("context"); // receiver (1/0) for mse, TMDS clock for max error
        QTest::addColumn<double>("percent");
        QTest::newRow("receiver 3685 is -23 dB") << "mse" << 3685.0 << 1 << 100.0;
        QTest::newRow("transmitter 29482 is -23 dB") << "mse" << 29482.0 << 0 << 100.0;
        QTest::newRow("transmitter 93246 is -13 dB") << "mse" << 93246.0 << 0 << 23.0676;
        QTest::newRow("receiver scale is 2^16") << "mse" << 11654.0 << 1 << 23.0777;
        QTest::newRow("past -10 dB") << "mse" << 600000.0 << 0 << 0.0;
        QTest::newRow("zero") << "mse" << 0.0 << 1 << 0.0;
        QTest::newRow("minus one") << "mse" << -1.0 << 0 << 0.0;
        QTest::newRow("negative, no NaN") << "mse" << -77.0 << 1 << 0.0;
        QTest::newRow("64 at 148 MHz") << "maxerr" << 64.0 << 148 << 25.0;
        QTest::newRow("64 at 297 MHz") << "maxerr" << 64.0 << 297 << 50.0;
        QTest::newRow("200 at 148 MHz") << "maxerr" << 200.0 << 148 << 78.125;
        QTest::newRow("200 at 297 MHz capped") << "maxerr" << 200.0 << 297 << 100.0;
        QTest::newRow("225 MHz still halves") << "maxerr" << 128.0 << 225 << 50.0;
        QTest::newRow("negative max error") << "maxerr" << -40.0 << 297 << 0.0;
    }
    void formulas()
    {
        QFETCH(QString, formula);
        QFETCH(double, raw);
        QFETCH(int, context);
        QFETCH(double, percent);
        const double got = formula == QLatin1String("mse") ? HDBaseTMonitorParser::mseFormula(raw, context == 1)
                                                           : HDBaseTMonitorParser::maxErrFormula(raw, context);
        QVERIFY(std::isfinite(got));
        QVERIFY2(qAbs(got - percent) < 0.001, qPrintable(QString::number(got)));
    }

    // Every shape the serial line gives the same cycle: one line per read, lines cut inside their
    // number, a whole cycle in one read, and every cut of the cycle into two reads.
    void streamChunking_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        const QList<QByteArray> lines = HDBaseTStream::cycleLines(transmitterCycle());
        using C = HDBaseTStream::Chunking;
        QTest::newRow("line per read") << HDBaseTStream::writes(lines, C::LinePerWrite);
        QTest::newRow("split mid-number") << HDBaseTStream::writes(lines, C::SplitMidNumber);
        QTest::newRow("one read") << HDBaseTStream::writes(lines, C::Coalesced);
        const QByteArray all = HDBaseTStream::writes(lines, C::Coalesced).first();
        QList<QByteArray> bytes;
        for (char c : all)
            bytes << QByteArray(1, c);
        QTest::newRow("byte by byte") << bytes;
        QTest::newRow("every cut into two reads") << QList<QByteArray>{all};
    }
    void streamChunking()
    {
        QFETCH(QList<QByteArray>, chunks);
        // One whole read stands for all its cuts in two: each must read the same cycle.
        QList<QList<QByteArray>> runs{chunks};
        if (QByteArray(QTest::currentDataTag()) == "every cut into two reads") {
            runs.clear();
            for (int cut = 1; cut < chunks.first().size(); ++cut)
                runs.append({chunks.first().left(cut), chunks.first().mid(cut)});
        }
        for (const QList<QByteArray>& reads : runs) {
            HDBaseTMonitorParser parser;
            const QList<PlotSample> closed = run(parser, reads);
            QCOMPARE(closed.size(), 1);
            compareTransmitterSample(closed.first());
        }
    }

    // The receiver closes its cycle with the retransmission rate; a line without a number leaves
    // the sample without a rate.
    void receiverCycles()
    {
        HDBaseTCycle cycle;
        cycle.receiver = true;
        cycle.mse[2] = 3685;
        cycle.retransRate = 97.25;
        HDBaseTMonitorParser parser;
        parser.setReceiver(true);
        QList<PlotSample> closed =
            run(parser, HDBaseTStream::writes(HDBaseTStream::cycleLines(cycle), HDBaseTStream::Chunking::SplitMidNumber));
        QCOMPARE(closed.size(), 1);
        QCOMPARE(closed.first().linkQuality[2], 100.0);
        QVERIFY(closed.first().hasRetransRate);
        QCOMPARE(closed.first().retransRate, 97.25);

        closed = run(parser, {"ReTransRate\r\n", "ReTransRate: n/a\r\n", "ReTransRate: 250\r\n"});
        QCOMPARE(closed.size(), 3);
        QVERIFY(!closed.at(0).hasRetransRate);
        QVERIFY(!closed.at(1).hasRetransRate);
        QVERIFY(closed.at(2).hasRetransRate);
        QCOMPARE(closed.at(2).retransRate, 100.0);
    }

    void lineGrammar()
    {
        HDBaseTMonitorParser parser;
        parser.setReceiver(true);
        // "CH2", an empty field (colon and blank) and the number.
        QCOMPARE(parser.parseLine(QStringLiteral("CH2: 3685")), Line::Value);
        QCOMPARE(parser.sample().linkQuality[2], 100.0);
        QCOMPARE(parser.parseLine(QStringLiteral("CH2: 0")), Line::Value);
        QCOMPARE(parser.sample().linkQuality[2], 0.0);

        // A CH0 line without a number changes nothing; CH1 to CH3 read it as 0.
        parser.parseLine(QStringLiteral("CH0: 3685"));
        QCOMPARE(parser.parseLine(QStringLiteral("CH0: x")), Line::Value);
        QCOMPARE(parser.sample().linkQuality[0], 100.0);
        parser.parseLine(QStringLiteral("CH1: 3685"));
        parser.parseLine(QStringLiteral("CH1:"));
        QCOMPARE(parser.sample().linkQuality[1], 0.0);

        // TMDS: the unit is dropped; without a number the clock is 0, which halves max errors.
        QCOMPARE(parser.parseLine(QStringLiteral("TMDS: 297 MHz")), Line::Tmds);
        QCOMPARE(parser.sample().tmdsClock, 297);
        QCOMPARE(parser.parseLine(QStringLiteral("TMDS")), Line::Tmds);
        QCOMPARE(parser.sample().tmdsClock, 0);
        QCOMPARE(parser.parseLine(QStringLiteral("TMDS:")), Line::Tmds);
        QCOMPARE(parser.sample().tmdsClock, 0);

        // Cnl: a colon after the letter leaves an empty third field (0 %); too few fields or an
        // unknown channel is ignored; channel D closes the cycle.
        parser.parseLine(QStringLiteral("Cnl A: 64"));
        QCOMPARE(parser.sample().maxErr[0], 0.0);
        QCOMPARE(parser.parseLine(QStringLiteral("Cnl A")), Line::Ignored);
        QCOMPARE(parser.parseLine(QStringLiteral("Cnl E 64")), Line::Ignored);
        QCOMPARE(parser.parseLine(QStringLiteral("Cnl D 64")), Line::CycleClosed);
        QCOMPARE(parser.parseLine(QStringLiteral("ch0: 3685")), Line::Ignored);
        QCOMPARE(parser.parseLine(QString()), Line::Ignored);
    }

    // A channel's max error is its peak since the peaks were reset.
    void maxErrorPeaks()
    {
        HDBaseTMonitorParser parser;
        run(parser, {"TMDS: 148 MHz\r\nCnl B 200\r\n", "Cnl B 64\r\n"});
        QCOMPARE(parser.sample().maxErr[1], 78.125);
        QCOMPARE(parser.peakMaxErr(1), 78.125);
        parser.resetPeaks();
        run(parser, {"Cnl B 64\r\n"});
        QCOMPARE(parser.sample().maxErr[1], 25.0);
    }

    // Garbage, a line that never ends, a stray line end: the stream recovers at the next line.
    void hostileStream()
    {
        HDBaseTMonitorParser parser;
        QByteArray endless(5000, '7');
        QList<PlotSample> closed = run(parser, {QByteArray("\xff\xfe\x00\x81\x1b\x9c", 6), "\r\n", "CH0: ", endless,
                                                "\n\r\n", "CH0: 29482\r\nCnl D 1\r\n"});
        QCOMPARE(closed.size(), 1);
        QCOMPARE(closed.first().linkQuality[0], 100.0);

        // A partial line dropped at a restart does not glue onto the first line after it.
        run(parser, {"CH1: 294"});
        parser.resetStream();
        run(parser, {"CH1: 93246\r\n"});
        QVERIFY(qAbs(parser.sample().linkQuality[1] - 23.07) < 0.01);
    }

    // Flags latch: one change when a value crosses into the wrong side, one when it is back.
    void alertLatches()
    {
        HDBaseTAlerts alerts;
        PlotSample s;
        for (double& q : s.linkQuality)
            q = 90;
        QList<int> raisedAt, loweredAt;
        const double channelB[] = {50, 30, 20, 45};
        for (int i = 0; i < 4; ++i) {
            s.linkQuality[1] = channelB[i];
            for (const HDBaseTAlerts::Change& change : alerts.evaluate(s, false)) {
                QCOMPARE(change.index, 1);
                (change.raised ? raisedAt : loweredAt).append(i);
            }
        }
        QCOMPARE(raisedAt, QList<int>{1});
        QCOMPARE(loweredAt, QList<int>{3});

        // Max error: the threshold itself raises nothing, anything above does.
        s.maxErr[2] = THRESHHOLD_MAXERR_LOW;
        QVERIFY(alerts.evaluate(s, false).isEmpty());
        s.maxErr[2] = 80.46875;
        QList<HDBaseTAlerts::Change> changes = alerts.evaluate(s, false);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first().index, 6);
        QVERIFY(changes.first().raised);
        // A receiver compares no max error; its flag 4 is the retransmission rate, and only a
        // rate the unit sent is compared.
        alerts.clear();
        QVERIFY(alerts.evaluate(s, true).isEmpty());
        s.retransRate = 10;
        s.hasRetransRate = false;
        QVERIFY(alerts.evaluate(s, true).isEmpty());
        s.hasRetransRate = true;
        changes = alerts.evaluate(s, true);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first().index, 4);
        QVERIFY(alerts.isRaised(4));
    }

    void windowAndHistory()
    {
        QCOMPARE(HDBaseTMonitor::windowSeconds(0), 10);
        QCOMPARE(HDBaseTMonitor::windowSeconds(2), 60);
        QCOMPARE(HDBaseTMonitor::windowSeconds(7), 3600);
        QCOMPARE(HDBaseTMonitor::windowSeconds(-1), 10);
        QCOMPARE(HDBaseTMonitor::windowSeconds(8), 10);
        QCOMPARE(HDBaseTMonitor::firstShown(100, 10), 89); // the last 11
        QCOMPARE(HDBaseTMonitor::firstShown(5, 3600), 0);

        QList<PlotSample> samples;
        for (int i = 0; i <= HDBaseTMonitor::maxSamples; ++i) {
            PlotSample s;
            s.tmdsClock = i;
            HDBaseTMonitor::appendSample(samples, s);
        }
        QCOMPARE(samples.size(), 3600);
        QCOMPARE(samples.first().tmdsClock, 1);
        QCOMPARE(samples.last().tmdsClock, 3600);
    }

    void eventTexts_data() { addLocaleRows(); }
    void eventTexts()
    {
        QFETCH(QString, locale);
        DefaultLocaleScope scope(locale);

        QCOMPARE(HDBaseTMonitor::percentText(37.5), QStringLiteral("38%"));
        QCOMPARE(HDBaseTMonitor::percentText(-0.5), QStringLiteral("0%"));
        QCOMPARE(HDBaseTMonitor::percentText(23.0769), QStringLiteral("23%"));

        const QDateTime time(QDate(2026, 12, 9), QTime(7, 5, 3));
        QCOMPARE(HDBaseTMonitor::eventFields(time, 1, 30.2),
                 QStringList({"Wed Dec 9 2026", "07:05:03", "Link", "B", "30"}));
        QCOMPARE(HDBaseTMonitor::eventFields(time, 6, 80.46875),
                 QStringList({"Wed Dec 9 2026", "07:05:03", "Max Err", "C", "80"}));
        QCOMPARE(HDBaseTMonitor::csvLine(HDBaseTMonitor::eventFields(time, 7, 99.5)),
                 QByteArray("Wed Dec 9 2026,07:05:03,Max Err,D,100\r\n"));
    }

    // Two logs started in the same minute for the same unit.
    void logNames()
    {
        QTemporaryDir dir;
        const QDateTime start(QDate(2026, 3, 4), QTime(9, 8, 59));
        const QString first = HDBaseTMonitor::freeLogPath(dir.path(), QStringLiteral("Lomaret-R"), start);
        QCOMPARE(QFileInfo(first).fileName(), QStringLiteral("Lomaret-R_03-04-26_09-08.csv"));
        QFile(first).open(QIODevice::WriteOnly);
        const QString second = HDBaseTMonitor::freeLogPath(dir.path(), QStringLiteral("Lomaret-R"), start);
        QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("Lomaret-R_03-04-26_09-08_2.csv"));
        // A name cannot lead out of the folder.
        const QString odd = HDBaseTMonitor::freeLogPath(dir.path(), QStringLiteral("../x"), start);
        QCOMPARE(QFileInfo(odd).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    }
};

PLEXA_TEST_MAIN(TestHDBaseTMonitor)
#include "tst_hdbaset_monitor.moc"
