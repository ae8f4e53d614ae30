#ifndef YMODEM_H
#define YMODEM_H

// YMODEM: the program's one implementation of the file transfers of the scalers' EDID upload,
// the test devices' EDID transfers and the serial firmware uploads. It speaks standard YMODEM
// (as lrzsz's `sb` and `rb` do: CRC-16/XMODEM sent high byte first, block numbers modulo 256,
// 1024- and 128-byte blocks, a block 0 of name, NUL, size, NUL) and, as options of the same
// engine, the variants of the units: the scalers' "W"-then-"C" start with fixed pauses, the test
// devices' final EOT in place of the closing block, the serial units' firmware upload with
// check bytes sent as zeros and no resends, and the test devices' and HDBaseT units' firmware
// upload, whose "C" counts only outside the text the unit prints.
//
// Three layers, none of them touching widgets or the event loop:
//   Ymodem::...      frames and block 0 as pure functions;
//   YmodemChannel    the link, seen as: write bytes; take the next byte before a deadline; pause;
//                    a controller on the GUI thread adapts its port with waits through delay(),
//                    a worker thread or a test uses YmodemPortChannel (blocking port waits);
//   YmodemSender /   the two ends of a transfer, each a state machine run to its end over a
//   YmodemReceiver   channel. Every wait is bounded; times are device milliseconds scaled by
//                    TimeScale.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QtGlobal>

#include <functional>

class QIODevice;
class QSerialPort;

namespace Ymodem {

constexpr char SOH = 0x01;  // starts a 128-byte block
constexpr char STX = 0x02;  // starts a 1024-byte block
constexpr char EOT = 0x04;  // end of the file
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
constexpr char CAN = 0x18;  // two in a row cancel the transfer
constexpr char SUB = 0x1A;  // pads the last data block
constexpr char CRC_REQUEST = 'C';

constexpr int HeaderSize = 128;
constexpr int BlockSize1K = 1024;

// What follows the data of a block: its CRC-16, or two zero bytes (the firmware uploads of the
// serial units, whose boot code does not check them).
enum class Check { Crc16, Zero };

// The data field of block 0: `fileName` (its folder removed), NUL, the size in decimal ASCII,
// NUL, zeros up to 128 bytes. A name too long for the block is shortened (its extension kept
// where there is room, never cut inside a UTF-8 sequence); an empty name, which a receiver would
// read as the end of the batch, becomes "file".
QByteArray headerData(const QString& fileName, qint64 size);
// The name headerData() puts into block 0.
QString headerName(const QString& fileName, qint64 size);

// One framed block: the start byte (SOH for 128 data bytes, STX for 1024), the block number
// (low 8 bits), its complement, `data` padded with `pad` to the block size, and the check bytes.
// `data` longer than 1024 bytes is cut; up to 128 bytes make a SOH block unless `blockSize` says
// 1024.
QByteArray frame(quint32 blockNumber, const QByteArray& data, int blockSize, Check check = Check::Crc16,
                 char pad = SUB);
// Block 0 of a file.
QByteArray headerFrame(const QString& fileName, qint64 size, Check check = Check::Crc16);
// The empty block 0 that ends a batch.
QByteArray closingFrame(Check check = Check::Crc16);

// Block 0 as a receiver reads it: the name up to the first NUL, then the size (decimal digits up
// to a NUL or blank; anything else there leaves `sizeKnown` false, unless `leadingDigits`, which
// takes the digits the field begins with). An empty name ends the batch.
struct Header {
    QString name;
    qint64 size = 0;
    bool sizeKnown = false;
    bool endOfBatch = false;
};
Header parseHeader(const QByteArray& data, bool leadingDigits = false);

// A framed block checked the way a receiver checks it: `frame` holds the start byte, the number,
// its complement, the data and the check bytes. False when the length does not fit the start
// byte, the complement is wrong or (with Check::Crc16) the CRC is.
bool checkFrame(const QByteArray& frame, Check check, quint8* number = nullptr, QByteArray* data = nullptr);

} // namespace Ymodem

// The link under a transfer.
class YmodemChannel
{
public:
    enum : int { Timeout = -1, Closed = -2 };

