// What the EDID benchmarks share: the decode context with the program's catalogues, the corpus
// files and a callgrind instruction count.
#ifndef BENCHEDID_H
#define BENCHEDID_H

#include "edidcatalogues.h"
#include "ediddecoder.h"
#include "resources.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

// The timing and audio catalogues from the resources and a decode context naming by them, as the
// editor decodes. The context points into the object, so it is not copied.
struct BenchCatalogues
{
    TimingCatalogue timings;
    AudioCatalogue audio;
    EdidDecodeContext context;
    BenchCatalogues()
    {
        initPlexaResources();
        loadTimingCatalogue(QStringLiteral(":/catalogues/timings.xml"), &timings);
        loadAudioCatalogue(QStringLiteral(":/catalogues/audio.xml"), &audio);
        context.timings = &timings;
        context.audio = &audio;
    }
    BenchCatalogues(const BenchCatalogues&) = delete;
    BenchCatalogues& operator=(const BenchCatalogues&) = delete;
};

inline QString benchCorpusDir()
{
    return QStringLiteral(PLEXA_SOURCE_DIR "/../shared/edid-corpus");
}

// The paths of the .bin files in `folder`, in name order.
inline QStringList benchEdidFiles(const QString& folder)
{
    const QDir dir(folder);
    QStringList files;
    for (const QString& f : dir.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name))
        files << dir.filePath(f);
    return files;
}

inline QByteArray benchReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Instructions a program ran under callgrind; -1 when it could not be measured.
inline qint64 instructions(const QString& program, const QStringList& arguments)
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

#endif // BENCHEDID_H
