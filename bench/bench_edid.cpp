// EDID decoding cost: instructions per EDID of the corpus, counted with callgrind, for our
// decoder and for Debian's edid-decode on the same files, each less the cost of an empty run.
//
//   bench_edid                 run the comparison (needs valgrind and edid-decode)
//   bench_edid --decode FILES  decode the files and exit (what callgrind measures)

#include "benchedid.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
int decodeFiles(const QStringList& files)
{
    const BenchCatalogues catalogues;
    const EdidDecodeContext& context = catalogues.context;
    int total = 0;
    for (const QString& name : files) {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        EdidState state;
        total += decodeEdid(f.readAll(), context, &state).size();
    }
    return total > 0 || files.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("--decode"))
        return decodeFiles(args.mid(1));

    const QString corpus = args.value(0, benchCorpusDir());
    const QStringList files = benchEdidFiles(corpus);
    if (files.isEmpty()) {
        std::fprintf(stderr, "no EDIDs in %s\n", qPrintable(corpus));
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const qint64 oursEmpty = instructions(self, {QStringLiteral("--decode")});
    const qint64 oursAll = instructions(self, QStringList{QStringLiteral("--decode")} + files);

    // edid-decode takes one EDID per run: its empty run is a run on an empty file.
    QTemporaryDir tmp;
    const QString empty = tmp.filePath(QStringLiteral("empty.bin"));
    QFile(empty).open(QIODevice::WriteOnly);
    const qint64 peerEmpty = instructions(QStringLiteral("edid-decode"), {empty});
    qint64 peerAll = 0;
    for (const QString& f : files) {
        const qint64 n = instructions(QStringLiteral("edid-decode"), {f});
        if (n < 0 || peerEmpty < 0) {
            std::fprintf(stderr, "edid-decode could not be measured\n");
            return 1;
        }
        peerAll += n - peerEmpty;
    }
    if (oursEmpty < 0 || oursAll < 0) {
        std::fprintf(stderr, "our decoder could not be measured\n");
        return 1;
    }
    const double ours = double(oursAll - oursEmpty) / files.size();
    const double peer = double(peerAll) / files.size();
    std::printf("EDIDs: %d\n", int(files.size()));
    std::printf("ours:        %.0f instructions per EDID\n", ours);
    std::printf("edid-decode: %.0f instructions per EDID\n", peer);
    std::printf("ratio (ours / edid-decode): %.2f\n", ours / peer);
    return 0;
}
