// EDID decoding cost: instructions per EDID of the corpus, counted with callgrind, for our
// decoder and for Debian's edid-decode on the same files, each less the cost of an empty run.
//
//   bench_edid                 run the comparison (needs valgrind and edid-decode)
//   bench_edid --decode FILES  decode the files and exit (what callgrind measures)

#include "ediddecoder.h"
#include "resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

namespace {
int decodeFiles(const QStringList& files)
{
    initPlexaResources();
    TimingCatalogue timings;
    AudioCatalogue audio;
    loadTimingCatalogue(QStringLiteral(":/catalogues/timings.xml"), &timings);
    loadAudioCatalogue(QStringLiteral(":/catalogues/audio.xml"), &audio);
    EdidDecodeContext context;
    context.timings = &timings;
    context.audio = &audio;
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

// Instructions a program ran under callgrind; -1 when it could not be measured.
qint64 instructions(const QString& program, const QStringList& arguments)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("callgrind.out"));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("valgrind"), QStringList{QStringLiteral("--tool=callgrind"),
                                                    QStringLiteral("--callgrind-out-file=") + out, program}
                                            + arguments);
    if (!p.waitForFinished(600000))
        return -1;
    const QString log = QString::fromLocal8Bit(p.readAll());
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Collected : (\\d+)")).match(log);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("--decode"))
        return decodeFiles(args.mid(1));

    const QString corpus = args.value(0, QStringLiteral(PLEXA_SOURCE_DIR "/../shared/edid-corpus"));
    QStringList files;
    for (const QString& f : QDir(corpus).entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name))
        files << QDir(corpus).filePath(f);
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
