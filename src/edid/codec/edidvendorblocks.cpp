// Vendor-specific data blocks of a CTA-861 extension: HDMI 1.4 (OUI 00-0C-03) and HDMI Forum
// (OUI C4-5D-D8).

#include "ediddecoder_p.h"
#include "edidrules.h"

void EdidDecoder::parseVendorSpecificDataBlock(const Payload& p)
{
    const int oui = p[2] << 16 | p[1] << 8 | p[0];
    QString label;
    if (p.length >= 3 && oui == 0x000C03)
        label = QStringLiteral("HDMI 1.4b");
    else if (p.length >= 3 && oui == 0xC45DD8)
        label = QStringLiteral("HDMI Forum");
    append(QStringLiteral("Vendor-specific data block, OUI %1 (%2)\n")
               .arg(QStringLiteral("%1").arg(oui, 6, 16, QLatin1Char('0')).toUpper(), label));
    if (label.isEmpty())
        keepDataBlock(p);
    else if (oui == 0x000C03)
        parseHdmiVsdb(p);
    else
        parseHdmiForumVsdb(p);
}

QString EdidDecoder::parseLatency(int b, const QString& label)
{
    QString value;
    QString text;
    if (b == 0) {
        value = QStringLiteral("-1");
        text = QStringLiteral("Invalid or Unknown");
    } else if (b == 255) {
        value = QStringLiteral("255");
        text = QStringLiteral("%1 not supported").arg(label);
    } else {
        value = QString::number(2 * b - 2);
        text = value;
    }
    append(QStringLiteral("  %1 latency: %2\n").arg(label, text));
    return value;
}

void EdidDecoder::parseHdmiVsdb(const Payload& p)
{
    EdidState* s = m_state;
    if (s) {
        s->hdmiVsdbPresent = true;
        s->vsdbBytes.clear();
        for (int k = 0; k < p.length; ++k)
            s->vsdbBytes.append(char(p[k]));
    }
    const int a = p[3] >> 4, b = p[3] & 0x0F, c = p[4] >> 4, d = p[4] & 0x0F;
    append(QStringLiteral("  Source physical address %1.%2.%3.%4\n").arg(a).arg(b).arg(c).arg(d));
    if (s)
        s->physicalAddress = {a, b, c, d};
    if (p.length <= 5)
        return;

    const int f5 = p[5];
    if (s) {
        s->vsdbFlags5 = quint8(f5);
        s->supportsAI = f5 & 0x80;
        s->dc48bit = f5 & 0x40;
        s->dc36bit = f5 & 0x20;
        s->dc30bit = f5 & 0x10;
        s->dcY444 = f5 & 0x08;
        s->dviDual = f5 & 0x01;
    }
    static const struct
    {
        int bit;
        const char* text;
    } flags[] = {{0x80, "  Supports_AI\n"}, {0x40, "  DC_48bit\n"}, {0x20, "  DC_36bit\n"},
                 {0x10, "  DC_30bit\n"},    {0x08, "  DC_Y444\n"},  {0x01, "  DVI_Dual\n"}};
    for (const auto& f : flags) {
        if (f5 & f.bit)
            append(QLatin1String(f.text));
    }
    if (p.length <= 6)
        return;

    const int tmds = p[6] * 5;
    if (s) {
        s->maxTmdsClockAuto = true;
        s->maxTmdsClock = QString::number(tmds);
    }
    append(QStringLiteral("  Maximum TMDS clock: %1MHz\n").arg(tmds));
    if (p.length <= 7)
        return;

    const int f7 = p[7];
    auto sup = [](int bit) { return bit ? QStringLiteral("Supported") : QStringLiteral("Not Supported"); };
    append(QStringLiteral("  Graphics Content: %1\n").arg(sup(f7 & 0x01)));
    append(QStringLiteral("  Cinema Content:   %1\n").arg(sup(f7 & 0x04)));
    append(QStringLiteral("  Photo Content:    %1\n").arg(sup(f7 & 0x02)));
    append(QStringLiteral("  Game Content:     %1\n").arg(sup(f7 & 0x08)));
    if (s) {
        s->graphicsContent = f7 & 0x01;
        s->photoContent = f7 & 0x02;
        s->cinemaContent = f7 & 0x04;
        s->gameContent = f7 & 0x08;
    }
    int k = 8;
    if (p.length <= 8)
        return;
    if (f7 & 0x80) {
        const QString v = parseLatency(p[8], QStringLiteral("Video"));
        const QString au = parseLatency(p[9], QStringLiteral("Audio"));
        if (s) {
            s->latencyProgressiveVideo = v == QLatin1String("-1") ? QString() : v;
            s->latencyProgressiveAudio = au == QLatin1String("-1") ? QString() : au;
        }
        k = 10;
        if (f7 & 0x40) {
            const QString iv = parseLatency(p[10], QStringLiteral("Interlaced Video"));
            const QString ia = parseLatency(p[11], QStringLiteral("Interlaced Audio"));
            if (s) {
                s->latencyInterlacedVideo = iv == QLatin1String("-1") ? QString() : iv;
                s->latencyInterlacedAudio = ia == QLatin1String("-1") ? QString() : ia;
            }
            k = 12;
        }
    }
    if (k >= p.length || !(f7 & 0x20))
        return;

    append(QStringLiteral("  Extended HDMI video details:\n"));
    const int g = p[k];
    const bool present3D = g & 0x80;
    const int multi = (g >> 5) & 3;
    if (present3D)
        append(QStringLiteral("    3D present\n"));
    if (multi == 1)
        append(QStringLiteral("    All advertised VICs are 3D-capable\n"));
    else if (multi == 2)
        append(QStringLiteral("    3D-capable-VIC mask present\n"));
    if (s) {
        s->threeDPresent = present3D;
        s->threeDMulti = multi;
        s->hdmiImageSize = (g >> 3) & 3;
    }
    switch (g & 0x18) {
    case 0x08: append(QStringLiteral("    Base EDID image size is aspect ratio\n")); break;
    case 0x10: append(QStringLiteral("    Base EDID image size is in units of 1cm\n")); break;
    case 0x18: append(QStringLiteral("    Base EDID image size is in units of 5cm\n")); break;
    default: break;
    }
    ++k;
    const int h = p[k];
    const int nVic = h >> 5;
    const int len3D = h & 0x1F;
    ++k;
    for (int i = 0; i < nVic && k < p.length; ++i, ++k) {
        const int hvic = p[k];
        if (s)
            s->hdmiVics.append(hvic);
        const Timing* c = findHdmiVicTiming(hvic);
        if (!c)
            continue;
        Timing t = *c;
        if (s) {
            t.hdmiBlock = true;
            addTiming(t);
        }
        append(QStringLiteral("    HDMI VIC %1 %2x%3%4@%5Hz\n")
                   .arg(hvic)
                   .arg(t.hActive)
                   .arg(t.ip ? t.vActive * 2 : t.vActive)
                   .arg(t.ip ? QStringLiteral("i") : QString())
                   .arg(t.fieldRate));
    }
    if (s) {
        s->threeDStructureAll = -1;
        s->threeDMask = -1;
    }
    if (!present3D)
        return;

    const int start = k;
    const int end3D = qMin(start + len3D, p.length);
    if (multi == 1 || multi == 2) {
        const int all = p[k] << 8 | p[k + 1];
        k += 2;
        if (s)
            s->threeDStructureAll = all;
        static const struct
        {
            int bit;
            const char* text;
        } formats[] = {{0x0100, "    3D: Side-by-side (half, horizontal)\n"}, {0x0040, "    3D: Top-and-bottom\n"},
                       {0x0020, "    3D: L + depth + gfx + gfx-depth\n"},      {0x0010, "    3D: L + depth\n"},
                       {0x0008, "    3D: Side-by-side (full)\n"},              {0x0004, "    3D: Line-alternative\n"},
                       {0x0002, "    3D: Field-alternative\n"},                {0x0001, "    3D: Frame-packing\n"}};
        for (const auto& f : formats) {
            if (all & f.bit)
                append(QLatin1String(f.text));
        }
        int mask = 0xFFFF;
        if (multi == 2) {
            mask = p[k] << 8 | p[k + 1];
            k += 2;
            QString line = QStringLiteral("    3D VIC indices:");
            for (int i = 0; i < 16; ++i) {
                if (mask >> i & 1)
                    line += QStringLiteral(" %1").arg(i);
            }
            append(line + QLatin1Char('\n'));
        }
        if (s)
            s->threeDMask = mask;
    }
    // 2D_VIC_order entries; every 3D_Structure of 8 or more is followed by its 3D_Detail byte.
    while (k < end3D) {
        const int e = p[k++];
        const int idx = e >> 4;
        const int st = e & 0x0F;
        int detail = 0;
        if (st >= 8) {
            if (k >= end3D)
                break;
            detail = p[k++] >> 4;
        }
        QString name;
        if (st == 0)
            name = QStringLiteral("frame packing");
        else if (st == 6)
            name = QStringLiteral("top-and-bottom");
        else if (st == 8 && detail == 1)
            name = QStringLiteral("side-by-side (half, horizontal)");
        if (!name.isEmpty())
            append(QStringLiteral("    VIC index %1 supports %2\n").arg(idx).arg(name));
        if (s) {
            s->vicThreeDStructures[size_t(idx)] |= 1 << st;
            if (st >= 8)
                s->vicThreeDDetails[size_t(idx)] = detail;
        }
    }
}

