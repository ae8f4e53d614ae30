// Time per KiB of the generic scalers' boot-loader upload: the real controller sends an image to
// the simulated boot loader over a pty paced at the line rate. Two sizes are sent and the time per
// KiB is their difference, so the run's fixed parts (the 2 s after the header, the 2 s after the
// reset, the "#FW_UPGRADE" exchange) fall out. The limit is the image's own bytes at the line rate
// (start, 8 data and a stop bit each).
//
//   bench_bootloader [smallKiB=4] [largeKiB=36]
#include "scalerfixture.h"
#include "scalersim.h"
#include "serialports.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {
// Seconds for one upload of `kib` KiB, or a negative value when it failed.
double uploadSeconds(int kib, qint32* baud)
{
    ScalerFixture f;
    ScalerSim sim(ScalerSim::Model::Dvi);
    sim.setPaced(true);
    if (!sim.start())
        return -1;
    sim.enterBootLoader(); // straight to the packets: the firmware's text exchange is not measured
    f.pickGeneric(sim.portName(), ScalerSim::modelName(ScalerSim::Model::Dvi));
    f.scaler->deviceState = 2;
    QTemporaryDir dir;
    QByteArray image(kib * 1024, Qt::Uninitialized);
    QRandomGenerator rng(11);
    rng.fillRange(reinterpret_cast<quint32*>(image.data()), image.size() / 4);
    const QString path = dir.filePath(QStringLiteral("fw.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        return -1;
    file.close();
    f.ui.updateFilename->setText(path);

    QElapsedTimer timer;
    timer.start();
    f.scaler->initiateFirmwareUpdate();
    const double seconds = timer.nsecsElapsed() / 1e9;
    *baud = ScalerSim::BootLoaderRate;
    QByteArray expected = image;
    return sim.bootLoaderImage() == expected && f.scaler->deviceState == 1 ? seconds : -1;
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int small = args.size() > 1 ? args.at(1).toInt() : 4;
    const int large = args.size() > 2 ? args.at(2).toInt() : 36;
    SerialPortLister::setSystemPortsListed(false);

    qint32 baud = 0;
    const double smallS = uploadSeconds(small, &baud);
    const double largeS = uploadSeconds(large, &baud);
    if (smallS < 0 || largeS < 0) {
        std::fprintf(stderr, "upload failed\n");
        return 1;
    }
    const double perKiB = (largeS - smallS) / (large - small);
    const double limitPerKiB = 1024.0 * 10 / baud;
    // Per 80-byte data packet: the packet (83), its 00 CC, get status (3), 00 CC 03 40 40, CC.
    const double wireBytesPerPacket = 83 + 2 + 3 + 5 + 1;
    const double protocolPerKiB = 1024.0 / 80 * wireBytesPerPacket * 10 / baud;
    std::printf("%d KiB: %.2f s, %d KiB: %.2f s at %d baud\n", small, smallS, large, largeS, baud);
    std::printf("%.1f ms per KiB; line-rate limit %.1f ms per KiB (file bytes), %.1f ms with the protocol's own bytes\n",
                perKiB * 1e3, limitPerKiB * 1e3, protocolPerKiB * 1e3);
    std::printf("ratio %.3f of line rate (%.3f of the protocol's floor)\n", limitPerKiB / perKiB,
                protocolPerKiB / perKiB);
    return 0;
}
