#ifndef EDIDENCODER_H
#define EDIDENCODER_H

#include "edidstate.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Where one row of the timing table landed when the state was written: the established timing
// bits, a standard timing code, a short video descriptor of the CTA-861 video data block, a
// detailed timing descriptor, or an HDMI VIC of the HDMI vendor-specific data block.
struct EdidTimingPlacement
{
    bool established = false, standard = false, videoBlock = false, dtd = false, hdmiBlock = false;
};

struct EdidEncodeResult
{
    QByteArray bytes;                      // 128 or 256 bytes with valid checksums; empty when refused
    QList<EdidTimingPlacement> placements; // one per row of state.timings: where the row landed
    QString error;                         // why the state cannot be encoded; empty on success
    bool ok() const { return error.isEmpty(); }
};

// Writes the state as an EDID: the base block, and the CTA-861 extension when the state has one.
// Pure: no widgets, no questions, no side effects.
EdidEncodeResult encodeEdid(const EdidState& state);

// Empty when encodeEdid(state) would succeed, else the message it would give.
QString edidEncodableError(const EdidState& state);

// The starting state of a new EDID (manufacturer "VLM", a random product code, ...).
EdidState newEdidState();

#endif // EDIDENCODER_H
