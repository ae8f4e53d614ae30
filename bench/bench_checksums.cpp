// Throughput of the two checksums over a firmware-sized image, against zlib's CRC-32 over the
// same bytes as the peer (a table-driven CRC that every firmware path already links).
#include "checksums.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>
#include <zlib.h>

namespace {
template <typename F>
double bestMs(F f, int rounds = 5)
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
} // namespace

int main()
{
    QByteArray image(16 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    rng.fillRange(reinterpret_cast<quint32*>(image.data()), image.size() / 4);

    const double crc16 = bestMs([&] { sink = calcCrc16(image.constData(), image.size()); });
    const double sum16 = bestMs([&] { sink = calcByteSum16(image.constData(), image.size()); });
    const double peer = bestMs([&] {
        sink = crc32(0, reinterpret_cast<const Bytef*>(image.constData()), uInt(image.size()));
    });
    std::printf("16 MiB image: calcCrc16 %.1f ms, calcByteSum16 %.1f ms, zlib crc32 (peer) %.1f ms\n", crc16, sum16,
                peer);
    std::printf("ratio calcCrc16/peer %.2f, calcByteSum16/peer %.2f\n", crc16 / peer, sum16 / peer);
    return 0;
}