    virtual ~YmodemChannel() = default;
    // Hands the bytes to the link; false when it refused them (the next wait then notices).
    virtual bool write(const QByteArray& bytes) = 0;
    // The next byte not yet taken (0..255), waiting until `deadline`; Timeout when none came in
    // time, Closed when the link is gone.
    virtual int readByte(const QDeadlineTimer& deadline) = 0;
    // A fixed pause of `ms` device milliseconds (scaled by TimeScale).
    virtual void pause(int ms) = 0;
    // Ends a transfer the peer must be told about: writes `bytes`, then pauses `pauseMs`. The
    // scaler overrides it with its own abort.
    virtual void abort(const QByteArray& bytes, int pauseMs);
};

// Whether the far end of `port` has hung up (a pseudo-terminal whose other side closed, a USB
// adapter pulled): the system reports it on the open descriptor, and no byte will come any more.
bool serialPortHungUp(const QSerialPort& port);

// A channel over a serial port that blocks in the port's own waits: for a worker thread, a test
// or a benchmark, never for the GUI thread. A hang-up reads as Closed at once.
class YmodemPortChannel : public YmodemChannel
{
public:
    explicit YmodemPortChannel(QSerialPort& port);
    bool write(const QByteArray& bytes) override;
    int readByte(const QDeadlineTimer& deadline) override;
    void pause(int ms) override;

private:
    QSerialPort& m_port;
    QByteArray m_buffer;
    int m_pos = 0;
};

// A channel for a GUI-thread controller whose own ready-read handler appends what the port
// receives to `received`: the engine takes bytes from `readPos` on, and its waits run the event
// loop (delay()) so that handler keeps filling the buffer. A port closed, failing or hung up
// under the transfer (the unit unplugged, the far end of the line closed) reads as Closed at
// once, once what arrived before has been taken.
class YmodemBufferChannel : public YmodemChannel
{
public:
    YmodemBufferChannel(QSerialPort& port, const QByteArray& received, int& readPos);
    bool write(const QByteArray& bytes) override;
    int readByte(const QDeadlineTimer& deadline) override;
    void pause(int ms) override;

private:
    QSerialPort& m_port;
    const QByteArray& m_received;
    int& m_readPos;
};

// How a transfer ended.
struct YmodemResult {
    enum class Status {
        Done,            // the peer took the whole file (and said so, when a text was asked for)
        Failed,          // a wait ran out or the budget of resends was spent; the peer was aborted
        CancelledByPeer, // the peer sent CAN CAN
    };
    // Where it ended: the step that was running. The numbers are the order of the steps.
    enum class Stage {
        Ready = 1,      // the unit's ready byte after the start command
        CrcRequest,     // the first "C"
        Header,         // block 0 acknowledged
        DataRequest,    // the "C" after block 0
        Data,           // the data blocks
        EndOfFile,      // EOT acknowledged
        Closing,        // the closing block (or the final EOT) acknowledged
        Confirmation,   // the unit's confirmation text
        Source,         // the file could not be read
        Finished,       // nothing failed
    };

    Status status = Status::Failed;
    Stage stage = Stage::Ready;
    QString reason;          // for the debug log
    QString fileName;        // receiver: block 0's name
    QByteArray data;         // receiver: the file, cut to block 0's size
    qint64 bytes = 0;        // file bytes sent or received
    int blocks = 0;          // data blocks acknowledged (sender) or taken (receiver)
    int resends = 0;         // frames sent again after a NAK or silence (sender); NAKs sent (receiver)
    qint64 pausedMs = 0;     // time spent in the fixed pauses of the options, measured
    QByteArray received;     // sender: every byte read from the peer (answers and its text)
    int endingAt = -1;       // sender: where in `received` the reading stood when the ending went out
    QString warning;         // something went amiss that did not spoil the file (for the log)
    // Sender: the receiver acknowledged every data block and the EOT, so it holds the whole file,
    // whatever happened after (a link that ended before the closing block was answered).
    bool delivered = false;

    bool ok() const { return status == Status::Done; }
};

// How the far end finishes a file.
enum class YmodemEnding {
    ClosingBlock, // EOT, then the empty block 0 (standard; the scalers, the firmware uploads)
    FinalEot,     // EOT, then after the receiver's "C" a second EOT (the test devices' sender)
    Either,       // receiver only: whichever of the two comes (the test devices' firmware differs)
};

