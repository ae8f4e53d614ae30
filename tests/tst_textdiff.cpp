// The text diff against Debian's python3-diff-match-patch: crafted and random pairs, real EDID
// description texts and their edits, and the cleanups on their own must give the same list of
// operations. Both engines run without a deadline (no half-match) and with a generous one
// (half-match on, the deadline never reached), so both results are deterministic.

#include "plexatest.h"

#include "edidbuilder.h"
#include "edidcorpus.h"
#include "ediddecoder.h"
#include "textdiff.h"

#include <QDir>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace {

// The two settings the comparisons run with: no deadline, and one that is never reached.
const float Timeouts[] = {0.0f, 3600.0f};

QString opName(Diff::Operation op)
{
    switch (op) {
    case Diff::DELETE:
        return QStringLiteral("DELETE");
    case Diff::INSERT:
        return QStringLiteral("INSERT");
    case Diff::EQUAL:
        break;
    }
    return QStringLiteral("EQUAL");
}

QJsonArray toJson(const QList<Diff>& diffs)
{
    QJsonArray a;
    for (const Diff& d : diffs)
        a.append(QJsonArray{opName(d.operation), d.text});
    return a;
}

QString show(const QJsonArray& diffs)
{
    QString s = QString::fromUtf8(QJsonDocument(diffs).toJson(QJsonDocument::Compact));
    return s.size() > 1500 ? s.left(1500) + QStringLiteral("...") : s;
}

// The EQUAL and DELETE pieces give the first text, the EQUAL and INSERT pieces the second.
bool rebuilds(const QList<Diff>& diffs, const QString& a, const QString& b)
{
    QString first, second;
    for (const Diff& d : diffs) {
        if (d.operation != Diff::INSERT)
            first += d.text;
        if (d.operation != Diff::DELETE)
            second += d.text;
    }
    return first == a && second == b;
}

// No piece starts with the low half or ends with the high half of a surrogate pair.
bool keepsPairs(const QList<Diff>& diffs)
{
    for (const Diff& d : diffs) {
        if (d.text.isEmpty())
            continue;
        if (d.text.front().isLowSurrogate() || d.text.back().isHighSurrogate())
            return false;
    }
    return true;
}

// A batch of questions for the peer and our answers to them.
class PeerBatch
{
public:
    // diff_main (and optionally the semantic cleanup) on both sides.
    void addMain(const QString& label, const QString& a, const QString& b, bool checklines, float timeout,
                 bool semantic)
    {
        diff_match_patch dmp;
        dmp.Diff_Timeout = timeout;
        QList<Diff> ours = dmp.diff_main(a, b, checklines);
        QVERIFY2(rebuilds(ours, a, b), qPrintable(label));
        if (semantic) {
            dmp.diff_cleanupSemantic(ours);
            QVERIFY2(rebuilds(ours, a, b), qPrintable(label + QStringLiteral(" (semantic)")));
        }
        QVERIFY2(keepsPairs(ours), qPrintable(label));
        m_cases.append(QJsonObject{{QStringLiteral("op"), QStringLiteral("main")},
                                   {QStringLiteral("a"), a},
                                   {QStringLiteral("b"), b},
                                   {QStringLiteral("checklines"), checklines},
                                   {QStringLiteral("timeout"), double(timeout)},
                                   {QStringLiteral("semantic"), semantic}});
        m_ours.append(toJson(ours));
        m_labels.append(QStringLiteral("%1 [lines %2, timeout %3, semantic %4]")
                            .arg(label)
                            .arg(checklines)
                            .arg(double(timeout))
                            .arg(semantic));
    }

    // Every mode of diff_main: line mode on and off, both timeouts, with and without cleanup.
    void addAllModes(const QString& label, const QString& a, const QString& b)
    {
        for (const float timeout : Timeouts)
            for (const bool checklines : {true, false})
                for (const bool semantic : {false, true})
                    addMain(label, a, b, checklines, timeout, semantic);
    }