void EdidDecoder::parseHdmiForumVsdb(const Payload& p)
{
    EdidState* s = m_state;
    if (s) {
        s->hfVsdbPresent = true;
        s->hfVsdbVersion = p[3];
    }
    append(QStringLiteral("  HDMI Forum Version Number: %1\n").arg(p[3]));
    if (p.length <= 4)
        return;
    append(QStringLiteral("  TMDS Character Rate: %1Mhz\n").arg(p[4] * 5));
    if (s)
        s->hfVsdbMaxTmdsRate = p[4];
    if (p.length <= 5)
        return;
    const int f6 = p[5];
    if (s)
        s->hfVsdbFlags6 = f6;
    static const struct
    {
        int bit;
        const char* text;
    } flags6[] = {{0x80, "  SCDC_Present\n"}, {0x40, "  RR_Capable\n"},  {0x08, "  LTE_340Mcsc_scramble\n"},
                  {0x04, "  Indepedent_view\n"}, {0x02, "  Dual_View\n"}, {0x01, "  3D_OSD_Disparity\n"}};
    for (const auto& f : flags6) {
        if (f6 & f.bit)
            append(QLatin1String(f.text));
    }
    if (p.length <= 6)
        return;
    const int f7 = p[6];
    if (s)
        s->hfVsdbFlags7 = f7;
    if (f7 & 0x04)
        append(QStringLiteral("  48bit Deep Color 4:2:0\n"));
    if (f7 & 0x02)
        append(QStringLiteral("  36bit Deep Color 4:2:0\n"));
    if (f7 & 0x01)
        append(QStringLiteral("  30bit Deep Color 4:2:0\n"));
    if (s) {
        s->hfVsdbTail.clear();
        for (int k = 7; k < p.length; ++k)
            s->hfVsdbTail.append(char(p[k]));
    }
}
