// CTA-861 extension block: flags, the data block collection, audio, video and speaker
// allocation data blocks, and the extension's detailed timings.

#include "constants.h"
#include "ediddecoder_p.h"
#include "edidrules.h"

#include <QDebug>

void EdidDecoder::parseCeaExtension()
{
    append(QStringLiteral("CEA extension block\n"));
    append(QStringLiteral("Extension version: %1\n").arg(at(129)));
    const int d = at(130);
    const bool validOffset = d >= 4 && d <= 127;
    if (m_state) {
        m_state->hasCeaExtension = true;
        m_state->ceaRevision = at(129);
        if (!m_v14 && m_state->signalType == EdidState::SignalType::Digital) {
            // An EDID 1.3 does not name its interface: data blocks before the detailed timings
            // make it an HDMI EDID.
            m_state->digitalInterface = validOffset && d > 4 ? EdidState::DigitalInterface::Hdmi
                                                             : EdidState::DigitalInterface::Dvi;
            interfaceChanged();
        }
    }
    parseCEAFlags();
    m_audioRowByte3.clear();
    if (m_state) {
        m_state->audioFormats.clear();
        m_state->audioDescriptorBytes.clear();
        m_state->unknownAudioDescriptors.clear();
    }
    if (d != 0 && !validOffset)
        append(QStringLiteral("Invalid detailed timing offset %1\n").arg(d));

    const int end = validOffset ? 128 + d : 132;
    // The 4:2:0 capability map indexes the SVDs of all video data blocks, wherever it stands.
    for (int pos = 132; pos < end;) {
        const int h = at(pos);
        const int len = qMin(h & 0x1F, end - pos - 1);
        if (h >> 5 == 2) {
            for (int k = 0; k < len; ++k) {
                const int b = at(pos + 1 + k);
                m_allSvds.append(((b >= 1 && b <= 64) || (b >= 129 && b <= 192)) ? (b & 0x7F) : b);
            }
        }
        pos += 1 + len;
    }

    int pos = 132;
    while (pos < end) {
        append(QStringLiteral("\n"));
        const int h = at(pos);
        const int tag = h >> 5;
        int len = h & 0x1F;
        if (pos + 1 + len > end) {
            qDebug() << Q_FUNC_INFO << "data block at" << pos << "runs past the end of the collection";
            len = end - pos - 1;
        }
        const Payload payload{this, pos + 1, len};
        switch (tag) {
        case 1: parseAudioDataBlock(payload); break;
        case 2: parseVideoDataBlock(payload); break;
        case 3: parseVendorSpecificDataBlock(payload); break;
        case 4: parseSpeakerAllocation(payload); break;
        case 5:
            append(QStringLiteral("VESA DTC data block\n"));
            keepDataBlock(payload);
            break;
        case 7: parseExtendedTag(payload); break;
        default: keepDataBlock(payload); break;
        }
        pos += 1 + len;
    }
    append(QStringLiteral("\n"));

    // The detailed timings, wherever they stand among display descriptors (a serial number
    // may come first). The display descriptors are not decoded; they are kept for writing back.
    for (int offset : ctaDescriptorOffsets(m_bytes.mid(128, 128))) {
        const int p = 128 + offset;
        if (at(p) != 0 || at(p + 1) != 0)
            parseEighteenByteDescriptor(p, 1);
        else if (m_state)
            m_state->otherDescriptors.append({1, m_bytes.mid(p, 18)});
    }
    if (m_state) {
        m_state->videoBlockVics = m_allSvds;
        // A VIC of the 4:2:0 video data block that a later video data block lists again is
        // still 4:2:0, whichever of the two blocks comes first.
        for (Timing& t : m_state->timings) {
            if (t.videoBlock && t.subsampling == 0 && t.vic > 0 && m_state->yuv420Vics.contains(t.vic))
                t.subsampling = 1;
        }
        // An SVD of 0 is no VIC: the map bit of one must not reach the rows without a VIC.
        QList<int> capable = m_state->yuv420CapabilityVics;
        capable.removeAll(0);
        EdidRules::apply420CapabilityMap(&m_state->timings, capable);
    }
    checksum(1);
}

void EdidDecoder::keepDataBlock(const Payload& p)
{
    if (!m_state)
        return;
    QByteArray raw;
    raw.append(char(at(p.position - 1)));
    for (int k = 0; k < p.length; ++k)
        raw.append(char(p[k]));
    m_state->otherDataBlocks.append(raw);
}