    // One of the cleanups on a given list.
    void addCleanup(const QString& label, const QString& op, const QList<Diff>& diffs)
    {
        diff_match_patch dmp;
        QList<Diff> ours = diffs;
        if (op == QLatin1String("cleanupMerge"))
            dmp.diff_cleanupMerge(ours);
        else if (op == QLatin1String("cleanupSemantic"))
            dmp.diff_cleanupSemantic(ours);
        else
            dmp.diff_cleanupSemanticLossless(ours);
        m_cases.append(QJsonObject{{QStringLiteral("op"), op}, {QStringLiteral("diffs"), toJson(diffs)}});
        m_ours.append(toJson(ours));
        m_labels.append(label + QLatin1Char(' ') + op + QLatin1Char(' ') + show(toJson(diffs)));
    }

    int size() const { return m_cases.size(); }

    // Runs the peer once for the whole batch; fails at the first case whose answers differ.
    void compare() const
    {
        QProcess peer;
        const QString python = QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                                 : QStringLiteral("python3");
        peer.start(python, {QStringLiteral(PLEXA_TEST_SUPPORT_DIR "/dmp_peer.py")});
        QVERIFY2(peer.waitForStarted(), "python3 did not start");
        peer.write(QJsonDocument(QJsonObject{{QStringLiteral("cases"), m_cases}}).toJson(QJsonDocument::Compact));
        peer.closeWriteChannel();
        QVERIFY2(peer.waitForFinished(540000), "the diff peer did not finish");
        const QByteArray err = peer.readAllStandardError();
        QVERIFY2(peer.exitStatus() == QProcess::NormalExit && peer.exitCode() == 0,
                 qPrintable(QStringLiteral("the diff peer failed (is python3-diff-match-patch installed?): ")
                            + QString::fromUtf8(err)));
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(peer.readAllStandardOutput(), &parseError);
        QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString()));
        const QJsonArray theirs = doc.array();
        QCOMPARE(theirs.size(), m_ours.size());
        for (int i = 0; i < theirs.size(); ++i) {
            if (theirs.at(i).toArray() != m_ours.at(i))
                QFAIL(qPrintable(QStringLiteral("%1\n  ours:   %2\n  python: %3")
                                     .arg(m_labels.at(i), show(m_ours.at(i)), show(theirs.at(i).toArray()))));
        }
    }

private:
    QJsonArray m_cases;
    QList<QJsonArray> m_ours;
    QStringList m_labels;
};

// Random text from pieces that exercise the boundary scores: words, digits, punctuation, white
// space, line breaks and blank lines, Latin-1 letters and characters outside the BMP.
QString randomText(QRandomGenerator& rng, int pieces)
{
    static const QStringList alphabet{
        QStringLiteral("a"),  QStringLiteral("b"),  QStringLiteral("c"),  QStringLiteral("d"),
        QStringLiteral(" "),  QStringLiteral("\n"), QStringLiteral("."),  QStringLiteral("1"),
        QStringLiteral("7"),  QStringLiteral("\t"), QStringLiteral("\r\n"), QStringLiteral("\n\n"),
        QStringLiteral(": "), QStringLiteral("Hz"), QStringLiteral("Timing"), QStringLiteral("é"),
        QString::fromUtf8("\xF0\x9F\x98\x80"), QString::fromUtf8("\xF0\x9F\x98\x81"), QStringLiteral(", "),
        QStringLiteral("x"),
    };
    QString s;
    for (int i = 0; i < pieces; ++i)
        s += alphabet.at(int(rng.bounded(alphabet.size())));
    return s;
}

// A few random edits of a text: deletions, insertions, moved and repeated runs.
QString mutate(QRandomGenerator& rng, QString s, int edits)
{
    for (int e = 0; e < edits; ++e) {
        const int pos = s.isEmpty() ? 0 : int(rng.bounded(s.size() + 1));
        const int len = int(rng.bounded(12));
        switch (rng.bounded(4)) {
        case 0:
            s.remove(pos, len);
            break;
        case 1:
            s.insert(pos, randomText(rng, 1 + len / 3));
            break;
        case 2:
            s.insert(int(rng.bounded(s.size() + 1)), s.mid(pos, len * 3));
            break;
        default:
            s.replace(pos, len, randomText(rng, 1 + len / 4));
            break;
        }
    }
    // Edits may have cut a surrogate pair: the texts stay whole for the peer (UTF-8 JSON).
    QString whole;
    for (int i = 0; i < s.size(); ++i) {
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            whole += s.mid(i, 2);
            ++i;
        } else if (!s.at(i).isSurrogate()) {
            whole += s.at(i);
        }
    }
    return whole;
}

