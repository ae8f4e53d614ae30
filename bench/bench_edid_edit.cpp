// Refresh budget of the EDID editor: what one edit costs (encode the edited state, decode the
// result for its description text, compare that text with the previous description: diff_main,
// then diff_cleanupSemantic), expressed in units of one `edid-decode -c` run over the same EDID.
// This is not a race between two programs doing the same work: the editor does three steps where
// edid-decode does one, and the figure says how many edid-decode runs one refresh is worth.
// Counted in instructions with callgrind for a 256-byte EDID of the corpus; each less the cost of
// an empty run.
//
//   bench_edid_edit [FILE]                    run the comparison (needs valgrind and edid-decode);
//                                             FILE defaults to the corpus' first 256-byte EDID
//   bench_edid_edit --refresh FILE N [PARTS]  set up the editor for FILE, then run N refreshes and
//                                             exit (what callgrind measures). PARTS picks the steps
//                                             done afresh: e(ncode), d(ecode), f (diff); default edf.

#include "benchedid.h"
#include "edidencoder.h"
#include "textdiff.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr int Refreshes = 20;

int refresh(const QString& file, int count, const QString& parts)
{
    const BenchCatalogues catalogues;
    const EdidDecodeContext& context = catalogues.context;

    // What the editor holds after loading the EDID.
    EdidState loaded;
    if (decodeEdid(benchReadFile(file), context, &loaded).isEmpty())
        return 1;
    // Two edits that alternate (the screen width changed back and forth), so every refresh
    // finds a changed description. Their bytes and texts are made here too, for the runs that
    // time only some of the steps.
    EdidState states[2] = {loaded, loaded};
    states[0].hSizeCm = loaded.hSizeCm + 1;
    states[1].hSizeCm = loaded.hSizeCm + 2;
    QByteArray bytes[2];
    QString texts[2];
    for (int k = 0; k < 2; ++k) {
        bytes[k] = encodeEdid(states[k]).bytes;
        if (bytes[k].isEmpty())
            return 1;
        texts[k] = decodeEdid(bytes[k], context, nullptr);
    }

    const bool encode = parts.contains(QLatin1Char('e'));
    const bool decode = parts.contains(QLatin1Char('d'));
    const bool diff = parts.contains(QLatin1Char('f'));
    QString previous = texts[1];
    qint64 sink = 0;
    for (int i = 0; i < count; ++i) {
        const int k = i % 2;
        const QByteArray b = encode ? encodeEdid(states[k]).bytes : bytes[k];
        const QString text = decode ? decodeEdid(b, context, nullptr) : texts[k];
        if (diff) {
            QList<Diff> diffs = diff_main(previous, text, true);
            diff_cleanupSemantic(diffs);
            sink += diffs.size();
        }
        sink += b.size() + text.size();
        previous = text;
    }
    return sink >= 0 ? 0 : 1;
}

// The first 256-byte EDID of the corpus (in name order) that the encoder can write.
QString defaultEdid()
{
    for (const QString& path : benchEdidFiles(benchCorpusDir())) {
        const QByteArray edid = benchReadFile(path);
        if (edid.size() != 256)
            continue;
        EdidState state;
        if (!decodeEdid(edid, EdidDecodeContext(), &state).isEmpty() && encodeEdid(state).ok())
            return path;
    }
    return QString();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("--refresh"))
        return refresh(args.value(1), args.value(2).toInt(), args.value(3, QStringLiteral("edf")));

    const QString file = args.isEmpty() ? defaultEdid() : args.first();
    if (file.isEmpty() || benchReadFile(file).size() != 256) {
        std::fprintf(stderr, "no 256-byte EDID to measure\n");
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const QString n = QString::number(Refreshes);
    const auto ours = [&](const QString& count, const QString& parts) {
        return instructions(self, {QStringLiteral("--refresh"), file, count, parts});
    };
    const qint64 empty = ours(QStringLiteral("0"), QStringLiteral("edf"));
    const qint64 all = ours(n, QStringLiteral("edf"));
    const qint64 encodeOnly = ours(n, QStringLiteral("e"));
    const qint64 decodeOnly = ours(n, QStringLiteral("d"));
    const qint64 diffOnly = ours(n, QStringLiteral("f"));
    if (empty < 0 || all < 0 || encodeOnly < 0 || decodeOnly < 0 || diffOnly < 0) {
        std::fprintf(stderr, "our edit refresh could not be measured\n");
        return 1;
    }

    QTemporaryDir tmp;
    const QString emptyFile = tmp.filePath(QStringLiteral("empty.bin"));
    QFile(emptyFile).open(QIODevice::WriteOnly);
    const qint64 peerEmpty = instructions(QStringLiteral("edid-decode"), {QStringLiteral("-c"), emptyFile});
    const qint64 peerFull = instructions(QStringLiteral("edid-decode"), {QStringLiteral("-c"), file});
    if (peerEmpty < 0 || peerFull < 0) {
        std::fprintf(stderr, "edid-decode could not be measured\n");
        return 1;
    }

    const auto perRefresh = [&](qint64 total) { return double(total - empty) / Refreshes; };
    const double refreshCost = perRefresh(all);
    const double peer = double(peerFull - peerEmpty);
    std::printf("EDID: %s\n", qPrintable(QFileInfo(file).fileName()));
    std::printf("edit refresh: %.0f instructions (encode %.0f, decode %.0f, diff %.0f)\n", refreshCost,
                perRefresh(encodeOnly), perRefresh(decodeOnly), perRefresh(diffOnly));
    std::printf("edid-decode -c: %.0f instructions\n", peer);
    std::printf("refresh budget (one edit refresh, three steps, in edid-decode -c runs): %.2f\n", refreshCost / peer);
    std::printf("decode step alone against edid-decode -c (same work): %.2f\n", perRefresh(decodeOnly) / peer);
    return 0;
}
