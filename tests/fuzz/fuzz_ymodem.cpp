// libFuzzer target for the YMODEM sender and receiver: each runs against a well-behaved peer over
// a channel that the input garbles, tears and cuts (the peer's bytes as the engine under test
// sees them: dropped, replaced, bit-flipped, inserted, silences between them, the link closed).
// The channel answers at once, so every wait of the engine is a step of the input, not time.
//
// Checks: no crash, no out-of-bounds access, the engine ends (a bounded count of reads and
// writes); the sender writes only its start command, well-formed frames of the right bytes in
// order, EOT and its abort bytes, and reports the whole file only once it sent all of it; the
// receiver never hands over more than it may take, and a file it reports as received is the one
// sent, unless the garbled stream itself carried a valid frame the sender never made.
//
// Input: byte 0 chooses the end under test (bit 0) and its options (bits 1-3), byte 1 and 2 the
// file size (up to 4 KiB), then the channel's script, one operation a byte (see Garbler).
// Built and run by run-fuzz.sh with clang: -fsanitize=fuzzer,address,undefined.

#include "ymodem.h"

#include "timescale.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// FUZZ_YMODEM_TRACE=1 prints how each run ended (to read a reproducer or check the seeds).
void trace(const char* end, const YmodemResult& result)
{
    static const bool on = qEnvironmentVariableIsSet("FUZZ_YMODEM_TRACE");
    if (on)
        std::fprintf(stderr, "fuzz_ymodem: %s %s at step %d (%s), %lld bytes\n", end, result.ok() ? "done" : "failed",
                     int(result.stage), qPrintable(result.reason), result.bytes);
}

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_ymodem: %s\n", what);
    std::abort();
}

// The far end as the input garbles it. What the peer sends waits in `pending`; each byte the
// engine reads passes through the script:
//   op & 7 == 0: pass (op >> 3) + 1 bytes           4: insert the script's next byte
//             1: pass 32 * ((op >> 3) + 1) bytes    5: silence (one time-out)
//             2: drop the next byte                 6: the link closes for good
//             3: replace it with the script's next  7: flip bit (op >> 3) & 7 of the next byte
// Once the script is spent every byte passes; nothing pending reads as silence.
class Garbler : public YmodemChannel
{
public:
    Garbler(const uint8_t* script, size_t size)
        : m_script(script)
        , m_size(size)
    {
    }

    std::function<void(const QByteArray&)> peer; // hears what the engine writes
    QByteArray pending;                          // what the peer sends, not yet read
    QByteArray delivered;                        // what the engine was given
    QList<QByteArray> writes;                    // what the engine wrote, call by call

    bool write(const QByteArray& bytes) override
    {
        if (++m_writes > 100000)
            fail("the engine keeps writing");
        writes.append(bytes);
        if (peer && !m_closed)
            peer(bytes);
        return !m_closed;
    }

    int readByte(const QDeadlineTimer&) override
    {
        if (++m_reads > 2000000)
            fail("the engine keeps reading");
        if (m_closed)
            return Closed;
        for (;;) {
            if (m_pass > 0 || m_pos >= m_size) {
                if (pending.isEmpty())
                    return Timeout;
                if (m_pass > 0)
                    --m_pass;
                return give(take());
            }
            const uint8_t op = m_script[m_pos++];
            switch (op & 7) {
            case 0: m_pass = (op >> 3) + 1; break;
            case 1: m_pass = 32 * ((op >> 3) + 1); break;
            case 2:
                if (!pending.isEmpty())
                    take();
                break;
            case 3:
                if (!pending.isEmpty()) {
                    take();
                    return give(nextScriptByte());
                }
                break;
            case 4: return give(nextScriptByte());
            case 5: return Timeout;
            case 6: m_closed = true; return Closed;
            case 7:
                if (!pending.isEmpty())
                    return give(take() ^ (1 << ((op >> 3) & 7)));
                break;
            }
        }
    }

    void pause(int) override {}
    bool closed() const { return m_closed; }

private:
    int take()
    {
        const int b = quint8(pending.at(0));
        pending.remove(0, 1);
        return b;
    }
    int nextScriptByte() { return m_pos < m_size ? m_script[m_pos++] : 0; }
    int give(int b)
    {
        delivered.append(char(b));
        return quint8(b);
    }

    const uint8_t* m_script;
    size_t m_size;
    size_t m_pos = 0;
    int m_pass = 0;
    bool m_closed = false;
    long m_reads = 0;
    long m_writes = 0;
};

