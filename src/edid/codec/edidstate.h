#ifndef EDIDSTATE_H
#define EDIDSTATE_H

#include "audioformat.h"
#include "timing.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <memory>

// The EDID editor's state as plain values: what the decoder finds in an EDID (base block and the
// first extension) and what the encoder writes back. Every choice the editor shows is one member
// (an enum for an exclusive choice, a bool for a toggle, a text for a line edit); everything the
// editor does not show but must write back unchanged is kept as the bytes it came from.
//
// The decoder only ever sets members; it starts from whatever the caller hands it, so the caller
// decides what a fresh EDID starts from (normally a default-constructed state).
struct EdidState
{
    // ---- General page: input definition (byte 20) ------------------------------------------
    enum class SignalType { Unset, Analog, Digital };
    enum class DigitalInterface { Unset, Dvi, Hdmi, DisplayPort };
    enum class ColorBitDepth { Unset, Bits8, Bits10, Bits12, Bits14, Bits16 };
    enum class SignalLevel { Unset, L0700_0300, L0714_0286, L1000_0400, L0700_0000 };
    enum class VideoSetup { Unset, BlankEqualsBlack, BlankToBlackPedestal };
    enum class ColorType { Unset, Monochrome, Rgb, NonRgb, Undefined };
    enum class EdidSize { Unset, Blocks1, Blocks2 };

    SignalType signalType = SignalType::Unset;
    DigitalInterface digitalInterface = DigitalInterface::Unset;
    ColorBitDepth colorBitDepth = ColorBitDepth::Unset;
    SignalLevel signalLevel = SignalLevel::Unset;
    VideoSetup videoSetup = VideoSetup::Unset;
    bool separateSync = false;
    bool compositeSyncHoriz = false;
    bool compositeSyncGreen = false;
    bool serrationVertSync = false;
    EdidSize edidSize = EdidSize::Unset; // the 128/256 choice the interface rules imply

    // Identification: not editable; kept so an EDID can be written back as it came.
    QString manufacturer;   // three letters
    quint16 productCode = 0;
    quint32 serialNumber = 0;
    int week = 0;
    int year = 0;           // byte 17 + 1990
    int version = 0;
    int revision = 0;
    quint8 videoInputByte = 0; // byte 20 as read

    // Size and gamma.
    int hSizeCm = 0;
    int vSizeCm = 0;
    QString displaySize;  // diagonal in inches, 6 significant digits; untouched when undefined
    int aspectRatio = -1; // index in the aspect drop-down ("16:9", "4:3", "16:10", "5:4", "18:10",
                          // "64:27", "256:135"); -1: left as it was
    quint8 gammaByte = 0; // byte 23 as read

    // Feature support (byte 24).
    bool standbyMode = false;
    bool suspendMode = false;
    bool activeOff = false;
    bool rgb444 = false;
    bool ycbcr444 = false;
    bool ycbcr422 = false;
    ColorType colorType = ColorType::Unset;
    bool srgbDefault = false;
    bool preferredTimingMode = false; // bit 1, kept
    bool continuousFrequency = false; // bit 0, kept
    quint8 featureByte = 0;

    // Chromaticity: the texts of the eight fields (3 decimals) and the 10-bit codes.
    int chromaticityPreset = -1; // 0 ("Select from List") once decoded
    QString redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY;
    std::array<int, 8> chromaticityCodes{}; // red x, red y, green x, green y, blue x, blue y, white x, white y

    // Timings: the rows of the timing table, merged as TimingModel::addTiming merges them
    // (EdidRules::addTiming). dtdCount rows at the top are detailed timings.
    QList<Timing> timings;
    int dtdCount = 0;
    quint8 manufacturerTimings = 0; // byte 37 bits 6-0, kept
    QByteArray standardTimingBytes; // bytes 38-53 as read: the codes of the standard timing rows
    QList<QByteArray> detailedTimingBytes; // every detailed timing descriptor as read (18 bytes), in order

    // ---- 18-byte descriptors ---------------------------------------------------------------
    QString monitorName;
    bool monitorNameSet = false;
    QList<QByteArray> monitorNameDescriptors; // every product name descriptor as read (18 bytes)
    QByteArray rangeLimitsDescriptor;       // 18 bytes of the range limits descriptor, kept
    QByteArray establishedTimings3;         // 6 bytes of an established timings III descriptor
    QList<QByteArray> cvtCodes;             // 3-byte CVT codes, in order
    QList<QByteArray> extraStandardTimings; // 2-byte codes of an additional standard timings descriptor
    QByteArray whitePoints;                 // payload of an additional white points descriptor
    // Display descriptors the editor does not model (serial number, data strings, colour
    // management, dummy, manufacturer-specific, reserved), 18 bytes each, with their block: 0 base, 1 extension.
    struct KeptDescriptor
    {
        int block = 0;
        QByteArray bytes;
    };
    QList<KeptDescriptor> otherDescriptors;

    // ---- CTA-861 extension -----------------------------------------------------------------
    bool hasCeaExtension = false;
    int ceaRevision = 0;
    bool underscan = false;
    bool basicAudio = false;
    int nativeDtdCount = 0; // low nibble of byte 131, kept

