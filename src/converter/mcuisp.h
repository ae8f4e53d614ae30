#ifndef MCUISP_H
#define MCUISP_H

// In-system programming of the converters' microcontroller (Nuvoton NuMicro boot loader) over
// USB HID. Widget-free: the run reports progress and asks its questions through IspHooks, and
// every wait is a blocking one bounded by its time-out (scaled by TimeScale).
//
// The boot loader speaks in 64-byte packets (one HID report each, behind report id 0), all fields
// little-endian:
//   request  0 command code, 4 packet number, 8 parameters or image data (56 bytes)
//   reply    0 16-bit byte sum of the request it answers, 4 that request's number + 1,
//            8 result data
// Every request takes the next packet number and every matching reply one more, so the numbers a
// run writes go 1, 3, 5, ...; a synchronise command (0xA4) tells the boot loader where we are.
//
// Firmware file: the whole file, header included, goes to the application flash from address 0.
//   byte 0 the mark 9, byte 1 the product code (3, 4, 5 for product id 0x000E, 0x0010, 0x001E),
//   byte 7 the sum of bytes 0 to 6 (as a plain integer: a sum above 255 never matches).

#include "chidcmd.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <functional>
#include <memory>

class HidBackend;
class HidHandle;

namespace Isp {
constexpr int PacketSize = 64;
constexpr int ReportSize = PacketSize + 1;
constexpr int MaxImageSize = 131072;
constexpr int FirstPacketBytes = 42; // image bytes behind the address and length of 0xA0
constexpr int NextPacketBytes = 50;  // image bytes of each further packet
constexpr quint8 CurrentVersion = 0x23;
constexpr int OpenPasses = 250;
constexpr int WriteTimeoutMs = 5000;
constexpr int ReplyTimeoutMs = 5000;
constexpr int ProgramReplyTimeoutMs = 8000;
constexpr quint32 Config0 = 0xF8FFFF78;
constexpr quint32 Config1 = 0x0001F000;

enum Command : quint32 {
    UpdateApromNext = 0x00,
    UpdateAprom = 0xA0,
    UpdateConfig = 0xA1,
    ReadConfig = 0xA2,
    SyncPacketNumber = 0xA4,
    GetVersion = 0xA6,
    SetApromSize = 0xAA,
    RunAprom = 0xAB,
    GetDeviceId = 0xB1,
    ReadChecksum = 0xC8,
    WriteChecksum = 0xC9,
};

// The result texts of a run.
extern const QString ProductFailure;    // "Product Failure."
extern const QString FileOpenFailure;   // "File Open Failure."
extern const QString LargeFile;         // "Incorrect File. (Large File)"
extern const QString IncorrectFile;     // "Incorrect File."
extern const QString WrongProduct;      // "Incorrect File. (Wrong product)"
extern const QString HeaderChecksum;    // "Incorrect File. (Checksum)"
extern const QString ProgrammingFailed; // "Failed. Please reconnect the power."
extern const QString UpdateSuccess;     // "Firmware Update Success."

// The product code a firmware file must carry for a unit, 0 for a unit that takes none.
int productCode(int vendorId, int productId);
// Why `bytes` is not a firmware file for the unit (one of the texts above), empty when it is.
QString firmwareImageProblem(const QByteArray& bytes, int productId);

// The image bytes of each programming packet: the first 42, then 50 at a time.
QVector<QByteArray> imageChunks(const QByteArray& image);
// The programming bar during programming: after the first packet the share sent, at least 20;
// after each further packet 20 plus four fifths of the share sent; never above 100.
int firstPacketProgress(qint64 sent, qint64 length);
int nextPacketProgress(qint64 sent, qint64 length);
} // namespace Isp

// One row of the chip table.
struct IspChip {
    quint32 id = 0;
    QByteArray name;
    quint32 ramKb = 0;
    quint32 flashKb = 0;
};
// The NuMicro NUC1xx and M05x parts the boot loader can report, in search order.
const QVector<IspChip>& ispChipTable();

// Checks the unit (maker's vendor id, one of the three converter product ids) and the file at
// `path` (native 8-bit). On success `image` gets the file's bytes; otherwise `status` gets the
// text to show. Refuses what is not a regular file or is larger than the flash without reading
// more than that.
bool confirmFirmwareFile(const QByteArray& path, int vendorId, int productId, QString* status,
                         QByteArray* image = nullptr);

