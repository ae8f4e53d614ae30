// Throughput of the two checksums over a 16 MiB firmware-sized image, each against an independent
// implementation of the same algorithm and against the rate at which this machine reads the same
// bytes (glibc's memchr for a byte that is not there, the fastest plain read of a buffer):
//   calcCrc16      CRC-16/XMODEM, against crcmod's C extension (Debian's python3-crcmod,
//                  predefined "xmodem"), timed inside Python around the one call
//   calcByteSum16  byte sum in 16 bits, against Python's built-in sum() over the bytes (C code)
// Both peers must give the same value over the same bytes, or the benchmark fails.
//
//   bench_checksums
#include "checksums.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <cstdio>
#include <cstring>

namespace {
constexpr int Rounds = 5;

template <typename F>
double bestMs(F f, int rounds = Rounds)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = qMin(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}
volatile quint32 sink;
const void* volatile found;

// Runs the Python peers over the image in `path`; fills the best times (ms) and their values.
bool pythonPeers(const QString& path, double* crcMs, quint32* crc, double* sumMs, quint32* sum)
{
    const QString script = QStringLiteral(
        "import sys, time\n"
        "import crcmod.predefined\n"
        "if not sys.modules['crcmod.crcmod']._usingExtension: sys.exit('crcmod without its C extension')\n"
        "data = open(sys.argv[1], 'rb').read()\n"
        "f = crcmod.predefined.mkCrcFun('xmodem')\n"
        "def best(g):\n"
        "    b = None\n"
        "    for _ in range(%1):\n"
        "        t = time.perf_counter(); v = g(); e = time.perf_counter() - t\n"
        "        b = e if b is None or e < b else b\n"
        "    return b * 1e3, v\n"
        "c = best(lambda: f(data))\n"
        "s = best(lambda: sum(data) & 0xFFFF)\n"
        "print('%.3f %d %.3f %d' % (c[0], c[1], s[0], s[1]))\n")
                               .arg(Rounds);
    QProcess python;
    // Debian's interpreter, where python3-crcmod lives (not one that a PATH entry may put first).
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(300000) || python.exitCode() != 0) {
        std::fprintf(stderr, "python3 peer failed: %s\n", python.readAllStandardError().constData());
        return false;
    }
    const QList<QByteArray> f = python.readAllStandardOutput().trimmed().split(' ');
    if (f.size() != 4)
        return false;
    *crcMs = f.at(0).toDouble();
    *crc = f.at(1).toUInt();
    *sumMs = f.at(2).toDouble();
    *sum = f.at(3).toUInt();
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QByteArray image(16 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    rng.fillRange(reinterpret_cast<quint32*>(image.data()), image.size() / 4);
    // memchr must read to the end: the byte it looks for is nowhere in the image.
    for (char& c : image) {
        if (c == '\x7F')
            c = '\x7E';
    }
    QTemporaryFile file;
    if (!file.open() || file.write(image) != image.size() || !file.flush()) {
        std::fprintf(stderr, "cannot write the image for the peers\n");
        return 1;
    }

    const quint16 ourCrc = calcCrc16(image.constData(), image.size());
    const quint16 ourSum = calcByteSum16(image.constData(), image.size());
    const double crc16 = bestMs([&] { sink = calcCrc16(image.constData(), image.size()); });
    const double sum16 = bestMs([&] { sink = calcByteSum16(image.constData(), image.size()); });
    const double read = bestMs([&] { found = std::memchr(image.constData(), 0x7F, size_t(image.size())); });

    double peerCrcMs = 0, peerSumMs = 0;
    quint32 peerCrc = 0, peerSum = 0;
    if (!pythonPeers(file.fileName(), &peerCrcMs, &peerCrc, &peerSumMs, &peerSum))
        return 1;
    if (peerCrc != ourCrc || peerSum != ourSum) {
        std::fprintf(stderr, "values differ: CRC-16 %04X against %04X, sum %04X against %04X\n", ourCrc, peerCrc,
                     ourSum, peerSum);
        return 1;
    }

    const double mib = image.size() / 1048576.0;
    const auto rate = [mib](double ms) { return mib / (ms / 1e3); };
    std::printf("16 MiB image, best of %d:\n", Rounds);
    std::printf("  calcCrc16 %.1f ms (%.0f MiB/s); crcmod C extension \"xmodem\" %.1f ms (%.0f MiB/s); same value %04X\n",
                crc16, rate(crc16), peerCrcMs, rate(peerCrcMs), ourCrc);
    std::printf("  calcByteSum16 %.1f ms (%.0f MiB/s); Python sum() over the bytes %.1f ms (%.0f MiB/s); same value %04X\n",
                sum16, rate(sum16), peerSumMs, rate(peerSumMs), ourSum);
    std::printf("  read limit: memchr over the same bytes %.1f ms (%.0f MiB/s)\n", read, rate(read));
    std::printf("ratio calcCrc16 against crcmod (peer time / ours, > 1 is faster): %.2f\n", peerCrcMs / crc16);
    std::printf("ratio calcByteSum16 against Python sum() (peer time / ours, > 1 is faster): %.2f\n", peerSumMs / sum16);
    std::printf("ratio calcCrc16 against the read limit (read time / ours, 1.00 is the limit): %.3f\n", read / crc16);
    std::printf("ratio calcByteSum16 against the read limit (read time / ours, 1.00 is the limit): %.3f\n",
                read / sum16);
    return 0;
}