    // Audio: the rows of the audio table in descriptor order, each once.
    QList<AudioFormat> audioFormats;
    // Short audio descriptors as read, 3 bytes each, in block order; keeps what the table cannot
    // show (the byte-3 value of codes 9 to 14).
    QList<QByteArray> audioDescriptorBytes;
    // Descriptors that are not table rows (code 0, extension codes the program does not know).
    QList<QByteArray> unknownAudioDescriptors;

    // Speaker allocation: the three payload bytes.
    bool speakerAllocationPresent = false;
    std::array<quint8, 3> speakerAllocation{};
    bool speakerFL = false, speakerFR = false, speakerLFE = false, speakerFC = false;
    bool speakerRL = false, speakerRR = false, speakerRC = false, speakerFLC = false;
    bool speakerFRC = false, speakerRLC = false, speakerRRC = false, speakerFLW = false;
    bool speakerFRW = false, speakerFLH = false, speakerFRH = false, speakerTC = false;
    bool speakerFCH = false;

    // All short video descriptors of all video data blocks, in order, native bit removed: the
    // order the 4:2:0 capability map indexes.
    QList<int> videoBlockVics;
    QList<int> nativeVics;

    // VIC slots of the 3D page: up to 16 CEA timings in the order they were given a slot.
    QList<Timing> vicSlots;

    // HDMI vendor-specific data block.
    bool hdmiVsdbPresent = false;
    std::array<int, 4> physicalAddress{};
    bool supportsAI = false;
    bool dc48bit = false, dc36bit = false, dc30bit = false, dcY444 = false;
    bool dviDual = false;
    quint8 vsdbFlags5 = 0;       // payload byte 5 as read (keeps the reserved bits)
    bool maxTmdsClockAuto = false;
    QString maxTmdsClock;        // MHz
    bool graphicsContent = false, photoContent = false, cinemaContent = false, gameContent = false;
    QString latencyProgressiveVideo, latencyProgressiveAudio;
    QString latencyInterlacedVideo, latencyInterlacedAudio;
    bool threeDPresent = false;
    int threeDMulti = 0;         // 3D_Multi_present
    int hdmiImageSize = -1;      // 0-3; -1: left as it was
    QList<int> hdmiVics;
    int threeDStructureAll = 0;  // -1: the block had none
    int threeDMask = 0;          // -1: the block had none
    std::array<int, 16> vicThreeDStructures{};
    std::array<int, 16> vicThreeDDetails{}; // 3D_Detail (upper nibble) of structures 8 and above, per index
    QByteArray vsdbBytes;        // the whole payload as read

    // HDMI Forum vendor-specific data block.
    bool hfVsdbPresent = false;
    int hfVsdbVersion = 0;
    int hfVsdbMaxTmdsRate = 0; // payload byte 4 (5 MHz units)
    int hfVsdbFlags6 = 0;
    int hfVsdbFlags7 = 0;
    QByteArray hfVsdbTail;     // payload bytes 7 on, kept

    // Colorimetry data block.
    bool colorimetryPresent = false;
    std::array<bool, 9> colorimetry{}; // xvYCC601 ... BT2020RGB, DCI-P3
    quint8 colorimetryByte1 = 0, colorimetryByte2 = 0;

    // HDR static metadata data block.
    bool enableHdr = false;
    bool hdrSdr = false, hdrHdr = false, hdrSmpte2084 = false, hdrHlg = false;
    quint8 hdrEotfByte = 0;
    quint8 hdrMetadataDescriptors = 0;
    QString contentMaxLuminance, contentMaxFrameAvgLuminance, contentMinLuminance;
    bool hdrStaticMetaDataSupport = false;
    QByteArray hdrStaticMetaData;

    // InfoFrame data block, as read.
    QByteArray infoFrameBlock;

    // YCbCr 4:2:0.
    QList<int> yuv420Vics;           // VICs of the 4:2:0 video data blocks
    QList<int> yuv420CapabilityVics; // SVDs the capability map marks
    QList<int> yuv420CapabilitySvds; // their indexes in videoBlockVics, as read

    // Data blocks the decoder does not model (header byte included), kept in order.
    QList<QByteArray> otherDataBlocks;

    // Range limits derived from the timing table (EdidRules::rangeLimits).
    int minVRate = 0, maxVRate = 0;
    double minHRate = 0, maxHRate = 0;
    double maxPixelClock = 0;

    // ---- Where the state came from -----------------------------------------------------------
    // The EDID the decoder read (first two blocks) and the state it made of it. The encoder writes
    // a part of the EDID back exactly as it came while the state still says the same about it,
    // so loading and saving keep every byte the editor has no field for.
    QByteArray originBytes;
    std::shared_ptr<const EdidState> originState;

    void rememberOrigin(const QByteArray& bytes)
    {
        originBytes.clear();
        originState.reset();
        auto snapshot = std::make_shared<EdidState>(*this);
        originBytes = bytes.left(256);
        originState = std::move(snapshot);
    }
};

#endif // EDIDSTATE_H
