#ifndef CONVERTERCONTROL_H
#define CONVERTERCONTROL_H

// The command reports of the HID converters (Orrelin, Palomir) and of the HID scaler (Perrick),
// and the entry of their microcontroller's in-system programming. The exchanges are widget-free:
// each opens the unit, runs its reports and closes it again, blocking the caller (every transfer
// waits at most ConverterTimeoutMs, scaled by TimeScale) and running no events. The programming
// itself lives in mcuisp.h; startMcuBurn is its glue to the form and the dialogs.
//
// A report carries a payload of at most 62 bytes behind its sequence number and length (CHidCmd).
// A unit answers a request with a status byte, 0xAA when it accepts it, or with the data asked
// for; the one-byte request 0xAA asks for the next 32-byte chunk of an EDID.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

class CHidCmd;
class Ui_MainUI;

namespace ConverterUsb {
constexpr quint16 MakerVendorId = 0x1EC7;
constexpr quint16 OrrelinProductId = 0x000E; // converter: the EDID reads and uploads
constexpr quint16 PalomirProductId = 0x0010; // converter without EDID operations
constexpr quint16 PerrickProductId = 0x001E; // HID scaler
constexpr quint16 KorvinaProductId = 0x0011; // KVM, under the maker's vendor id
constexpr quint16 KorvinaBootProductId = 0x0012; // the KVM's boot loader, under the maker's vendor id
constexpr quint16 KorvinaAltVendorId = 0x10D5;
constexpr quint16 KorvinaAltProductId = 0x5555;
constexpr quint16 RolvaneVendorId = 0x22CA; // wireless units, raw USB
constexpr quint16 RolvaneProductId = 0x1111;
} // namespace ConverterUsb

constexpr quint8 ConverterAck = 0xAA;
constexpr int ConverterTimeoutMs = 1000;
constexpr int ConverterReplySize = 32;
constexpr int ConverterChunkSize = 32;
constexpr int ConverterEdidImageSize = 256; // what a unit holds, sent and read in 8 chunks

// The one command object of the converter exchanges, which take turns on the GUI thread; its
// sequence number runs on from exchange to exchange.
CHidCmd& converterHid();

// One request and its reply: opens the unit, writes `length` bytes of `data` (at most 62 go out)
// and reads one reply of at most 32 bytes. Returns the reply's payload, empty when the unit is
// missing, the write failed or no reply came. A negative length or a null buffer is refused
// before anything is opened.
QByteArray sendCommand(int vendorId, int productId, const quint8* data, int length);
QByteArray sendCommand(int vendorId, int productId, const QByteArray& payload);

// The setting report of the HID scaler: 0x5A 0x41 register value.
QByteArray scalerSettingPayload(quint8 reg, quint8 value);
// Two on/off settings in one register value: the HDCP versions the input accepts (1.4, 2.2) and
// YUV 4:2:0 on the outputs (output 1, output 2).
struct PairCodes {
    quint8 firstOnly, secondOnly, neither, both;
};
constexpr PairCodes ScalerHdcpCodes{0x01, 0x02, 0x03, 0xFF};
constexpr PairCodes ScalerYuv420Codes{0x02, 0x01, 0xFF, 0x03};
namespace ScalerRegister {
constexpr quint8 Output2Resolution = 0x01; // 0x01 up-scale to 4K2K, 0xFF bypass
constexpr quint8 Output1Resolution = 0x02; // 0x01 down-scale to 1080p, 0xFF bypass
constexpr quint8 Hdcp = 0x05;
constexpr quint8 Yuv420 = 0x0A;
constexpr quint8 Scale = 0x01;
constexpr quint8 Bypass = 0xFF;
} // namespace ScalerRegister
quint8 pairCode(bool first, bool second, const PairCodes& codes);
// False (and the flags untouched) for a value that is none of the four.
bool decodePair(quint8 code, const PairCodes& codes, bool* first, bool* second);

// The HID scaler's EDID request: 0x5A 0x41 and the source code, or 0x08 to write the user EDID.
QByteArray scalerEdidPayload(quint8 code);
constexpr quint8 ScalerUserEdidWrite = 0x08;

// The HID scaler's device-information request (0x59 0x40) and the reply's fields.
QByteArray scalerDeviceInfoPayload();
struct ScalerDeviceInfo {
    bool valid = false; // an accepted reply long enough to hold every field
    quint8 output2 = 0; // register 0x01 codes
    quint8 output1 = 0; // register 0x02 codes
    quint8 hdcp = 0;    // register 0x05 codes
    quint8 yuv420 = 0;  // register 0x0A codes
    QString version;    // "major.minor.patch"
};
ScalerDeviceInfo parseScalerDeviceInfo(const QByteArray& reply);

// An EDID read from a unit.
struct ConverterEdidRead {
    QByteArray edid;       // 128 or 256 bytes that passed the EDID check; empty otherwise
    bool found = false;    // the unit was there and opened
    bool accepted = false; // it took the read request (the HID scaler answers 0xAA)
    QString problem;       // why there is no EDID
};
// The converter's local EDID (Orrelin, 0x000E).
ConverterEdidRead viewEDID();
// Source 1 the external EDID of output 1, 2 that of output 2, 3 the internal user-defined EDID.
ConverterEdidRead viewScalerEDID(int source);
quint8 scalerEdidSourceCode(int source); // 0x07, 0x06, 0x09; 0x00 for any other number

// The EDID in a unit's 256-byte image: the base block, with its extension when byte 126 asks for
// one, and only when it passes the EDID check. Empty with `problem` set otherwise.
QByteArray edidFromUnitImage(const QByteArray& image, QString* problem = nullptr);

// Sends a 256-byte EDID image in 32-byte chunks after `command`. Before each chunk one answer is
// read (to the command, then to each chunk but the last); nothing is read after the last chunk.
// The converter's answers are not judged. The HID scaler's are (0xAA accepts): refusing the
// command stops the upload before any EDID byte goes out; once chunks are out, the rest follow
// whatever it answers, so the unit never holds a torn EDID, and a refused chunk is reported.
enum class EdidUploadAnswers { NotJudged, Judged };
enum class EdidUploadResult {
    Complete,
    DeviceMissing,
    NotStarted,     // the command was not written or not accepted: the unit's EDID is untouched
    Interrupted,    // a chunk could not be written (the unit went): it holds part of the image
    ChunksRefused,  // every chunk went out, but the unit did not accept them all
};
EdidUploadResult uploadEdidImage(quint16 productId, const QByteArray& command, const QByteArray& image,
                                 EdidUploadAnswers answers);

// The in-system programming of a converter's or the HID scaler's microcontroller from the
// firmware file at `path` (native, 8-bit); returns the text to show. The unit and the file are
// checked first; only then is the unit sent "#FW_UPGRADE", given a second to restart into its
// boot loader and programmed, with the progress on the form's updateBar. Blocks the caller for
// the whole run without running events.
QString startMcuBurn(Ui_MainUI* ui, const QByteArray& path, quint16 vendorId, quint16 productId);

// What the converter page calls to burn: startMcuBurn, unless a test put its own in place.
using McuBurnFunction = std::function<QString(Ui_MainUI*, const QByteArray&, quint16, quint16)>;
QString runMcuBurn(Ui_MainUI* ui, const QByteArray& path, quint16 vendorId, quint16 productId);
// Replaces the burn for tests (an empty function restores startMcuBurn); returns the one before.
McuBurnFunction replaceMcuBurn(McuBurnFunction burn);

#endif // CONVERTERCONTROL_H