struct YmodemSendOptions {
    int blockSize = Ymodem::BlockSize1K; // 1024 (STX) or 128 (SOH) data blocks
    Ymodem::Check check = Ymodem::Check::Crc16;

    // Start. A non-empty command is written first; with a ready byte the sender waits for it and
    // writes the command again while it does not come, `startAttempts` times in all.
    QByteArray startCommand;
    char readyByte = 0;
    int startAttempts = 10;
    int commandPauseMs = 0;     // after the first command
    int resendPauseMs = 100;    // after a repeated command
    int readyWaitMs = 3000;

    int crcRequestWaitMs = 60000; // for the first "C" and for the one after block 0
    int dataRequestWaitMs = 0;    // for the one after block 0 when set
    int headerPauseMs = 0;        // between the first "C" and block 0
    bool awaitDataRequest = true; // wait for the "C" after block 0 before the data
    // A "C" counts only when it stands alone: not inside a line of text the unit prints (the
    // echo of the command, its messages), and not followed by more text.
    bool requestOutsideText = false;
    int ackWaitMs = 10000;        // for the answer to a block or an EOT
    int headerAckWaitMs = 0;      // for the answer to block 0 when set
    int maxResends = 10;          // per frame, after a NAK or a silent wait
    bool resendAfterSilence = true; // false: only a NAK brings a frame again; silence ends it

    YmodemEnding ending = YmodemEnding::ClosingBlock;
    bool awaitClosingRequest = true; // wait for the receiver's "C" after EOT before the ending
    // With a wait here, the "C" after EOT is waited for only this long and the ending goes out
    // without it (units that never ask; standard receivers that do).
    int closingRequestGraceMs = 0;
    int closingPauseMs = 0;          // before the closing block
    // The file is whole once its EOT is acknowledged: a closing block that goes unanswered is
    // then only a warning. (A link that ends after that acknowledgement, a receiver hanging up
    // once it has the file, is a warning whatever this says: the transfer is Done unless a
    // confirmation text is still owed, and then it fails at Confirmation with `delivered` set.)
    bool closingAckOptional = false;

    // The unit's confirmation, looked for in everything it sent during the transfer, or (with
    // successAfterEnding) only in what came after the ending was acknowledged.
    QByteArray successText;
    int successWaitMs = 5000;
    bool successAfterEnding = false;

    // What a receiver is told when the sender gives up.
    QByteArray abortBytes = QByteArray(2, Ymodem::CAN);
    int abortPauseMs = 0;

    // Called as the transfer moves on: CrcRequest when the first "C" came, DataRequest when
    // block 0 was taken (and its "C" came), Data after each accepted data block; `sent` is the
    // count of file bytes accepted so far, `total` the file size.
    std::function<void(YmodemResult::Stage stage, qint64 sent, qint64 total)> progress;

    // Standard YMODEM-1K, as lrzsz's `rb` receives it.
    static YmodemSendOptions standard();
    // The generic scalers' EDID upload: `command` ("#SEND_EDID ...\r") is answered with text
    // beginning "W", then "C"; fixed pauses of 2000 ms after the command, 3000 ms before block 0
    // and 2000 ms before the closing block; 5000 ms waits; "The EDID file transmission" confirms.
    static YmodemSendOptions scalerEdid(const QByteArray& command);
    // The serial units' firmware upload (YMODEM-1K style): check bytes sent as zeros, 3000 ms
    // between the first "C" and block 0, 60000 ms waits, no resends (the first NAK ends it), no
    // wait for a "C" after EOT, nothing sent when giving up, and `successText` looked for in what
    // the unit prints after the closing block for up to 60000 ms. Standard receivers such as
    // lrzsz's `rb` refuse these frames: they check the CRC.
    static YmodemSendOptions serialFirmware(const QByteArray& successText);

    // The firmware upload of the EDID test devices, the HDBaseT units and the splitters:
    // `command` ("#fw_upgrade\r") is answered by a "C" of the unit's receiver (text it prints
    // around it does not count) within `requestWaitMs`; 3000 ms before block 0, 6000 ms for its
    // ACK, 10000 ms for the "C" after it and for every other answer; a NAKed frame goes again up
    // to ten times, a silent unit ends the upload; after EOT the closing block waits up to
    // 2000 ms for the unit's "C", and its ACK, once the whole file was taken, is not required.
    // Giving up sends CAN CAN.
    static YmodemSendOptions unitFirmware(const QByteArray& command, int requestWaitMs);

