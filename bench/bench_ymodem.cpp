// Throughput of the YMODEM engine: a 256 KiB file to the simulated unit's receiver over a pty
// paced at the line rate, in the scalers' variant (1K blocks, CRC-16, an ACK per block). The
// peer is the line itself: the limit is the file's bytes at the line rate (start, 8 data and a
// stop bit each). The variant's fixed pauses (2 s after the command, 3 s before block 0, 2 s
// before the closing block) are measured by the engine. Two ratios: while data moves (the pauses
// left out), and end to end (the pauses in), which is what a user waits.
//
//   bench_ymodem [baud=115200] [KiB=256]
#include "serialports.h"
#include "ymodem.h"
#include "ymodemunitsim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSerialPort>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint32 baud = args.size() > 1 ? args.at(1).toInt() : 115200;
    const int kib = args.size() > 2 ? args.at(2).toInt() : 256;
    SerialPortLister::setSystemPortsListed(false);

    YmodemUnitSim unit;
    SimYmodemReceiver::Script script;
    script.completionText = "\r\nThe EDID file transmission is complete.\r\n>";
    unit.setScript(script);
    unit.setPaced(true);
    if (!unit.startPty()) {
        std::fprintf(stderr, "no pty\n");
        return 1;
    }
    QSerialPort port;
    port.setPortName(unit.portName());
    port.setBaudRate(baud);
    if (!port.open(QIODevice::ReadWrite) || !port.setBaudRate(baud)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(unit.portName()));
        return 1;
    }
    const SimSerialSettings line = unit.serialSettings();
    const int bitsPerByte = 1 + line.dataBits + (line.parity == 'N' ? 0 : 1) + line.stopBits;

    QByteArray data(kib * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    rng.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);

    YmodemPortChannel channel(port);
    QElapsedTimer timer;
    timer.start();
    const YmodemResult result = YmodemSender(channel, YmodemSendOptions::scalerEdid("#SEND_EDID\r")).send("bench.bin", data);
    const double totalS = timer.nsecsElapsed() / 1e9;
    if (!result.ok() || unit.data() != data) {
        std::fprintf(stderr, "transfer failed: %s\n", qPrintable(result.reason));
        return 1;
    }

    const double pausesS = result.pausedMs / 1e3;
    const double transferS = totalS - pausesS;
    const double limitS = double(data.size()) * bitsPerByte / baud;
    std::printf("%d KiB at %d baud (%s): %.2f s in all, %.2f s of fixed pauses counted apart, %.2f s moving data\n", kib,
                baud, qPrintable(line.toString()), totalS, pausesS, transferS);
    std::printf("line-rate limit %.2f s; %d blocks, %d resends\n", limitS, result.blocks, result.resends);
    std::printf("ratio while moving data (line-rate limit / time less the fixed pauses): %.3f (goal >= 0.90)\n",
                limitS / transferS);
    std::printf("ratio end to end (line-rate limit / whole transfer, fixed pauses included): %.3f\n",
                limitS / totalS);
    return 0;
}
