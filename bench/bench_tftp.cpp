// Throughput of the one-file TFTP server against tftpd-hpa: the same image file, the same client
// (tftp-hpa's `tftp`, binary mode) on loopback, one after the other in one run; both servers read
// the file as they send it. `in.tftpd` is started by the benchmark on a free loopback port and
// stopped at the end.
//
// Two ratios (tftpd-hpa's time / ours, so above 1.0 is faster than tftpd-hpa):
//  - with the pause off: the server's own cost, on a 32 MiB image (the block number wraps);
//  - with the 10 ms pause after each block that paces the extender's network module: what the
//    pacing costs. 32 MiB paced takes some eleven minutes, so by default a 2 MiB image is used;
//    its rate is the same (pass --paced-mib=32 for the whole image).
//
//   bench_tftp [--mib=32] [--paced-mib=2]
#include "tftpserver.h"
#include "timescale.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>
#include <cstdio>
#include <functional>

namespace {

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

QStringList clientArgs(quint16 port, const QString& name, const QString& out)
{
    return {QStringLiteral("-m"), QStringLiteral("binary"), QStringLiteral("127.0.0.1"), QString::number(port),
            QStringLiteral("-c"), QStringLiteral("get"), name, out};
}

// Seconds the client takes to fetch `name` from the server at `port`; -1 on failure.
double fetch(quint16 port, const QString& name, const QString& out, const QByteArray& expected,
             const std::function<bool()>& serve = {})
{
    QFile::remove(out);
    QProcess client;
    QElapsedTimer timer;
    timer.start();
    client.start(QStringLiteral("tftp"), clientArgs(port, name, out));
    if (!client.waitForStarted())
        return -1;
    if (serve && !serve())
        return -1;
    // Our server runs the event loop while it serves, so the client may be reaped already.
    if ((client.state() != QProcess::NotRunning && !client.waitForFinished(3600 * 1000)) || client.exitCode() != 0)
        return -1;
    const double seconds = timer.nsecsElapsed() / 1e9;
    QFile file(out);
    if (!file.open(QIODevice::ReadOnly) || file.readAll() != expected)
        return -1;
    return seconds;
}

double ours(const QString& path, const QByteArray& image, int pauseMs, const QString& out)
{
    TftpServer server;
    TftpServer::Options options;
    options.blockPauseMs = pauseMs;
    server.setOptions(options);
    if (!server.listen(QHostAddress::LocalHost, 0))
        return -1;
    return fetch(server.localPort(), QStringLiteral("image.bin"), out, image, [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && server.serve(file, file.size()) == TftpServer::Outcome::Done;
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    TimeScale::setFactor(1.0);
    int mib = 32;
    int pacedMib = 2;
    for (const QString& arg : app.arguments().mid(1)) {
        if (arg.startsWith(QLatin1String("--mib=")))
            mib = arg.mid(6).toInt();
        else if (arg.startsWith(QLatin1String("--paced-mib=")))
            pacedMib = arg.mid(12).toInt();
    }

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("root"));
    const QString root = dir.filePath(QStringLiteral("root"));
    QByteArray image(mib << 20, Qt::Uninitialized);
    QRandomGenerator rng(11);
    rng.fillRange(reinterpret_cast<quint32*>(image.data()), image.size() / 4);
    const QByteArray paced = image.left(pacedMib << 20);
    for (const auto& file : {qMakePair(QStringLiteral("image.bin"), image), qMakePair(QStringLiteral("paced.bin"), paced)}) {
        QFile f(QDir(root).filePath(file.first));
        if (!f.open(QIODevice::WriteOnly) || f.write(file.second) != file.second.size()) {
            std::fprintf(stderr, "cannot write the image\n");
            return 1;
        }
    }

    const quint16 port = freePort();
    QProcess tftpd;
    tftpd.start(QStringLiteral("in.tftpd"), {QStringLiteral("-L"), QStringLiteral("-a"),
                                             QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("-u"),
                                             QStringLiteral("root"), QStringLiteral("-s"), root});
    if (!tftpd.waitForStarted()) {
        std::fprintf(stderr, "in.tftpd did not start (apt-get install tftpd-hpa)\n");
        return 1;
    }
    QThread::msleep(300);
    const QString out = dir.filePath(QStringLiteral("out.bin"));

    const double peerFull = fetch(port, QStringLiteral("image.bin"), out, image);
    const double oursFull = ours(QDir(root).filePath(QStringLiteral("image.bin")), image, 0, out);
    const double peerPaced = fetch(port, QStringLiteral("paced.bin"), out, paced);
    const double oursPaced = ours(QDir(root).filePath(QStringLiteral("paced.bin")), paced, 10, out);
    tftpd.kill();
    tftpd.waitForFinished();
    if (peerFull < 0 || oursFull < 0 || peerPaced < 0 || oursPaced < 0) {
        std::fprintf(stderr, "a transfer failed (tftpd-hpa %.2f/%.2f s, ours %.2f/%.2f s)\n", peerFull, peerPaced,
                     oursFull, oursPaced);
        return 1;
    }
    const auto rate = [](int mebibytes, double seconds) { return mebibytes * 1024.0 / seconds; };
    std::printf("%d MiB, pause off: tftpd-hpa %.2f s (%.0f KiB/s), ours %.2f s (%.0f KiB/s)\n", mib, peerFull,
                rate(mib, peerFull), oursFull, rate(mib, oursFull));
    std::printf("ratio %.3f = tftpd-hpa's time / ours, the same %d MiB file to the same client, no pause "
                "(goal >= 1.0)\n",
                peerFull / oursFull, mib);
    std::printf("%d MiB, 10 ms pause per block: tftpd-hpa %.2f s, ours %.2f s (%.0f KiB/s; the pacing bounds it "
                "near 50 KB/s)\n",
                pacedMib, peerPaced, oursPaced, rate(pacedMib, oursPaced));
    std::printf("ratio %.3f = tftpd-hpa's time (unpaced) / ours with the module's 10 ms pause per block, %d MiB "
                "(what the pacing costs)\n",
                peerPaced / oursPaced, pacedMib);
    return 0;
}