void EdidDecoder::parseCEAFlags()
{
    const int b = at(131);
    if (m_state) {
        m_state->underscan = b & 0x80;
        m_state->basicAudio = b & 0x40;
        m_state->ycbcr444 = b & 0x20;
        m_state->ycbcr422 = b & 0x10;
        m_state->nativeDtdCount = b & 0x0F;
    }
    if (b & 0x80)
        append(QStringLiteral("Underscan ON\n"));
    if (b & 0x40)
        append(QStringLiteral("Basic audio support ON\n"));
    if (b & 0x20)
        append(QStringLiteral("Supports YCbCr 4:4:4\n"));
    if (b & 0x10)
        append(QStringLiteral("Supports YCbCr 4:2:2\n"));
}

namespace {
// The sample rates line of a short audio descriptor's byte 2; the rates go to `khz` when given.
QString sampleRatesLine(int b2, QList<double>* khz)
{
    static const struct
    {
        int bit;
        double khz;
        const char* text;
    } rates[] = {{0x40, 192, " 192"}, {0x20, 176.4, " 176.4"}, {0x10, 96, " 96"}, {0x08, 88.2, " 88.2"},
                 {0x04, 48, " 48"},   {0x02, 44.1, " 44.1"},   {0x01, 32, " 32"}};
    QString line = QStringLiteral("    Supported sample rates (kHz):");
    for (const auto& r : rates) {
        if (b2 & r.bit) {
            if (khz)
                khz->append(r.khz);
            line += QLatin1String(r.text);
        }
    }
    return line + QLatin1Char('\n');
}
} // namespace

void EdidDecoder::parseAudioDataBlock(const Payload& p)
{
    append(QStringLiteral("Audio data block\n"));
    if (p.length % 3 != 0)
        append(QStringLiteral("Broken CEA audio block length %1\n").arg(p.length));
    for (int i = 0; i + 3 <= p.length; i += 3) {
        const int b1 = p[i], b2 = p[i + 1], b3 = p[i + 2];
        const QByteArray raw = QByteArray() + char(b1) + char(b2) + char(b3);
        if (m_state)
            m_state->audioDescriptorBytes.append(raw);
        const int code = (b1 >> 3) & 0x0F;
        AudioFormat f;
        f.channels = (b1 & 0x07) + 1;
        f.type = code;
        if (code == 15) {
            static const int extensionTypes[] = {0, 0, 0, 0, 15, 16, 17, 18, 19, 0, 20};
            const int e = b3 >> 3;
            f.type = e < 11 ? extensionTypes[e] : 0;
            if (f.type == 0) {
                // Codings the audio table has no row type for are kept as read; those CTA-861
                // names are still named.
                static const char* const extensionNames[] = {"MPEG-H 3D Audio", "AC-4", "L-PCM 3D Audio"};
                if (e >= 11 && e <= 13) {
                    append(QStringLiteral("  %1\n").arg(QLatin1String(extensionNames[e - 11])));
                    append(sampleRatesLine(b2, nullptr));
                } else {
                    append(QStringLiteral("  Audio extension type %1\n").arg(e));
                }
                if (m_state)
                    m_state->unknownAudioDescriptors.append(raw);
                continue;
            }
        } else if (code == 0) {
            append(QStringLiteral("  Reserved audio format 0\n"));
            if (m_state)
                m_state->unknownAudioDescriptors.append(raw);
            continue;
        }
        append(QStringLiteral("  %1\n    Max channels: %2\n").arg(audioFormatName(f.type)).arg(f.channels));
        append(sampleRatesLine(b2, &f.samplingFreqs));
        if (code == 1) {
            QString sizes = QStringLiteral("    Supported sample sizes (bits):");
            static const int depths[][2] = {{0x04, 24}, {0x02, 20}, {0x01, 16}};
            for (const auto& dpt : depths) {
                if (b3 & dpt[0]) {
                    f.bitDepths.append(dpt[1]);
                    sizes += QStringLiteral(" %1").arg(dpt[1]);
                }
            }
            append(sizes + QLatin1Char('\n'));
        } else if (code >= 2 && code <= 8) {
            f.maxBitRate = b3 * 8;
            append(QStringLiteral("    Maximum bit rate: %1 kHz\n").arg(f.maxBitRate));
        } else if (code == 15) {
            if (b3 & 0x04)
                f.audioFrameLength.append(1024);
            if (b3 & 0x02)
                f.audioFrameLength.append(960);
            f.mpegSurroundExplicit = b3 & 0x01;
        }
        if (m_context.audio) {
            for (const AudioFormat& c : m_context.audio->formats) {
                if (audioFormatsEqual(f, c)) {
                    f.name = c.name;
                    break;
                }
            }
        }
        if (m_state) {
            // Codes 9 to 14 carry a byte 3 of their own that the row cannot show: descriptors
            // that differ only there are rows of their own, so that each is written back.
            const int ownByte = code >= 9 && code <= 14 ? b3 : -1;
            bool known = false;
            for (int k = 0; k < m_state->audioFormats.size() && !known; ++k)
                known = m_audioRowByte3.value(k, -1) == ownByte && m_state->audioFormats.at(k) == f;
            if (!known) {
                m_state->audioFormats.append(f);
                m_audioRowByte3.append(ownByte);
            }
        }
    }
}