QList<Diff> randomDiffs(QRandomGenerator& rng)
{
    static const QStringList texts{
        QString(), QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("abc"), QStringLiteral("xxx"),
        QStringLiteral("abcxxx"), QStringLiteral("xxxdef"), QStringLiteral(" "), QStringLiteral("\n"),
        QStringLiteral("\n\n"), QStringLiteral("The c"), QStringLiteral("at c"), QStringLiteral("ame."),
        QStringLiteral("1234"), QStringLiteral("a b"), QStringLiteral("ba"), QStringLiteral("\r\n"),
        QString::fromUtf8("\xF0\x9F\x98\x80"),
    };
    QList<Diff> diffs;
    const int n = int(rng.bounded(10));
    for (int i = 0; i < n; ++i) {
        Diff d;
        d.operation = Diff::Operation(rng.bounded(3));
        d.text = texts.at(int(rng.bounded(texts.size())));
        if (rng.bounded(3) == 0)
            d.text += texts.at(int(rng.bounded(texts.size())));
        diffs.append(d);
    }
    return diffs;
}

using PlexaTest::readFile;

} // namespace

class TestTextDiff : public QObject
{
    Q_OBJECT

private slots:
    void basicResults();
    void craftedPairs();
    void randomPairs();
    void edidDescriptions();
    void cleanupsOnTheirOwn();
    void surrogatesStayWhole();
    void manyDistinctLines();
    void deadline();
};

void TestTextDiff::basicResults()
{
    const QString text = QStringLiteral("Manufacturer: VLM\nProduct code: 1234\n");
    // Identical texts: one equality; both empty: nothing.
    QCOMPARE(diff_main(text, text, true), (QList<Diff>{{Diff::EQUAL, text}}));
    QCOMPARE(diff_main(QString(), QString(), true), QList<Diff>());
    QCOMPARE(diff_main(QStringLiteral(""), QString(), true), QList<Diff>());
    // An empty (or null) previous text: one insertion; and the reverse: one deletion.
    QCOMPARE(diff_main(QString(), text, true), (QList<Diff>{{Diff::INSERT, text}}));
    QCOMPARE(diff_main(QStringLiteral(""), text, true), (QList<Diff>{{Diff::INSERT, text}}));
    QCOMPARE(diff_main(text, QString(), false), (QList<Diff>{{Diff::DELETE, text}}));

    QList<Diff> diffs = diff_main(QStringLiteral("The cat"), QStringLiteral("The big cat"), true);
    QCOMPARE(diffs, (QList<Diff>{{Diff::EQUAL, QStringLiteral("The ")},
                                 {Diff::INSERT, QStringLiteral("big ")},
                                 {Diff::EQUAL, QStringLiteral("cat")}}));
    diff_cleanupSemantic(diffs);
    QCOMPARE(diffs.size(), 3);

    // The semantic cleanup turns a scatter of small edits into whole words.
    diffs = diff_main(QStringLiteral("mouse"), QStringLiteral("sofas"), false);
    diff_cleanupSemantic(diffs);
    QCOMPARE(diffs, (QList<Diff>{{Diff::DELETE, QStringLiteral("mouse")}, {Diff::INSERT, QStringLiteral("sofas")}}));

    // The default instance has the published settings.
    const diff_match_patch dmp;
    QCOMPARE(dmp.Diff_Timeout, 1.0f);
    QCOMPARE(int(dmp.Diff_EditCost), 4);
}