// What the run needs of the user interface.
struct IspHooks {
    std::function<void(int percent)> progress;
    // The boot loader is not of the expected version: true to program it all the same.
    std::function<bool(const QString& question)> continueWithVersion;
    // The chip is not in the table.
    std::function<void()> unknownChip;
};

// The serial port object of the programming state. The HID boot loader needs no serial port:
// it stays closed, its counters at 0.
class SerialPort
{
public:
    SerialPort() = default;
    bool isOpen() const { return m_handle >= 0; }
    quint32 bytesRead() const { return m_bytesRead; }
    quint32 bytesWritten() const { return m_bytesWritten; }

private:
    int m_handle = -1;
    quint32 m_bytesRead = 0;
    quint32 m_bytesWritten = 0;
};

// The state of one programming run and its exchanges with the boot loader.
class IspState
{
public:
    explicit IspState(HidBackend* backend = nullptr);
    ~IspState();
    IspState(const IspState&) = delete;
    IspState& operator=(const IspState&) = delete;

    // Finds and opens the boot loader's HID interface (at most OpenPasses passes over the units).
    bool ispOpenUsb(quint16 vendorId, quint16 productId);
    // Sync (one retry), version, chip id, config, chip lookup, flash size for old boot loaders.
    // False also when the user declines a boot loader of another version or the chip is unknown.
    bool ispConnect(const IspHooks& hooks);
    // Writes the config words; true when the boot loader echoes them.
    bool ispUpdateConfig();
    bool ispSyncPacketNumber();
    bool ispSimpleCommand(quint32 command);
    bool ispReadChecksum(quint32 start, quint32 length, quint16* checksum);
    bool ispWriteChecksum(quint16 checksum, quint32 length);
    bool ispGetChipInfo(const IspHooks& hooks);
    const IspChip* ispLookupChip() const;
    bool ispWritePacket();
    bool ispReadPacket();
    // Tells the boot loader to start the application; no reply comes.
    void runAprom();
    void close();

    // Programs `image` into the application flash and checks the sum the boot loader reports
    // against the image's; true only when every packet went through and the sums agree.
    bool programImage(const QByteArray& image, const IspHooks& hooks);

    bool isOpen() const { return bool(m_device); }
    quint32 packetNumber() const { return m_packetNumber; }
    quint8 version() const { return m_version; }
    quint32 chipId() const { return m_chipId; }
    quint32 config0() const { return m_config[0]; }
    quint32 config1() const { return m_config[1]; }
    bool locked() const { return m_locked; }
    quint32 flashSize() const { return m_flashSize; }
    quint32 ramSize() const { return m_ramSize; }
    QByteArray partName() const { return m_partName; }
    quint16 imageSum() const { return m_imageSum; }
    const SerialPort& serialPort() const { return m_serialPort; }

    // The request being built (64 bytes) and the last reply's data area (56 bytes).
    quint8* packet() { return m_send + 1; }
    const quint8* replyData() const { return m_receive + 1 + 8; }

private:
    // Clears the packet and puts `command` and `params` in it; the number goes in when it is sent.
    void startPacket(quint32 command, const QByteArray& params = QByteArray());
    // Writes the packet and reads its reply.
    bool exchange();

    HidBackend* m_backend;
    std::unique_ptr<HidHandle> m_device;
    quint32 m_packetNumber = 1;
    quint8 m_send[Isp::ReportSize] = {};
    quint8 m_receive[Isp::ReportSize] = {};
    quint16 m_expectedChecksum = 0;
    // The command whose reply wait applies: set by simple commands and for the programming.
    quint32 m_currentCommand = 0;
    quint8 m_version = 0;
    quint32 m_chipId = 0;
    quint32 m_config[2] = {};
    bool m_locked = false;
    quint32 m_flashSize = 0;
    quint32 m_ramSize = 0;
    QByteArray m_partName;
    quint16 m_imageSum = 0;
    SerialPort m_serialPort;
};

// A programming run's command object: the converter's HID command channel with the run's state
// behind it. Each run makes a new one.
class McuBurnCmd : public CHidCmd
{
public:
    explicit McuBurnCmd(HidBackend* backend = nullptr)
        : CHidCmd(backend)
        , isp(backend)
    {
    }
    IspState isp;
};

// The programming run on a unit that has been asked into its boot loader: open, connect, write
// the config, program `image` (already checked), compare the sums, start the application.
// Returns the result text.
QString ThreadMCUBurn(const QByteArray& image, int vendorId, int productId, const IspHooks& hooks,
                      HidBackend* backend = nullptr);

#endif // MCUISP_H
