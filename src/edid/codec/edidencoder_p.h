#ifndef EDIDENCODER_P_H
#define EDIDENCODER_P_H

// Internal to the EDID encoder: the pieces the base block, timing and CTA-861 writers share
// (edidencoder.cpp, edidencodetimings.cpp, edidencodecea.cpp).

#include "edidencoder.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace EdidEncoding {

// What the interface choices allow.
struct Interface
{
    bool digital = false;
    bool hdmi = false;
    bool displayPort = false;
    bool twoBlocks = false; // a CTA-861 extension follows the base block
    bool v14 = false;       // written as E-EDID 1.4
    // The video, audio and speaker blocks: an HDMI or DisplayPort EDID, or one whose data
    // blocks came with it under an interface the user has not changed.
    bool videoAllowed = false;
    // The HDMI block and its VICs: an HDMI EDID, or one that came with the block.
    bool hdmiAllowed = false;
    bool videoBlocks() const { return twoBlocks && videoAllowed; }
    bool hdmiBlocks() const { return twoBlocks && hdmiAllowed; }
};
Interface interfaceOf(const EdidState& s);

// Where the timing rows go.
struct TimingLayout
{
    quint8 established[3] = {0, 0, 0};
    QByteArray standard;         // bytes 38-53
    QList<int> dtdRows;          // rows to write as detailed timings, in order
    QList<int> svds;             // short video descriptors (native bit included), in order
    QList<int> svdVics;          // the VIC of each of them
    QList<int> svdRows;          // the row of each of them (-1: a VIC the catalogue does not know)
    QList<int> yuv420Vics;       // the YCbCr 4:2:0 video data block
    QList<int> hdmiVics;         // the HDMI VICs of the HDMI vendor-specific data block
    QList<EdidTimingPlacement> placements;
};
TimingLayout placeTimings(const EdidState& s, const Interface& in);

// The 18 bytes of a detailed timing descriptor; false (and nothing written) when the timing
// does not fit the descriptor's fields.
// `asRead` are the descriptors the EDID came with: one that says the same keeps its flags byte
// (analog sync kinds, stereo), which the timing record does not hold.
bool detailedTiming(const Timing& t, QByteArray* out, const QList<QByteArray>& asRead = QList<QByteArray>());

// Exact field rate (Hz) and line rate (kHz) of a timing from its clock and totals; the stored
// rates when the totals are missing.
double exactFieldRate(const Timing& t);
double exactLineRate(const Timing& t);

// One data block of the CTA-861 extension, header included. `kind` names what it holds
// ("video", "audio", "speaker", "vsdb", "hfvsdb", "hdr", "infoframe", "colorimetry",
// "y420video", "y420cap", "other").
struct DataBlock
{
    QString kind;
    QByteArray bytes;
};
QList<DataBlock> ceaDataBlocks(const EdidState& s, const Interface& in, const TimingLayout& layout,
                               QString* error);
// The kind of a data block as it stands in an EDID (header first).
QString dataBlockKind(const QByteArray& block);
// Moves the HDMI Forum EDID extension override data block, which must be the first data block of
// the extension, to the front; the other blocks keep their order.
void overrideBlockFirst(QList<DataBlock>* blocks);

// Everything written for one state, before the parts are laid out in the blocks.
struct Image
{
    QByteArray base; // 128 bytes; byte 127 not set
    bool twoBlocks = false;
    quint8 ceaRevision = 3;
    quint8 ceaFlags = 0;
    QList<DataBlock> blocks;
    QList<QByteArray> extDescriptors; // 18 bytes each, after the data blocks
    QList<int> extDescriptorRows;     // the timing row of each (-1: a display descriptor)
    QList<int> baseDtdRows;           // the rows written as detailed timings in the base block
    QList<EdidTimingPlacement> placements;
    QString error;
};
Image generate(const EdidState& s);

} // namespace EdidEncoding

#endif // EDIDENCODER_P_H
