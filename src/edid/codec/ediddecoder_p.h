#ifndef EDIDDECODER_P_H
#define EDIDDECODER_P_H

// Internal to the EDID decoder: one object per decode, its operations spread over the per-block
// source files (ediddecoder.cpp, edidbaseblock.cpp, ediddescriptors.cpp, edidcea.cpp,
// edidvendorblocks.cpp, edidextendedtags.cpp).

#include "ediddecoder.h"

#include <QByteArray>
#include <QString>

class EdidDecoder
{
public:
    EdidDecoder(const QByteArray& bytes, const EdidDecodeContext& context, EdidState* state);
    QString run();

private:
    // The payload of one data block: reads at or past its length give 0 and are never taken
    // from the bytes that follow.
    struct Payload
    {
        const EdidDecoder* decoder;
        int position; // index of the first byte after the header
        int length;
        int operator[](int k) const { return k >= 0 && k < length ? decoder->at(position + k) : 0; }
    };

    int at(int i) const; // 0 outside the first two blocks
    void append(const QString& text) { m_text += text; }

    // Base block.
    void checksum(int block);
    void parseBaseBlock();
    void parseHeader();
    bool parseVideoInputDefinition();
    void parseScreenSize();
    void parseGamma();
    void parseFeatureSupport(bool digital);
    void parseChromaticity();
    void parseEstablishedTimings();
    void parseStandardTimings();
    void interfaceChanged();

    // 18-byte descriptors.
    void parseEighteenByteDescriptor(int p, int block);
    void parseMonitorDescriptor(int p, int block);
    void parseRangeLimits(int p);
    QString descriptorText(int start, int length) const;

    // CTA-861 extension.
    void parseCeaExtension();
    void parseCEAFlags();
    void parseAudioDataBlock(const Payload& p);
    void parseVideoDataBlock(const Payload& p);
    void parseSpeakerAllocation(const Payload& p);
    void parseVendorSpecificDataBlock(const Payload& p);
    void parseHdmiVsdb(const Payload& p);
    void parseHdmiForumVsdb(const Payload& p);
    QString parseLatency(int value, const QString& label);
    void parseExtendedTag(const Payload& p);
    void parseColorimetry(const Payload& p);
    void parseHDR(const Payload& p);
    void parseInfoFrame(const Payload& p);
    void parse420VideoDataBlock(const Payload& p);
    void parse420CapabilityMapDataBlock(const Payload& p);
    void keepDataBlock(const Payload& p);

    // Catalogue look-ups.
    const Timing* findCeaTiming(int vic) const;
    const Timing* findHdmiVicTiming(int hdmiVic) const;
    Timing findVesaTiming(int h, int v, int rate, bool interlaced, int hAspect, int vAspect, bool established) const;
    void addTiming(const Timing& t);

    const QByteArray& m_bytes;
    const EdidDecodeContext& m_context;
    EdidState* m_state;
    QString m_text;
    bool m_v14 = false;
    bool m_checksumReported = false;
    int m_descriptorCount = 0;
    QList<int> m_audioRowByte3; // byte 3 of each audio row of codes 9 to 14, -1 for the others
    QList<int> m_allSvds; // every SVD of every video data block, in order (capability map index)
};

// Offsets (within the 128-byte CTA-861 extension block `ext`) of its 18-byte descriptors: from
// the offset in byte 2 on, detailed timings and display descriptors alike, up to the padding
// (the first 18 bytes that are all 0) or the checksum. Empty when byte 2 gives no descriptors.
QList<int> ctaDescriptorOffsets(const QByteArray& ext);

// A standard timing code whose first byte is 0 (reserved) or 1 (0x0101 and the other codes
// EDIDs pad with) names no timing.
inline bool standardTimingUnused(int b1, int /*b2*/)
{
    return b1 <= 0x01;
}

// The rate (Hz) a standard timing code names this timing by: its nominal rate, which for the
// one DMT whose nominal rate is not its rounded rate (640x480 at 72.809 Hz) is the rate cut to
// whole hertz, and for DMT 0x11 (1024x768 at 70 Hz) the 72 Hz of its code 61 4C. 0 for the established timings that are not DMTs (Apple's 640x480 at 66.7 Hz and
// the like): a standard timing code does not name them.
int standardTimingRate(const Timing& t);

// The aspect drop-down entry a decoded screen size (in cm) selects: 16:9 (0), 64:27 (5) or
// 256:135 (6); -1 for none of them or no size. The encoder asks it too, to know what a size
// will read back as.
int decodedAspectChoice(int hCm, int vCm);

#endif // EDIDDECODER_P_H