void TestTextDiff::craftedPairs()
{
    const QString longA = QStringLiteral("1234567890").repeated(12);
    QString longB = longA;
    longB.replace(55, 3, QStringLiteral("abcdef"));
    const QString lines1 = QStringLiteral("Header\n\nVendor: ABC\nSize: 52 cm\nGamma: 2.20\n\nBlock map\nend\n").repeated(3);
    QString lines2 = lines1;
    lines2.replace(QStringLiteral("Size: 52 cm"), QStringLiteral("Size: 53 cm"));
    lines2.replace(QStringLiteral("Gamma: 2.20\n\n"), QStringLiteral("Gamma: 2.40\n"));
    const QString crlf1 = QStringLiteral("line one\r\nline two\r\n\r\nline three. Next sentence\r\n").repeated(4);
    QString crlf2 = crlf1;
    crlf2.replace(QStringLiteral("two\r\n\r\n"), QStringLiteral("2\r\n"));

    const QList<QPair<QString, QString>> pairs{
        {QStringLiteral("abc"), QStringLiteral("ab123c")},
        {QStringLiteral("a123bc"), QStringLiteral("abc")},
        {QStringLiteral("abc"), QStringLiteral("xyz")},
        {QStringLiteral("1ayb2"), QStringLiteral("abxab")},
        {QStringLiteral("abcy"), QStringLiteral("xaxcxabc")},
        {QStringLiteral("ABCDa=bcd=efghijklmnopqrsEFGHIJKLMNOefg"),
         QStringLiteral("a-bcd-efghijklmnopqrs")},
        {QStringLiteral("a [[Pennsylvania]] and [[New"), QStringLiteral(" and [[Pennsylvania]]")},
        {QStringLiteral("The cat came."), QStringLiteral("The cat came and went.")},
        {QStringLiteral("The c at came."), QStringLiteral("The cat came.")},
        {QStringLiteral("AAA\r\n\r\nBBB"), QStringLiteral("AAA\r\nBBB\r\n\r\nBBB")},
        {QStringLiteral("x\n\ny"), QStringLiteral("x\ny")},
        {QStringLiteral("abcxxx"), QStringLiteral("xxxdef")},
        {QStringLiteral("xxxabc"), QStringLiteral("defxxx")},
        {QStringLiteral("1234567890").repeated(30), QStringLiteral("abcdefghij").repeated(30)},
        {longA, longB},
        {lines1, lines2},
        {crlf1, crlf2},
        {QStringLiteral("Größe: 52 cm × 29 cm\n").repeated(8), QStringLiteral("Größe: 53 cm × 29 cm\n").repeated(8)},
    };
    PeerBatch batch;
    int n = 0;
    for (const auto& p : pairs) {
        batch.addAllModes(QStringLiteral("pair %1").arg(n), p.first, p.second);
        batch.addAllModes(QStringLiteral("pair %1 reversed").arg(n++), p.second, p.first);
    }
    batch.compare();
}

void TestTextDiff::randomPairs()
{
    QRandomGenerator rng(20261210);
    PeerBatch batch;
    for (int i = 0; i < 160; ++i) {
        // Short texts, texts just over the line-mode threshold and longer ones.
        const int pieces = i < 60 ? int(rng.bounded(20)) : i < 120 ? 60 + int(rng.bounded(80)) : 300;
        QString a = randomText(rng, pieces);
        // Mostly edits of the first text; some unrelated texts.
        QString b = i % 8 == 7 ? randomText(rng, pieces) : mutate(rng, a, 1 + int(rng.bounded(6)));
        // Two thirds of the pairs without characters outside the BMP (compared as UTF-16).
        if (i % 3 != 0) {
            a.remove(QRegularExpression(QStringLiteral("[\\x{10000}-\\x{10FFFF}]")));
            b.remove(QRegularExpression(QStringLiteral("[\\x{10000}-\\x{10FFFF}]")));
        }
        batch.addAllModes(QStringLiteral("random %1").arg(i), a, b);
    }
    batch.compare();
}

