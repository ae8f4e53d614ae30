// Unpacking a 64 MiB deflated firmware package (eight 8 MiB images, half random, half
// compressible, made by Info-ZIP zip -6) with the program's ZIP reader, against Info-ZIP unzip
// on the same archive into the same kind of folder, flattened both ways (unzip -j). Best of five
// runs each, alternating; prints both and the ratio (goal: at most 1.2).
#include "ziparchive.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {
template <typename F>
double bestMs(F f, int rounds = 5)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        if (!f())
            return -1;
        best = qMin(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

// One firmware-like image: random blocks (code) between runs of text and padding.
QByteArray image(quint32 seed, int bytes)
{
    QRandomGenerator rng(seed);
    QByteArray out;
    out.reserve(bytes);
    while (out.size() < bytes) {
        QByteArray block(64 * 1024, Qt::Uninitialized);
        rng.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        out += block;
        for (int i = 0; i < 1200; ++i)
            out += "register " + QByteArray::number(i + int(seed)) + " = default\n";
        out += QByteArray(16 * 1024, char(0xff));
    }
    out.truncate(bytes);
    return out;
}
} // namespace

int main()
{
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;
    const QString files = tmp.filePath("files");
    QDir().mkpath(files);
    QStringList names;
    for (int i = 0; i < 8; ++i) {
        const QString name = QString("fw-part%1.bin").arg(i);
        QFile f(files + "/" + name);
        if (!f.open(QIODevice::WriteOnly) || f.write(image(quint32(i), 8 * 1024 * 1024)) != 8 * 1024 * 1024)
            return 1;
        names << name;
    }
    const QString archive = tmp.filePath("package.zip");
    QProcess zip;
    zip.setWorkingDirectory(files);
    zip.start("zip", QStringList{"-q", "-6", archive} + names);
    if (!zip.waitForFinished(300000) || zip.exitCode() != 0) {
        std::printf("zip failed: is Info-ZIP zip installed?\n");
        return 1;
    }

    const QByteArray archivePath = QFile::encodeName(archive);
    const QString ours = tmp.filePath("ours");
    const QString peerDir = tmp.filePath("unzip");
    double oursMs = 1e300;
    double peerMs = 1e300;
    for (int round = 0; round < 5; ++round) {
        QDir(ours).removeRecursively();
        QDir().mkpath(ours);
        const QByteArray target = QFile::encodeName(ours);
        oursMs = qMin(oursMs, bestMs([&] { return unzipAllFlat(archivePath.constData(), target.constData()) == 0; }, 1));
        QDir(peerDir).removeRecursively();
        peerMs = qMin(peerMs, bestMs([&] {
            QProcess unzip;
            unzip.start("unzip", {"-q", "-o", "-j", archive, "-d", peerDir});
            return unzip.waitForFinished(300000) && unzip.exitCode() == 0;
        }, 1));
        if (oursMs < 0 || peerMs < 0) {
            std::printf("an unpack failed\n");
            return 1;
        }
    }
    for (const QString& name : names) {
        QFile a(ours + "/" + name), b(peerDir + "/" + name);
        if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.readAll() != b.readAll()) {
            std::printf("%s differs from unzip's\n", qPrintable(name));
            return 1;
        }
    }
    std::printf("64 MiB package (%lld bytes deflated): ZIP reader %.1f ms, Info-ZIP unzip (peer) %.1f ms\n",
                QFile(archive).size(), oursMs, peerMs);
    std::printf("ratio reader/unzip %.2f (goal <= 1.2)\n", oursMs / peerMs);
    return 0;
}
