// The data blocks of the CTA-861 extension: video, audio, speaker allocation, the HDMI and HDMI
// Forum vendor-specific blocks, HDR static metadata, InfoFrame, colorimetry, the two YCbCr 4:2:0
// blocks, and the blocks the editor does not model, written back as they were read.

#include "edidencoder_p.h"

#include "timing.h"

#include <QHash>
#include <QVector>

#include <cmath>

namespace EdidEncoding {

namespace {

QByteArray block(int tag, const QByteArray& payload)
{
    return QByteArray(1, char(tag << 5 | (payload.size() & 0x1F))) + payload;
}

// Long lists go into several blocks of the same kind (CTA-861 allows any number of them).
void appendSplit(QList<DataBlock>* out, const QString& kind, int tag, const QByteArray& prefix,
                 const QByteArray& items, int itemSize)
{
    const int perBlock = (31 - prefix.size()) / itemSize * itemSize;
    for (int k = 0; k < items.size(); k += perBlock)
        out->append({kind, block(tag, prefix + items.mid(k, perBlock))});
}

// `taken`: descriptors as read whose byte 3 an earlier row of codes 9 to 14 has already used.
QByteArray shortAudioDescriptor(const AudioFormat& f, const EdidState& s, QList<QByteArray>* taken)
{
    const int code = f.type < 15 ? f.type : 15;
    const int channels = qBound(1, f.channels, 8);
    int b2 = 0;
    for (double r : f.samplingFreqs) {
        switch (int(r)) {
        case 32: b2 |= 0x01; break;
        case 44: b2 |= 0x02; break;
        case 48: b2 |= 0x04; break;
        case 88: b2 |= 0x08; break;
        case 96: b2 |= 0x10; break;
        case 176: b2 |= 0x20; break;
        case 192: b2 |= 0x40; break;
        default: break;
        }
    }
    const int b1 = (code & 0x0F) << 3 | (channels - 1);
    int b3 = 0;
    if (f.type == 1) {
        for (int d : f.bitDepths)
            b3 |= d == 16 ? 0x01 : d == 20 ? 0x02 : d == 24 ? 0x04 : 0;
    } else if (f.type >= 2 && f.type <= 8) {
        b3 = qBound(0, f.maxBitRate / 8, 255);
    } else if (f.type >= 15 && f.type <= 20) {
        static const int extensionTypes[] = {4, 5, 6, 7, 8, 10};
        b3 = extensionTypes[f.type - 15] << 3;
        if (f.audioFrameLength.contains(1024))
            b3 |= 0x04;
        if (f.audioFrameLength.contains(960))
            b3 |= 0x02;
        if (f.mpegSurroundExplicit)
            b3 |= 0x01;
    } else {
        // Codes 9 to 14: the third byte depends on the format; the table does not show it, so it
        // comes from the descriptor as read. Rows that look alike (two DTS-HD descriptors that
        // differ only there) take the descriptors in the order they were read.
        for (const QByteArray& raw : s.audioDescriptorBytes) {
            // The reserved top bits of bytes 1 and 2 are not in the row.
            if (raw.size() == 3 && (quint8(raw.at(0)) & 0x7F) == b1 && (quint8(raw.at(1)) & 0x7F) == b2
                && !taken->contains(raw)) {
                b3 = quint8(raw.at(2));
                taken->append(raw);
                break;
            }
        }
    }
    return QByteArray() + char(b1) + char(b2) + char(b3);
}

QByteArray audioDescriptors(const EdidState& s)
{
    QList<QByteArray> rows, taken;
    for (const AudioFormat& f : s.audioFormats)
        rows.append(shortAudioDescriptor(f, s, &taken));
    QList<QByteArray> unknown = s.unknownAudioDescriptors;
    QList<QByteArray> seen;
    QByteArray out;
    // The rows in table order, the descriptors the table has no row for where they were read
    // among them; rows beyond the descriptors read (new ones) after them.
    int next = 0;
    for (const QByteArray& raw : s.audioDescriptorBytes) {
        const int u = unknown.indexOf(raw);
        if (u >= 0) {
            out += raw;
            unknown.removeAt(u);
            continue;
        }
        if (seen.contains(raw))
            continue; // a descriptor read twice is one row
        seen.append(raw);
        if (next < rows.size())
            out += rows.at(next++);
    }
    for (; next < rows.size(); ++next)
        out += rows.at(next);
    for (const QByteArray& raw : unknown)
        out += raw.left(3).leftJustified(3, '\0');
    return out;
}

// Latency text in ms as the decoder shows it: empty (0, unknown), "255" (not supported), else
// (ms / 2) + 1, within the byte's range.
int latencyCode(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    if (t == QLatin1String("255"))
        return 255;
    bool ok = false;
    const int ms = t.toInt(&ok);
    if (!ok || ms < 0)
        return 0;
    return qMin(ms / 2 + 1, 254);
}

int fieldValue(const QString& text, int low, int high)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return 0;
    return int(qBound(double(low), std::floor(v + 0.5), double(high)));
}

QByteArray hdmiVsdb(const EdidState& s, const TimingLayout& l, QString* error)
{
    const QByteArray& orig = s.vsdbBytes;
    auto origAt = [&orig](int k) { return k < orig.size() ? int(quint8(orig.at(k))) : 0; };
    const bool decoded = s.hdmiVsdbPresent;
    QByteArray p;
    p += char(0x03);
    p += char(0x0C);
    p += char(0x00);
    const auto& a = s.physicalAddress;
    p += char(qBound(0, a[0], 15) << 4 | qBound(0, a[1], 15));
    p += char(qBound(0, a[2], 15) << 4 | qBound(0, a[3], 15));

    const int flags5 = (s.supportsAI ? 0x80 : 0) | (s.dc48bit ? 0x40 : 0) | (s.dc36bit ? 0x20 : 0)
        | (s.dc30bit ? 0x10 : 0) | (s.dcY444 ? 0x08 : 0) | (s.dviDual ? 0x01 : 0) | (s.vsdbFlags5 & 0x06);
    // The HDMI 1.4 block tells TMDS clocks up to 340 MHz; faster ones are the HDMI Forum block's.
    int tmds = 0;
    {
        bool ok = false;
        const double mhz = s.maxTmdsClock.trimmed().toDouble(&ok);
        if (ok && std::isfinite(mhz) && mhz > 0)
            tmds = qBound(1, int(std::ceil(qMin(mhz, 340.0) / 5.0 - 1e-9)), 68);
    }
    const bool progressive = !decoded || !s.latencyProgressiveVideo.trimmed().isEmpty()
        || !s.latencyProgressiveAudio.trimmed().isEmpty() || (origAt(7) & 0x80) || !s.latencyInterlacedVideo.trimmed().isEmpty()
        || !s.latencyInterlacedAudio.trimmed().isEmpty();
    // Interlaced latencies exist only after progressive ones: a block read with the interlaced
    // flag alone had no latency bytes (decoders pass over the flag), and gets none.
    const bool interlaced = !decoded || !s.latencyInterlacedVideo.trimmed().isEmpty()
        || !s.latencyInterlacedAudio.trimmed().isEmpty() || ((origAt(7) & 0x40) && progressive);
    const bool hdmiVideo = !l.hdmiVics.isEmpty() || s.threeDPresent || (origAt(7) & 0x20);
    const int byte7 = (progressive ? 0x80 : 0) | (interlaced ? 0x40 : 0) | (hdmiVideo ? 0x20 : 0)
        | (s.gameContent ? 0x08 : 0) | (s.cinemaContent ? 0x04 : 0) | (s.photoContent ? 0x02 : 0)
        | (s.graphicsContent ? 0x01 : 0) | (origAt(7) & 0x10);
    const bool need7 = !decoded || orig.size() > 7 || byte7 != 0;
    const bool need6 = need7 || orig.size() > 6 || tmds != 0;
    const bool need5 = need6 || orig.size() > 5 || flags5 != 0;
    if (need5)
        p += char(flags5);
    if (need6)
        p += char(tmds);
    if (need7) {
        p += char(byte7);
        if (progressive) {
            p += char(latencyCode(s.latencyProgressiveVideo));
            p += char(latencyCode(s.latencyProgressiveAudio));
        }
        if (interlaced) {
            p += char(latencyCode(s.latencyInterlacedVideo));
            p += char(latencyCode(s.latencyInterlacedAudio));
        }
    }
    if (need7 && hdmiVideo) {
        int multi = 0;
        QByteArray threeD;
        // The 3D entries and the mask index the video block's SVDs, the state indexes VIC slots:
        // a slot's entries go to the SVD of its VIC, wherever the video block lists it. A slot
        // without a VIC keeps its own index.
        // While the video data blocks list the SVDs as read, every entry keeps the index it was
        // read with (one past the end of the list included).
        const bool svdsAsRead = l.svdVics == s.videoBlockVics;
        const auto svdOfSlot = [&](int slot) {
            if (svdsAsRead || slot >= s.vicSlots.size())
                return slot;
            const int vic = s.vicSlots.at(slot).vic;
            for (int k = 0; k < l.svds.size() && k < 16; ++k) {
                const int v = l.svds.at(k);
                if ((v >= 129 && v <= 192 ? v & 0x7F : v) == vic)
                    return k;
            }
            return -1;
        };
        int threeDMask = s.threeDMask;
        if (threeDMask >= 0) {
            threeDMask = 0;
            for (int i = 0; i < 16; ++i) {
                const int k = svdOfSlot(i);
                if ((s.threeDMask >> i & 1) && k >= 0)
                    threeDMask |= 1 << k;
            }
        }
        if (s.threeDPresent) {
            if (s.threeDStructureAll >= 0 && (s.threeDMulti == 1 || s.threeDMulti == 2)) {
                multi = s.threeDMulti;
            } else if (s.threeDStructureAll > 0) {
                const int all = l.svds.size() >= 16 ? 0xFFFF : (1 << l.svds.size()) - 1;
                const int mask = threeDMask & 0xFFFF;
                multi = threeDMask >= 0 && mask != 0xFFFF && mask != all ? 2 : 1;
            }
            if (multi >= 1) {
                threeD += char((s.threeDStructureAll >> 8) & 0xFF);
                threeD += char(s.threeDStructureAll & 0xFF);
            }
            if (multi == 2) {
                threeD += char((threeDMask >> 8) & 0xFF);
                threeD += char(threeDMask & 0xFF);
            }
            for (int i = 0; i < 16; ++i) {
                const int structures = s.vicThreeDStructures[size_t(i)];
                const int svd = svdOfSlot(i);
                for (int b = 0; b < 16 && svd >= 0; ++b) {
                    if (!(structures >> b & 1))
                        continue;
                    threeD += char(svd << 4 | b);
                    if (b >= 8) {
                        const int detail = decoded ? s.vicThreeDDetails[size_t(i)] : 1;
                        threeD += char((detail & 0x0F) << 4);
                    }
                }
            }
        }
        const int imageSize = s.hdmiImageSize >= 0 ? (s.hdmiImageSize & 3) : 0;
        p += char((s.threeDPresent ? 0x80 : 0) | multi << 5 | imageSize << 3);
        p += char((l.hdmiVics.size() & 7) << 5 | (threeD.size() & 0x1F));
        for (int v : l.hdmiVics)
            p += char(v);
        p += threeD;
        if (threeD.size() > 31 && error && error->isEmpty())
            *error = QStringLiteral("The 3D formats of the HDMI block need %1 bytes; there is room for 31.")
                         .arg(threeD.size());
    }
    // Bytes after what the block's fields say (later additions to the block) stay as they were.
    if (orig.size() > p.size() && orig.startsWith(p))
        p = orig;
    if (p.size() > 31 && error && error->isEmpty())
        *error = QStringLiteral("The HDMI vendor-specific data block needs %1 bytes; a data block holds at most 31.")
                     .arg(p.size());
    return block(3, p);
}

QByteArray hdmiForumVsdb(const EdidState& s)
{
    // The fastest TMDS character rate the timings need: 4:2:0-only timings run at half clock.
    double needed = 0;
    for (const Timing& t : s.timings)
        needed = qMax(needed, t.subsampling == 1 ? t.pixelFreq / 2.0 : t.pixelFreq);
    // A block read keeps its rate and flags. A new one tells the rate the timings need, or 0
    // up to 340 MHz (the HDMI 1.4 block tells those); above 340 MHz it has SCDC and scrambling.
    int rate = qBound(0, s.hfVsdbMaxTmdsRate, 255);
    int flags6 = s.hfVsdbFlags6 & 0xFF;
    if (!s.hfVsdbPresent) {
        rate = needed > 340.0 ? qMin(int(std::ceil(needed / 5.0 - 1e-9)), 120) : 0;
        if (rate * 5 > 340)
            flags6 |= 0x88;
    }
    QByteArray p;
    p += char(0xD8);
    p += char(0x5D);
    p += char(0xC4);
    p += char(s.hfVsdbVersion ? s.hfVsdbVersion : 1);
    p += char(rate);
    p += char(flags6);
    p += char(s.hfVsdbFlags7 & 0xFF);
    p += s.hfVsdbTail;
    return block(3, p);
}

bool infoFrameDeclaresDynamicRange(const QByteArray& raw)
{
    const QByteArray p = raw.mid(1);
    auto at = [&p](int k) { return k >= 0 && k < p.size() ? int(quint8(p.at(k))) : 0; };
    if (p.size() < 3)
        return false;
    int k = 3 + (at(1) >> 5);
    while (k < p.size()) {
        const int h = at(k++);
        if ((h & 0x1F) == 7)
            return true;
        if ((h & 0x1F) == 1)
            k += 3;
        k += h >> 5;
    }
    return false;
}

} // namespace