void TestTextDiff::edidDescriptions()
{
    const EdidCorpus corpus;
    QVERIFY(corpus.timingsLoaded);
    QVERIFY(corpus.audioLoaded);
    QVERIFY(corpus.files.size() >= 20);

    // Edits an editor makes, as bytes: screen size, a feature bit, the first timing's pixel
    // clock, a letter of the monitor name, and in the extension the basic-audio flag and a
    // data block byte.
    const auto edits = [](QByteArray edid, int kind) {
        switch (kind) {
        case 0:
            edid[0x15] = char(quint8(edid[0x15]) + 1);
            break;
        case 1:
            edid[0x18] = char(quint8(edid[0x18]) ^ 0x02);
            break;
        case 2:
            edid[54] = char(quint8(edid[54]) + 1);
            break;
        case 3:
            for (int p = 54; p <= 108; p += 18) {
                if (edid.at(p) == 0 && edid.at(p + 1) == 0 && quint8(edid.at(p + 3)) == 0xFC) {
                    edid[p + 5] = 'Q';
                    break;
                }
            }
            break;
        case 4:
            if (edid.size() >= 256)
                edid[131] = char(quint8(edid[131]) ^ 0x40);
            break;
        default:
            if (edid.size() >= 256)
                edid[133] = char(quint8(edid[133]) ^ 0x01);
            break;
        }
        EdidBuilder::fixChecksums(&edid);
        return edid;
    };

    PeerBatch batch;
    QString previous;
    int used = 0;
    for (int f = 0; f < corpus.files.size(); f += 6) {
        const QByteArray edid = readFile(corpus.dir.filePath(corpus.files.at(f)));
        if (!edidInputError(edid).isEmpty())
            continue;
        const QString text = decodeEdid(edid, corpus.context, nullptr);
        QVERIFY(!text.isEmpty());
        ++used;
        for (int kind = 0; kind < 6; ++kind) {
            const QString edited = decodeEdid(edits(edid, kind), corpus.context, nullptr);
            // The description view's call: line mode, then the semantic cleanup.
            for (const float timeout : Timeouts)
                batch.addMain(corpus.files.at(f) + QStringLiteral(" edit %1").arg(kind), text, edited, true, timeout, true);
        }
        // Text-level edits: a line removed, a line repeated.
        QStringList lines = text.split(QLatin1Char('\n'));
        const int middle = lines.size() / 2;
        QStringList removed = lines;
        removed.removeAt(middle);
        QStringList repeated = lines;
        repeated.insert(middle + 3, lines.value(middle));
        for (const float timeout : Timeouts) {
            batch.addMain(corpus.files.at(f) + QStringLiteral(" line removed"), text, removed.join(QLatin1Char('\n')), true,
                          timeout, true);
            batch.addMain(corpus.files.at(f) + QStringLiteral(" line repeated"), repeated.join(QLatin1Char('\n')), text,
                          true, timeout, true);
        }
        // Another monitor's description (a large change), with a generous deadline.
        if (!previous.isEmpty() && used % 3 == 0)
            batch.addMain(corpus.files.at(f) + QStringLiteral(" after the previous monitor"), previous, text, true, 3600.0f,
                          true);
        previous = text;
    }
    QVERIFY(used >= 20);
    qInfo("%d EDID description comparisons", batch.size());
    batch.compare();
}

void TestTextDiff::cleanupsOnTheirOwn()
{
    QRandomGenerator rng(1108);
    PeerBatch batch;
    for (int i = 0; i < 400; ++i) {
        QList<Diff> diffs = randomDiffs(rng);
        if (i % 2 == 0) {
            for (Diff& d : diffs)
                d.text.remove(QRegularExpression(QStringLiteral("[\\x{10000}-\\x{10FFFF}]")));
        }
        for (const char* op : {"cleanupMerge", "cleanupSemantic", "cleanupSemanticLossless"})
            batch.addCleanup(QStringLiteral("list %1").arg(i), QLatin1String(op), diffs);
    }
    batch.compare();
}

