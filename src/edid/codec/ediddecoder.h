#ifndef EDIDDECODER_H
#define EDIDDECODER_H

#include "edidcatalogues.h"
#include "edidstate.h"

#include <QByteArray>
#include <QString>

#include <functional>

// What a decode needs besides the bytes: the catalogues it names timings and audio formats from,
// and the two questions it may have to put to the user. The editor's context asks through
// Dialogs; tests and text-only decodes leave the hooks empty.
struct EdidDecodeContext
{
    const TimingCatalogue* timings = nullptr; // null: no catalogue (every timing is computed)
    const AudioCatalogue* audio = nullptr;    // null: audio formats stay unnamed
    // Called at most once per decode, when a decoded block's bytes do not sum to 0.
    std::function<void()> checksumWarning;
    // Asked, only when a state is filled, whether the HDR static metadata support that an
    // InfoFrame data block declares should be kept. Unset: keep it.
    std::function<bool()> keepHdrStaticMetadata;
    // Whether the editor is in edit mode (the interface rules keep the size outside it).
    bool editMode = false;
};

// Decodes an EDID: the base block and its first extension (a CTA-861 block; any other kind is
// named, not decoded). Returns the description text: the hex dump, the block map, then one line
// per decoded field. With a state, also fills it (only the members the EDID speaks of change;
// hand in a fresh state for a fresh EDID). Without one, only the text is produced.
//
// Input that is not an EDID is refused: anything but a whole number of 128-byte blocks, or a
// first block without the header pattern 00 FF FF FF FF FF FF 00. Then the result is empty, the
// state is untouched and *error says why. Blocks after the first extension are not decoded; the
// description says so.
QString decodeEdid(const QByteArray& bytes, const EdidDecodeContext& context, EdidState* state,
                   QString* error = nullptr);

// The first check of decodeEdid alone: empty when the bytes can be decoded, else the message.
QString edidInputError(const QByteArray& bytes);

// The stricter check for an EDID that crosses a link: bytes read from a unit, or a file about to
// be sent to one. Units hold one or two blocks, so only 128 or 256 bytes are taken, with the
// header pattern and every block summing to 0 (a torn transfer rarely keeps its sums). Empty when
// the bytes may be used, else the message to show.
QString edidTransferError(const QByteArray& bytes);

// The hexadecimal block of a unit's reply to an EDID query, as bytes. Units send an EDID as
// hexadecimal text: one long run of digits ("00FFFFFF..."), or pairs between blanks
// ("00 FF FF ..."), over one or more lines, among lines of their own (the echoed command, a
// heading, a status word, the ">" prompt, which counts as a line end). The block is the run of
// lines made of hexadecimal digits and blanks alone; every group of digits in it is whole pairs,
// each pair one byte, so a lost or doubled digit is found rather than shifting every byte after
// it. Whatever the bytes are, edidTransferError still decides whether they are an EDID.
struct EdidHexBlock
{
    QByteArray bytes; // empty unless ok()
    QString error;    // why there are no bytes
    bool missing = false; // no hexadecimal line at all: the unit answered in words only
    bool ok() const { return error.isEmpty(); }
};
EdidHexBlock decodeEdidHexBlock(const QString& reply);

// The hexadecimal table of all bytes and the block map of the first two blocks, as the
// description begins.
QString edidHexDump(const QByteArray& bytes);
QString edidBlockMap(const QByteArray& bytes);
// Label of a CTA-861 data block tag (extended false) or extended tag code (extended true).
QString dataBlockShortName(int code, bool extended);

#endif // EDIDDECODER_H