QString dataBlockKind(const QByteArray& b)
{
    if (b.isEmpty())
        return QStringLiteral("other");
    auto at = [&b](int k) { return k < b.size() ? int(quint8(b.at(k))) : 0; };
    const int len = at(0) & 0x1F;
    switch (at(0) >> 5) {
    case 1: return QStringLiteral("audio");
    case 2: return QStringLiteral("video");
    case 4: return QStringLiteral("speaker");
    case 3: {
        const int oui = at(3) << 16 | at(2) << 8 | at(1);
        if (len >= 3 && oui == 0x000C03)
            return QStringLiteral("vsdb");
        if (len >= 3 && oui == 0xC45DD8)
            return QStringLiteral("hfvsdb");
        return QStringLiteral("other");
    }
    case 7:
        switch (at(1)) {
        case 5: return QStringLiteral("colorimetry");
        case 6: return QStringLiteral("hdr");
        case 14: return QStringLiteral("y420video");
        case 15: return QStringLiteral("y420cap");
        case 32: return QStringLiteral("infoframe");
        default: return QStringLiteral("other");
        }
    default: return QStringLiteral("other");
    }
}

void overrideBlockFirst(QList<DataBlock>* blocks)
{
    QList<DataBlock> first, rest;
    for (const DataBlock& d : *blocks) {
        const bool eeodb = d.bytes.size() >= 2 && quint8(d.bytes.at(0)) >> 5 == 7 && quint8(d.bytes.at(1)) == 0x78;
        (eeodb ? first : rest).append(d);
    }
    *blocks = first + rest;
}