void TestTextDiff::surrogatesStayWhole()
{
    const QString grin = QString::fromUtf8("\xF0\x9F\x98\x80");  // U+1F600: D83D DE00
    const QString beam = QString::fromUtf8("\xF0\x9F\x98\x81");  // U+1F601: D83D DE01
    const QString cool = QString::fromUtf8("\xF0\x9F\x98\x8E");  // U+1F60E
    QList<Diff> diffs = diff_main(QStringLiteral("x") + grin + QStringLiteral("y"),
                                  QStringLiteral("x") + beam + QStringLiteral("y"), true);
    // The common high half does not make a piece of its own.
    QCOMPARE(diffs, (QList<Diff>{{Diff::EQUAL, QStringLiteral("x")},
                                 {Diff::DELETE, grin},
                                 {Diff::INSERT, beam},
                                 {Diff::EQUAL, QStringLiteral("y")}}));
    diffs = diff_main(grin + beam + grin, grin + cool + grin, false);
    QVERIFY(keepsPairs(diffs));
    QCOMPARE(diffs.size(), 4);

    // Unpaired surrogates are characters of their own and come back unchanged.
    const QString lone1 = QStringLiteral("ab") + QChar(0xD800) + QStringLiteral("cd") + QChar(0xDC00);
    const QString lone2 = QStringLiteral("a") + QChar(0xDC00) + QStringLiteral("bcd") + QChar(0xD800);
    for (const bool lines : {true, false}) {
        diffs = diff_main(lone1, lone2, lines);
        QVERIFY(rebuilds(diffs, lone1, lone2));
        diff_cleanupSemantic(diffs);
        QVERIFY(rebuilds(diffs, lone1, lone2));
    }
}

void TestTextDiff::manyDistinctLines()
{
    // More distinct lines than 16-bit line codes could number, in line mode.
    QString body;
    for (int i = 0; i < 70000; ++i)
        body += QStringLiteral("line %1\n").arg(i);
    QString changed = body;
    changed.replace(QStringLiteral("\nline 68000\n"), QStringLiteral("\nline 68000 changed\n"));
    const QString a = QStringLiteral("first\n") + body + QStringLiteral("last 1");
    const QString b = QStringLiteral("begin\n") + changed + QStringLiteral("last 2");

    diff_match_patch dmp;
    dmp.Diff_Timeout = 0;
    QList<Diff> diffs = dmp.diff_main(a, b, true);
    QVERIFY(rebuilds(diffs, a, b));
    int changedChars = 0;
    for (const Diff& d : diffs)
        changedChars += d.operation == Diff::EQUAL ? 0 : d.text.size();
    QVERIFY2(changedChars < 40, qPrintable(QString::number(changedChars)));

    PeerBatch batch;
    batch.addMain(QStringLiteral("70000 lines"), a, b, true, 0.0f, true);
    batch.compare();
}

void TestTextDiff::deadline()
{
    // A deadline already passed: the bisection gives up at once and returns the unrefined
    // middle, still a correct difference.
    diff_match_patch dmp;
    const QString a = QStringLiteral("xaybzc");
    const QString b = QStringLiteral("paqbrc");
    QList<Diff> diffs = dmp.diff_main(a, b, false, QDeadlineTimer::current().deadline() - 1);
    QCOMPARE(diffs, (QList<Diff>{{Diff::DELETE, QStringLiteral("xaybz")},
                                 {Diff::INSERT, QStringLiteral("paqbr")},
                                 {Diff::EQUAL, QStringLiteral("c")}}));
    dmp.Diff_Timeout = 0;
    QCOMPARE(dmp.diff_main(a, b, false).size(), 9);

    // Long unrelated texts with the default one-second budget: the comparison ends soon after
    // the deadline with a correct, coarser result.
    QRandomGenerator rng(7);
    QString long1, long2;
    for (int i = 0; i < 60000; ++i) {
        long1 += QChar('a' + int(rng.bounded(4)));
        long2 += QChar('a' + int(rng.bounded(4)));
    }
    QElapsedTimer clock;
    clock.start();
    diffs = diff_main(long1, long2, true);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(rebuilds(diffs, long1, long2));
    QVERIFY2(elapsed < 8000, qPrintable(QString::number(elapsed)));
}

PLEXA_TEST_MAIN(TestTextDiff)
#include "tst_textdiff.moc"