    // The EDID test devices' upload: `command` ("#loedidtolo\r", "#loedidtoba n\r") is answered
    // "W", then "C"; 2000 ms after the command, 3000 ms before block 0; 5000 ms waits; the
    // ending goes out after a short wait for "C"; "Download successful" confirms.
    static YmodemSendOptions testDeviceEdid(const QByteArray& command);
};

class YmodemSender
{
public:
    YmodemSender(YmodemChannel& channel, YmodemSendOptions options);

    // Sends `size` bytes from `source` under `fileName` (its folder is dropped).
    YmodemResult send(const QString& fileName, QIODevice& source, qint64 size);
    YmodemResult send(const QString& fileName, const QByteArray& data);

private:
    enum class Answer { Ack, Nak, Silence, Cancel, Closed };
    // Skips other bytes until `byte` (true), CAN CAN, a closed link or the deadline.
    bool awaitByte(char byte, int waitMs, Answer* why = nullptr);
    // awaitByte for "C", with requestOutsideText.
    bool awaitRequest(int waitMs, Answer* why);
    bool deliver(const QByteArray& frame, YmodemResult::Stage stage, YmodemResult& result, int waitMs);
    Answer awaitAnswer(int waitMs);
    // Writes `frame` until it is acknowledged; false after the resends are spent or on CAN CAN.
    bool deliver(const QByteArray& frame, YmodemResult::Stage stage, YmodemResult& result);
    bool awaitText(const QByteArray& text, int waitMs, int from);
    void pause(int ms, YmodemResult& result);
    YmodemResult& fail(YmodemResult& result, YmodemResult::Stage stage, const QString& reason, bool abort);
    int takeByte(const QDeadlineTimer& deadline);

    YmodemChannel& m_channel;
    YmodemSendOptions m_options;
    QByteArray m_received;
    bool m_linkEnded = false; // a read found the link gone
};

struct YmodemReceiveOptions {
    // Start: a non-empty command is written first (the unit then sends); with a ready byte the
    // receiver waits for it and writes the command again while it does not come.
    QByteArray startCommand;
    char readyByte = 0;
    int startAttempts = 10;
    int readyWaitMs = 3000;
    int resendPauseMs = 100;

    Ymodem::Check check = Ymodem::Check::Crc16; // Zero: the check bytes are read, not compared
    int requestIntervalMs = 3000; // "C" again while block 0 does not start
    int requestAttempts = 10;
    int blockWaitMs = 10000;      // for the start of the next block
    int byteWaitMs = 1000;        // between the bytes of a block
    int maxErrors = 10;           // NAKs for one block before giving up
    YmodemEnding ending = YmodemEnding::ClosingBlock;
    qint64 maxSize = 64 * 1024 * 1024; // a larger block 0 size is refused
    bool sizeFromLeadingDigits = false; // block 0's size field is read as parseHeader's leadingDigits

    QByteArray abortBytes = QByteArray(2, Ymodem::CAN);
    int abortPauseMs = 0;

    static YmodemReceiveOptions standard();
    // The EDID test devices' download: `command` ("#saveloedid edid.bin\r") is answered "W";
    // 128- or 1024-byte blocks; the unit ends with a second EOT or the empty block 0.
    static YmodemReceiveOptions testDeviceEdid(const QByteArray& command, qint64 maxSize);
};

class YmodemReceiver
{
public:
    YmodemReceiver(YmodemChannel& channel, YmodemReceiveOptions options);

    // Receives one file; result.fileName and result.data hold it.
    YmodemResult receive();

private:
    enum class Got { Block, EndOfFile, Cancel, Silence, Closed, Bad };
    // Reads one frame after its start byte has been seen; Bad when it does not check.
    Got readFrame(char start, quint8* number, QByteArray* data);
    Got nextFrame(int waitMs, quint8* number, QByteArray* data);
    YmodemResult& fail(YmodemResult& result, YmodemResult::Stage stage, const QString& reason, bool abort);

    YmodemChannel& m_channel;
    YmodemReceiveOptions m_options;
};

#endif // YMODEM_H