QList<DataBlock> ceaDataBlocks(const EdidState& s, const Interface& in, const TimingLayout& l, QString* error)
{
    QList<DataBlock> out;
    if (!in.twoBlocks)
        return out;

    QByteArray svds;
    for (int v : l.svds)
        svds += char(v);
    appendSplit(&out, QStringLiteral("video"), 2, QByteArray(), svds, 1);

    if (in.videoBlocks()) {
        appendSplit(&out, QStringLiteral("audio"), 1, QByteArray(), audioDescriptors(s), 3);
        const bool anySpeaker = s.speakerFL || s.speakerFR || s.speakerLFE || s.speakerFC || s.speakerRL || s.speakerRR
            || s.speakerRC || s.speakerFLC || s.speakerFRC || s.speakerRLC || s.speakerRRC || s.speakerFLW
            || s.speakerFRW || s.speakerFLH || s.speakerFRH || s.speakerTC || s.speakerFCH;
        // Speakers without basic audio are no allocation (the buttons stay set while audio is
        // off); a block the EDID was read with is kept.
        if (s.speakerAllocationPresent || (s.basicAudio && (anySpeaker || !s.hasCeaExtension))) {
            QByteArray p(3, '\0');
            p[0] = char(((s.speakerFLW || s.speakerFRW) ? 0x80 : 0) | ((s.speakerRLC || s.speakerRRC) ? 0x40 : 0)
                        | ((s.speakerFLC || s.speakerFRC) ? 0x20 : 0) | (s.speakerRC ? 0x10 : 0)
                        | ((s.speakerRL || s.speakerRR) ? 0x08 : 0) | (s.speakerFC ? 0x04 : 0)
                        | (s.speakerLFE ? 0x02 : 0) | ((s.speakerFL || s.speakerFR) ? 0x01 : 0));
            p[1] = char((s.speakerAllocation[1] & 0xF8) | (s.speakerFCH ? 0x04 : 0) | (s.speakerTC ? 0x02 : 0)
                        | ((s.speakerFLH || s.speakerFRH) ? 0x01 : 0));
            p[2] = char(s.speakerAllocation[2]);
            out.append({QStringLiteral("speaker"), block(4, p)});
        }
    }
    // An HDMI EDID has the HDMI block; one read without it gets it when its interface is made HDMI.
    const bool hdmiMadeNow = !s.hasCeaExtension
        || (s.originState && s.originState->digitalInterface != EdidState::DigitalInterface::Hdmi);
    if (in.hdmiBlocks() && (s.hdmiVsdbPresent || hdmiMadeNow || !l.hdmiVics.isEmpty()))
        out.append({QStringLiteral("vsdb"), hdmiVsdb(s, l, error)});
    if (in.videoBlocks()) {
        // A new block is added for 4:2:0 or faster than 340 MHz timings that the EDID did not
        // come with.
        bool needed = false;
        for (const Timing& t : s.timings) {
            bool added = !s.hasCeaExtension;
            if (!added && s.originState) {
                added = true;
                for (const Timing& o : s.originState->timings)
                    added = added && !sameTiming(o, t);
            }
            needed = needed || (added && (t.subsampling != 0 || t.pixelFreq > 340.0));
        }
        if (s.hfVsdbPresent || (in.hdmi && needed))
            out.append({QStringLiteral("hfvsdb"), hdmiForumVsdb(s)});
    }

    if (s.enableHdr) {
        const int eotf = (s.hdrSdr ? 0x01 : 0) | (s.hdrHdr ? 0x02 : 0) | (s.hdrSmpte2084 ? 0x04 : 0)
            | (s.hdrHlg ? 0x08 : 0) | (s.hdrEotfByte & 0xF0);
        const int descriptors = (s.hdrMetadataDescriptors & 0xFE) | (s.hdrStaticMetaDataSupport ? 0x01 : 0);
        const QString* luminance[] = {&s.contentMaxLuminance, &s.contentMaxFrameAvgLuminance, &s.contentMinLuminance};
        int count = 0;
        for (int k = 0; k < 3; ++k) {
            if (!luminance[k]->trimmed().isEmpty())
                count = k + 1;
        }
        QByteArray p;
        p += char(0x06);
        p += char(eotf);
        p += char(descriptors);
        for (int k = 0; k < count; ++k)
            p += char(fieldValue(*luminance[k], 0, 255));
        out.append({QStringLiteral("hdr"), block(7, p)});
    }
    if (!s.infoFrameBlock.isEmpty()) {
        if (s.hdrStaticMetaDataSupport || !infoFrameDeclaresDynamicRange(s.infoFrameBlock)) {
            QByteArray raw = s.infoFrameBlock.left(32);
            raw[0] = char(0xE0 | (raw.size() - 1));
            out.append({QStringLiteral("infoframe"), raw});
        }
    } else if (s.enableHdr && s.hdrStaticMetaDataSupport && !s.hdrStaticMetaData.isEmpty()) {
        // The sink takes Dynamic Range and Mastering InfoFrames (type 7) with this payload.
        const QByteArray payload = s.hdrStaticMetaData.left(7);
        QByteArray p;
        p += char(0x20);
        p += char(0x00); // processing descriptor without payload
        p += char(0x00); // one VSIF at a time
        p += char(payload.size() << 5 | 0x07);
        p += payload;
        out.append({QStringLiteral("infoframe"), block(7, p)});
    }

    int colorimetry = 0;
    for (int i = 0; i < 8; ++i)
        colorimetry |= s.colorimetry[size_t(i)] ? 1 << i : 0;
    const int colorimetry2 = (s.colorimetryByte2 & 0x7F) | (s.colorimetry[8] ? 0x80 : 0);
    if (colorimetry || colorimetry2)
        out.append({QStringLiteral("colorimetry"), block(7, QByteArray() + char(0x05) + char(colorimetry) + char(colorimetry2))});

    if (in.videoBlocks()) {
        QByteArray vics;
        for (int v : l.yuv420Vics)
            vics += char(v);
        appendSplit(&out, QStringLiteral("y420video"), 7, QByteArray(1, char(0x0E)), vics, 1);
        // Bit i stands for the i-th short video descriptor of the video data blocks.
        // An SVD read keeps its own bit while its row still says what the map said of its VIC
        // (a VIC listed twice may be marked once); the others follow their rows.
        QHash<int, int> seen;
        QByteArray map;
        for (int i = 0; i < l.svdRows.size(); ++i) {
            const int row = l.svdRows.at(i);
            const int vic = l.svdVics.at(i);
            int readIndex = -1;
            for (int k = 0, n = seen[vic]++; k < s.videoBlockVics.size() && readIndex < 0; ++k) {
                if (s.videoBlockVics.at(k) == vic && n-- == 0)
                    readIndex = k;
            }
            const bool readMarked = readIndex >= 0 && s.yuv420CapabilitySvds.contains(readIndex);
            bool both = row >= 0 ? s.timings.at(row).subsampling == 2 : s.yuv420CapabilityVics.contains(vic);
            if (both && readIndex >= 0 && s.yuv420CapabilityVics.contains(vic))
                both = readMarked;
            else if (row < 0 && readIndex >= 0)
                both = readMarked;
            if (!both)
                continue;
            if (map.size() <= i / 8)
                map.append(QByteArray(i / 8 + 1 - map.size(), '\0'));
            map[i / 8] = char(quint8(map.at(i / 8)) | 1 << (i % 8));
        }
        if (!map.isEmpty()) {
            if (map.size() > 30 && error && error->isEmpty())
                *error = QStringLiteral("The YCbCr 4:2:0 capability map needs %1 bytes; a data block holds at most 31.")
                             .arg(map.size() + 1);
            out.append({QStringLiteral("y420cap"), block(7, QByteArray(1, char(0x0F)) + map.left(30))});
        }
    }

    for (const QByteArray& raw : s.otherDataBlocks) {
        if (raw.isEmpty())
            continue;
        QByteArray b = raw.left(32);
        b[0] = char((quint8(b.at(0)) & 0xE0) | (b.size() - 1));
        out.append({QStringLiteral("other"), b});
    }
    // An E-EDID 1.3 names no interface: an extension without data blocks reads back as DVI. An
    // HDMI one has its HDMI block.
    if (out.isEmpty() && in.hdmi && !in.v14 && in.hdmiBlocks())
        out.append({QStringLiteral("vsdb"), hdmiVsdb(s, l, error)});
    overrideBlockFirst(&out);
    return out;
}

} // namespace EdidEncoding
