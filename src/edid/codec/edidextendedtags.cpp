// Extended-tag data blocks of a CTA-861 extension: colorimetry, HDR static metadata, InfoFrame
// and the two YCbCr 4:2:0 blocks; the others are named and kept.

#include "constants.h"
#include "ediddecoder_p.h"
#include "edidrules.h"

void EdidDecoder::parseExtendedTag(const Payload& p)
{
    const int code = p[0];
    QString name;
    switch (code) {
    case 0: name = QStringLiteral("Video capability data block"); break;
    case 1: name = QStringLiteral("Vendor-specific video data block"); break;
    case 2: name = QStringLiteral("VESA video display device information data block"); break;
    case 3: name = QStringLiteral("VESA video data block"); break;
    case 4: name = QStringLiteral("HDMI video data block"); break;
    case 5: parseColorimetry(p); return;
    case 6: parseHDR(p); return;
    case 13: name = QStringLiteral("Video Format Preference Data Block"); break;
    case 14: name = QStringLiteral("YCbCr 4:2:0 Video Data Block"); break;
    case 15: name = QStringLiteral("YCbCr 4:2:0 Capability Map Data Block"); break;
    case 16: name = QStringLiteral("CEA miscellaneous audio fields"); break;
    case 17: name = QStringLiteral("Vendor-specific audio data block"); break;
    case 18: name = QStringLiteral("HDMI audio data block"); break;
    case 120: name = QStringLiteral("HDMI Forum EDID extension override data block"); break;
    case 32:
        parseInfoFrame(p);
        append(QStringLiteral("Extended tag: InfoFrame Data Block\n"));
        return;
    default:
        if (code >= 7 && code <= 12)
            name = QStringLiteral("Reserved video block %1").arg(code);
        else if (code >= 19 && code <= 31)
            name = QStringLiteral("Reserved audio block %1").arg(code);
        else
            name = QStringLiteral("Unknown %1").arg(code);
        break;
    }
    append(QStringLiteral("Extended tag: ") + name + QLatin1Char('\n'));
    if (code == 14)
        parse420VideoDataBlock(p);
    else if (code == 15)
        parse420CapabilityMapDataBlock(p);
    else
        keepDataBlock(p);
}

void EdidDecoder::parseColorimetry(const Payload& p)
{
    append(QStringLiteral("Colorimetry extended block\n"));
    const int b = p[1], c = p[2];
    if (m_state) {
        m_state->colorimetryPresent = true;
        m_state->colorimetryByte1 = quint8(b);
        m_state->colorimetryByte2 = quint8(c);
        for (int i = 0; i < 8; ++i)
            m_state->colorimetry[size_t(i)] = b >> i & 1;
        m_state->colorimetry[8] = c & 0x80;
    }
    static const char* lines[] = {"xvYCC601 supported\n",   "xvYCC709 supported\n",  "sYCC601 supported\n",
                                  "opYCC601601 supported\n", "opRGB supported\n",     "BT2020cYCC supported\n",
                                  "BT2020YCC supported\n",  "BT2020RGB supported\n"};
    for (int i = 0; i < 8; ++i) {
        if (b >> i & 1)
            append(QLatin1String(lines[i]));
    }
    if (c & 0x80)
        append(QStringLiteral("DCI-P3 supported\n"));
    if (c & 0x40)
        append(QStringLiteral("ICtCp supported\n"));
}

void EdidDecoder::parseHDR(const Payload& p)
{
    append(QStringLiteral("HDR extended block\n"));
    const int e = p[1];
    if (e & 0x01)
        append(QStringLiteral("EOTF SDR supported\n"));
    if (e & 0x02)
        append(QStringLiteral("EOTF HDR supported\n"));
    if (e & 0x04)
        append(QStringLiteral("SMPTE ST 2084 supported\n"));
    if (e & 0x08)
        append(QStringLiteral("Hybrid Log-Gamma supported\n"));
    if (m_state) {
        m_state->enableHdr = true;
        m_state->hdrEotfByte = quint8(e);
        m_state->hdrMetadataDescriptors = quint8(p[2]);
        m_state->hdrSdr = m_state->hdrSdr || (e & 0x01);
        m_state->hdrHdr = m_state->hdrHdr || (e & 0x02);
        m_state->hdrSmpte2084 = m_state->hdrSmpte2084 || (e & 0x04);
        m_state->hdrHlg = m_state->hdrHlg || (e & 0x08);
    }
    if (p[2] & 0x01) {
        if (m_state)
            m_state->hdrStaticMetaDataSupport = true;
        append(QStringLiteral("Static Metadata supported\n"));
    }
    if (p.length >= 4) {
        append(QStringLiteral("Content Max Luminance: %1\n").arg(p[3]));
        if (m_state)
            m_state->contentMaxLuminance = QString::number(p[3]);
    }
    if (p.length >= 5) {
        append(QStringLiteral("Content Max Frame Average Luminance: %1\n").arg(p[4]));
        if (m_state)
            m_state->contentMaxFrameAvgLuminance = QString::number(p[4]);
    }
    if (p.length >= 6) {
        append(QStringLiteral("Content Min Luminance: %1\n").arg(p[5]));
        if (m_state)
            m_state->contentMinLuminance = QString::number(p[5]);
    }
}