QByteArray fileOf(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = 0x9E3779B9u ^ quint32(size);
    for (char& c : data) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    return data;
}

// ---- The sender under test, a standard receiver as its peer ----------------------------------

void fuzzSender(int preset, const QByteArray& file, Garbler& channel)
{
    YmodemSendOptions options;
    switch (preset) {
    case 0: options = YmodemSendOptions::standard(); break;
    case 1: options = YmodemSendOptions::standard(); options.blockSize = Ymodem::HeaderSize; break;
    case 2: options = YmodemSendOptions::scalerEdid("#SEND_EDID 1\r"); break;
    case 3: options = YmodemSendOptions::serialFirmware("Upgrade OK"); break;
    case 4: options = YmodemSendOptions::unitFirmware("#fw_upgrade\r", 3000); break;
    case 5: options = YmodemSendOptions::testDeviceEdid("#loedidtolo\r"); break;
    case 6: options = YmodemSendOptions::testDeviceEdid("#loedidtolo\r"); options.ending = YmodemEnding::FinalEot; break;
    default: options = YmodemSendOptions::standard(); options.maxResends = 0; break;
    }
    const Ymodem::Check check = options.check;

    // The peer: "W" for a start command when the options wait for one, "C" to start, ACK for every
    // frame that checks, NAK for the first EOT and for a frame that does not, "C" after block 0
    // and after the EOT, and the success text after the ending.
    int eots = 0;
    const QByteArray success = options.successText;
    const char ready = options.readyByte;
    const bool commanded = !options.startCommand.isEmpty();
    if (!commanded)
        channel.pending.append(Ymodem::CRC_REQUEST);
    channel.peer = [&](const QByteArray& bytes) {
        if (commanded && bytes == options.startCommand) {
            if (ready)
                channel.pending.append(ready);
            channel.pending.append(Ymodem::CRC_REQUEST);
            return;
        }
        if (bytes.size() == 1 && bytes.at(0) == Ymodem::EOT) {
            if (++eots == 1 && options.ending != YmodemEnding::FinalEot) {
                channel.pending.append(Ymodem::NAK);
                return;
            }
            channel.pending.append(Ymodem::ACK);
            channel.pending.append(eots == 2 && options.ending == YmodemEnding::FinalEot ? success : QByteArray(1, 'C'));
            return;
        }
        quint8 number = 0;
        QByteArray data;
        if (!Ymodem::checkFrame(bytes, check, &number, &data)) {
            channel.pending.append(Ymodem::NAK);
            return;
        }
        channel.pending.append(Ymodem::ACK);
        if (number == 0 && eots == 0)
            channel.pending.append(Ymodem::CRC_REQUEST);
        else if (number == 0)
            channel.pending.append(success);
    };

    YmodemSender sender(channel, options);
    const YmodemResult result = sender.send(QStringLiteral("edid.bin"), file);
    trace("send", result);

    // What the sender wrote: its start command, frames, EOT and the abort bytes, nothing else.
    const int blockSize = options.blockSize >= Ymodem::BlockSize1K ? Ymodem::BlockSize1K : Ymodem::HeaderSize;
    int lastData = 0;
    bool eotSent = false;
    bool closingSent = false;
    for (const QByteArray& bytes : channel.writes) {
        if (bytes == options.startCommand || bytes == options.abortBytes)
            continue;
        if (bytes.size() == 1 && bytes.at(0) == Ymodem::EOT) {
            if (lastData * qint64(blockSize) < file.size())
                fail("EOT before the whole file was sent");
            eotSent = true;
            continue;
        }
        quint8 number = 0;
        QByteArray data;
        if (!Ymodem::checkFrame(bytes, check, &number, &data))
            fail("the sender wrote a malformed frame");
        if (number == 0) {
            if (eotSent)
                closingSent = true;
            else if (lastData != 0)
                fail("block 0 among the data blocks");
            continue;
        }
        if (eotSent)
            fail("a data block after EOT");
        const int index = (number == quint8(lastData + 1)) ? lastData + 1 : lastData;
        if (index == 0 || quint8(index) != number)
            fail("a data block out of order");
        QByteArray expected = file.mid((index - 1) * blockSize, blockSize);
        expected.append(QByteArray(blockSize - expected.size(), Ymodem::SUB));
        if (data != expected)
            fail("a data block does not hold the file's bytes");
        lastData = index;
    }
    if (result.bytes > file.size() || result.bytes != qMin<qint64>(file.size(), qint64(result.blocks) * blockSize))
        fail("the bytes reported do not match the blocks acknowledged");
    if (result.ok()) {
        if (result.bytes != file.size() || !eotSent)
            fail("a transfer reported whole that was not sent whole");
        // A receiver that hangs up once it acknowledged the EOT holds the whole file: that is the
        // one way to be done without the closing block.
        const bool hungUpAfterEot = result.delivered && channel.closed();
        if (options.ending == YmodemEnding::ClosingBlock && !closingSent && !hungUpAfterEot)
            fail("a transfer reported whole without its closing block");
    }
}