void EdidDecoder::parseVideoDataBlock(const Payload& p)
{
    append(QStringLiteral("Video data block\n"));
    for (int k = 0; k < p.length; ++k) {
        const int b = p[k];
        const bool hasNativeBit = (b >= 1 && b <= 64) || (b >= 129 && b <= 192);
        const bool native = hasNativeBit && (b & 0x80);
        const int vic = hasNativeBit ? (b & 0x7F) : b;
        if (m_state && native)
            m_state->nativeVics.append(vic);
        const Timing* c = findCeaTiming(vic);
        if (!c)
            continue;
        Timing t = *c;
        t.native = native;
        if (m_state) {
            t.videoBlock = true;
            addTiming(t);
        }
        append(QStringLiteral("  VIC %1 %2x%3%4@%5Hz %6\n")
                   .arg(vic, 2, 10, QLatin1Char('0'))
                   .arg(t.hActive)
                   .arg(t.ip ? t.vActive * 2 : t.vActive)
                   .arg(t.ip ? QStringLiteral("i") : QStringLiteral("p"))
                   .arg(t.fieldRate)
                   .arg(native ? QStringLiteral("(native)") : QString()));
        if (m_state)
            EdidRules::addVicSlot(m_state, t);
    }
}

void EdidDecoder::parseSpeakerAllocation(const Payload& p)
{
    append(QStringLiteral("Speaker allocation data block\n"));
    const int b1 = p[0], b2 = p[1];
    if (m_state) {
        EdidState& s = *m_state;
        s.speakerAllocationPresent = true;
        s.speakerAllocation = {quint8(b1), quint8(b2), quint8(p[2])};
        s.speakerFLW = s.speakerFRW = b1 & 0x80;
        s.speakerRLC = s.speakerRRC = b1 & 0x40;
        s.speakerFLC = s.speakerFRC = b1 & 0x20;
        s.speakerRC = b1 & 0x10;
        s.speakerRL = s.speakerRR = b1 & 0x08;
        s.speakerFC = b1 & 0x04;
        s.speakerLFE = b1 & 0x02;
        s.speakerFL = s.speakerFR = b1 & 0x01;
        s.speakerFCH = b2 & 0x04;
        s.speakerTC = b2 & 0x02;
        s.speakerFLH = s.speakerFRH = b2 & 0x01;
    }
    static const struct
    {
        int byte, bit;
        const char* text;
    } lines[] = {{0, 0x80, "  Front Left/Right Wide\n"}, {0, 0x40, "  Rear Left/Right Center\n"},
                 {0, 0x20, "  Front Left/Right Center\n"}, {0, 0x10, "  Rear Center\n"},
                 {0, 0x08, "  Rear Left/Right\n"},       {0, 0x04, "  Front Center\n"},
                 {0, 0x02, "  Low Frequency Effects\n"}, {0, 0x01, "  Front Left/Right\n"},
                 {1, 0x04, "  Front Center High\n"},     {1, 0x02, "  Top Center\n"},
                 {1, 0x01, "  Front Left/Right High\n"}};
    for (const auto& l : lines) {
        if ((l.byte == 0 ? b1 : b2) & l.bit)
            append(QLatin1String(l.text));
    }
}