// CTA-861 InfoFrame data block: the InfoFrame processing descriptor (its header's bits 7-5 give
// the length of its payload, the next byte the number of further VSIFs the sink takes at once),
// then short InfoFrame descriptors (bits 7-5 the payload length, bits 4-0 the InfoFrame type;
// a vendor-specific one carries its 3-byte OUI before the payload).
void EdidDecoder::parseInfoFrame(const Payload& p)
{
    if (m_state) {
        m_state->infoFrameBlock.clear();
        m_state->infoFrameBlock.append(char(at(p.position - 1)));
        for (int k = 0; k < p.length; ++k)
            m_state->infoFrameBlock.append(char(p[k]));
    }
    append(QStringLiteral("HDR Info Frame block\n"));
    if (p.length < 3)
        return;
    append(QStringLiteral("VSIFs received simultaneously: %1\n").arg(p[2] + 1));
    int k = 3 + (p[1] >> 5);
    bool dynamicRange = false;
    QByteArray dynamicRangePayload;
    while (k < p.length) {
        const int h = p[k];
        const int type = h & 0x1F;
        const int len = h >> 5;
        ++k;
        if (type == 1) {
            const int oui = p[k + 2] << 16 | p[k + 1] << 8 | p[k];
            append(QStringLiteral("InfoFrame type 1 (vendor-specific), OUI %1\n")
                       .arg(QStringLiteral("%1").arg(oui, 6, 16, QLatin1Char('0')).toUpper()));
            k += 3;
        } else {
            append(QStringLiteral("InfoFrame type %1\n").arg(type));
        }
        if (type == 7) {
            dynamicRange = true;
            for (int i = 0; i < len && k + i < p.length; ++i)
                dynamicRangePayload.append(char(p[k + i]));
        }
        k += len;
    }
    if (!dynamicRange)
        return;
    // The sink takes Dynamic Range and Mastering InfoFrames: HDR static metadata.
    append(QStringLiteral("HDR Static Metadata exists\n"));
    for (int i = 0; i < dynamicRangePayload.size(); ++i)
        append(QStringLiteral("HDR Static Metadata value %1 %2\n").arg(i + 1).arg(int(qint8(dynamicRangePayload.at(i)))));
    if (!m_state)
        return;
    const bool keep = m_context.keepHdrStaticMetadata ? m_context.keepHdrStaticMetadata() : true;
    m_state->hdrStaticMetaDataSupport = keep;
    if (keep)
        m_state->hdrStaticMetaData = dynamicRangePayload;
}

void EdidDecoder::parse420VideoDataBlock(const Payload& p)
{
    for (int k = 1; k < p.length; ++k) {
        const int vic = p[k];
        if (m_state)
            m_state->yuv420Vics.append(vic);
        const Timing* c = findCeaTiming(vic);
        if (!c)
            continue;
        Timing t = *c;
        t.subsampling = 1;
        if (m_state) {
            t.videoBlock = true;
            addTiming(t);
        }
        append(QStringLiteral("  VIC %1 %2x%3%4@%5Hz \n")
                   .arg(vic, 2, 10, QLatin1Char('0'))
                   .arg(t.hActive)
                   .arg(t.ip ? t.vActive * 2 : t.vActive)
                   .arg(t.ip ? QStringLiteral("i") : QStringLiteral("p"))
                   .arg(t.fieldRate));
        if (m_state)
            EdidRules::addVicSlot(m_state, t);
    }
}

// Bit i of the map stands for the i-th SVD of all video data blocks; a map without bytes marks
// every SVD.
void EdidDecoder::parse420CapabilityMapDataBlock(const Payload& p)
{
    QList<int> vics, indexes;
    for (int i = 0; i < m_allSvds.size() && (p.length <= 1 || i < 8 * (p.length - 1)); ++i) {
        if (p.length <= 1 || (p[1 + i / 8] >> (i % 8) & 1)) {
            vics.append(m_allSvds.at(i));
            indexes.append(i);
        }
    }
    for (int vic : vics) {
        const Timing* c = findCeaTiming(vic);
        if (c)
            append(QStringLiteral("  VIC %1 %2x%3%4@%5Hz \n")
                       .arg(vic, 2, 10, QLatin1Char('0'))
                       .arg(c->hActive)
                       .arg(c->ip ? c->vActive * 2 : c->vActive)
                       .arg(c->ip ? QStringLiteral("i") : QStringLiteral("p"))
                       .arg(c->fieldRate));
    }
    if (m_state) {
        m_state->yuv420CapabilityVics = vics;
        m_state->yuv420CapabilitySvds = indexes;
    }
}