// ---- The receiver under test, a standard sender as its peer ----------------------------------

void fuzzReceiver(int preset, const QByteArray& file, Garbler& channel)
{
    YmodemReceiveOptions options;
    bool finalEot = false;
    switch (preset & 3) {
    case 0: options = YmodemReceiveOptions::standard(); break;
    case 1: options = YmodemReceiveOptions::standard(); options.maxSize = 1000; break;
    case 2: options = YmodemReceiveOptions::testDeviceEdid("#saveloedid edid.bin\r", 4096); break;
    default:
        options = YmodemReceiveOptions::testDeviceEdid("#saveloedid edid.bin\r", 4096);
        finalEot = true;
        break;
    }
    const int blockSize = (preset & 4) ? Ymodem::HeaderSize : Ymodem::BlockSize1K;

    QList<QByteArray> frames; // everything the peer may send, in order
    frames.append(Ymodem::headerFrame(QStringLiteral("edid.bin"), file.size()));
    for (int pos = 0, n = 1; pos < file.size(); pos += blockSize, ++n)
        frames.append(Ymodem::frame(quint32(n), file.mid(pos, blockSize), blockSize));
    frames.append(QByteArray(1, Ymodem::EOT));
    frames.append(finalEot ? QByteArray(1, Ymodem::EOT) : Ymodem::closingFrame());
    const int dataFrames = frames.size() - 3;

    // The peer: "W" for the command, each frame on "C" (block 0, the first data block, the
    // ending) or after the ACK of the one before, the same frame again on a NAK.
    int current = -1; // the frame last sent
    bool headerTaken = false;
    const bool commanded = !options.startCommand.isEmpty();
    channel.peer = [&](const QByteArray& bytes) {
        if (commanded && bytes == options.startCommand) {
            channel.pending.append('W');
            return;
        }
        for (const char b : bytes) {
            int next = -1;
            if (b == Ymodem::ACK && current == 0)
                headerTaken = true;
            else if (b == Ymodem::CRC_REQUEST && current <= 0)
                next = headerTaken ? 1 : 0; // block 0 again until it was acknowledged
            else if (b == Ymodem::CRC_REQUEST && current == dataFrames + 1)
                next = current + 1;
            else if (b == Ymodem::ACK && current >= 1 && current <= dataFrames)
                next = current + 1;
            else if (b == Ymodem::NAK && current >= 0)
                next = current;
            if (next >= 0 && next < frames.size()) {
                channel.pending.append(frames.at(next));
                current = next;
            }
        }
    };

    YmodemReceiver receiver(channel, options);
    const YmodemResult result = receiver.receive();
    trace("receive", result);

    if (result.data.size() > options.maxSize)
        fail("the receiver took more than it may");
    if (!result.ok())
        return;
    // A valid frame in the stream that the peer never made lets a garbled file through: only a
    // transfer without one must give back the file.
    const QByteArray& stream = channel.delivered;
    for (int i = 0; i < stream.size(); ++i) {
        if (stream.at(i) != Ymodem::SOH && stream.at(i) != Ymodem::STX)
            continue;
        const QByteArray candidate = stream.mid(i, (stream.at(i) == Ymodem::STX ? Ymodem::BlockSize1K : Ymodem::HeaderSize) + 5);
        if (Ymodem::checkFrame(candidate, options.check) && !frames.contains(candidate))
            return;
    }
    if (result.data != file || result.fileName != QLatin1String("edid.bin"))
        fail("a file reported received differs from the one sent");
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    static const bool once = [] {
        qInstallMessageHandler(quiet); // every failure is logged with qDebug
        return true;
    }();
    Q_UNUSED(once)
    const int fileSize = (data[1] | (data[2] << 8)) % 4097;
    const QByteArray file = fileOf(fileSize);
    Garbler channel(data + 3, size - 3);
    if (data[0] & 1)
        fuzzReceiver((data[0] >> 1) & 7, file, channel);
    else
        fuzzSender((data[0] >> 1) & 7, file, channel);
    return 0;
}
