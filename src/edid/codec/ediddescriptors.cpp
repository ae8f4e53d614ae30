// 18-byte descriptors: detailed timings and display descriptors (VESA E-EDID 1.3 and 1.4).

#include "constants.h"
#include "ediddecoder_p.h"

#include <cmath>
#include <limits>

void EdidDecoder::parseEighteenByteDescriptor(int p, int block)
{
    if (at(p) == 0 && at(p + 1) == 0) {
        parseMonitorDescriptor(p, block);
        return;
    }
    if (m_state)
        m_state->detailedTimingBytes.append(m_bytes.mid(p, 18));

    Timing t;
    t.pixelFreq = (at(p) | at(p + 1) << 8) / 100.0;
    t.hActive = at(p + 2) | (at(p + 4) >> 4) << 8;
    t.hBlank = at(p + 3) | (at(p + 4) & 0x0F) << 8;
    t.vActive = at(p + 5) | (at(p + 7) >> 4) << 8;
    t.vBlank = at(p + 6) | (at(p + 7) & 0x0F) << 8;
    t.hFront = at(p + 8) | (at(p + 11) >> 6 & 3) << 8;
    t.hSync = at(p + 9) | (at(p + 11) >> 4 & 3) << 8;
    t.vFront = (at(p + 10) >> 4) | (at(p + 11) >> 2 & 3) << 4;
    t.vSync = (at(p + 10) & 0x0F) | (at(p + 11) & 3) << 4;
    t.hSize = at(p + 12) | (at(p + 14) >> 4) << 8;
    t.vSize = at(p + 13) | (at(p + 14) & 0x0F) << 8;
    t.hBorder = at(p + 15);
    t.vBorder = at(p + 16);
    const int flags = at(p + 17);
    t.ip = flags & 0x80;
    // Only digital separate sync carries both polarities; digital composite sync carries the
    // horizontal (composite) polarity in bit 1 and serrations in bit 2; analog sync has none.
    switch (flags >> 3 & 3) {
    case 3:
        t.vPol = flags & 0x04;
        t.hPol = flags & 0x02;
        break;
    case 2:
        t.hPol = flags & 0x02;
        t.vPol = false;
        break;
    default:
        t.hPol = false;
        t.vPol = false;
        break;
    }

    static const int sizeRatios[][2] = {{4, 3}, {5, 4}, {16, 9}, {16, 10}, {64, 27}, {256, 135}};
    if (t.hSize != 0 && t.vSize != 0) {
        bool isRatio = false;
        for (const auto& r : sizeRatios)
            isRatio = isRatio || (t.hSize == r[0] && t.vSize == r[1]);
        if (isRatio) {
            t.hAspect = t.hSize;
            t.vAspect = t.vSize;
        } else {
            const int lines = t.ip ? t.vActive * 2 : t.vActive;
            const int a = gcd(t.hActive, lines);
            if (a > 0) {
                t.hAspect = t.hActive / a;
                t.vAspect = lines / a;
            }
        }
    } else {
        t.hAspect = t.hSize;
        t.vAspect = t.vSize;
    }

    const Timing* match = nullptr;
    if (m_context.timings) {
        const double epsilon = std::numeric_limits<double>::epsilon();
        for (const Timing& c : m_context.timings->timings) {
            if (std::fabs(c.pixelFreq - t.pixelFreq) < epsilon && c.hActive == t.hActive && c.hBlank == t.hBlank
                && c.vActive == t.vActive && c.vBlank == t.vBlank && c.hFront == t.hFront && c.hSync == t.hSync
                && c.vFront == t.vFront && c.vSync == t.vSync && c.hBorder == t.hBorder && c.vBorder == t.vBorder
                && c.ip == t.ip && c.hPol == t.hPol && c.vPol == t.vPol
                && (c.hAspect == 0 || (c.hAspect == t.hAspect && c.vAspect == t.vAspect))) {
                match = &c;
                break;
            }
        }
    }
    if (match) {
        t.type = match->type;
        t.name = match->name;
        t.vic = match->vic;
        t.hTotal = match->hTotal;
        t.vTotal = match->vTotal;
        t.hBack = match->hBack;
        t.vBack = match->vBack;
        t.fieldRate = match->fieldRate;
        t.hFreq = match->hFreq;
    } else {
        t.type = TIMING_TYPE_CUSTOM;
        // A detailed timing's blanking includes both borders (VESA E-EDID): the porches and the
        // sync lie between the borders, and a line is the active pixels plus the blanking. A
        // timing without pixels or lines gets rates of 0.
        t.hBack = t.hBlank - t.hSync - t.hFront - 2 * t.hBorder;
        t.vBack = t.vBlank - t.vSync - t.vFront - 2 * t.vBorder;
        t.hTotal = t.hActive + t.hBlank;
        t.vTotal = t.ip ? 2 * (t.vActive + t.vBlank) + 1 : t.vActive + t.vBlank;
        t.hFreq = t.hTotal > 0 ? t.pixelFreq * 1000.0 / t.hTotal : 0.0;
        const double lines = t.vActive + t.vBlank + (t.ip ? 0.5 : 0.0);
        t.fieldRate = lines > 0 ? roundRate(t.hFreq * 1000.0 / lines) : 0;
    }
    if (m_state) {
        Timing row = t;
        row.dtd = true;
        addTiming(row);
    }
    ++m_descriptorCount;

    // One line per value, appended in place: this is the longest text of a decode.
    QString d;
    d.reserve(720);
    auto line = [&d](QLatin1String label, const QString& value) {
        d += label;
        d += value;
        d += QLatin1Char('\n');
    };
    auto number = [&line](QLatin1String label, int value) { line(label, QString::number(value)); };
    const QString positive = QStringLiteral("positive");
    const QString negative = QStringLiteral("negative");
    d += QLatin1String("Detailed timing ");
    d += QString::number(m_descriptorCount);
    if (m_descriptorCount == 1)
        d += QLatin1String(" (Preferred)");
    d += QLatin1String(":\n");
    line(QLatin1String("  Pixel clock:     "), QString::number(t.pixelFreq, 'f', 3) + QLatin1String(" MHz"));
    line(QLatin1String("  Scan type:       "), t.ip ? QStringLiteral("interlaced") : QStringLiteral("progressive"));
    number(QLatin1String("  Refresh rate:    "), t.fieldRate);
    d += QLatin1String("  Horizontal\n");
    number(QLatin1String("    Active pixels: "), t.hActive);
    number(QLatin1String("    Total:         "), t.hTotal);
    number(QLatin1String("    Blank:         "), t.hBlank);
    number(QLatin1String("    Front:         "), t.hFront);
    number(QLatin1String("    Sync:          "), t.hSync);
    number(QLatin1String("    Back:          "), t.hBack);
    line(QLatin1String("    Polarity:      "), t.hPol ? positive : negative);
    line(QLatin1String("    Frequency:     "), QString::number(t.hFreq, 'g', 6));
    number(QLatin1String("    Size(in mm):   "), t.hSize);
    number(QLatin1String("    Border:        "), t.hBorder);
    d += QLatin1String("  Vertical\n");
    number(QLatin1String("    Active pixels: "), t.vActive);
    number(QLatin1String("    Total:         "), t.vTotal);
    number(QLatin1String("    Blank:         "), t.vBlank);
    number(QLatin1String("    Front:         "), t.vFront);
    number(QLatin1String("    Sync:          "), t.vSync);
    number(QLatin1String("    Back:          "), t.vBack);
    line(QLatin1String("    Polarity:      "), t.vPol ? positive : negative);
    number(QLatin1String("    Size(in mm):   "), t.vSize);
    number(QLatin1String("    Border:        "), t.vBorder);
    d += QLatin1Char('\n');
    append(d);
}

QString EdidDecoder::descriptorText(int start, int length) const
{
    QString text;
    for (int i = start; i < start + length; ++i) {
        const int b = at(i);
        if (b == 0x0A)
            break;
        text += QChar::fromLatin1(char(b));
    }
    return text;
}

void EdidDecoder::parseMonitorDescriptor(int p, int block)
{
    const int tag = at(p + 3);
    if (at(p + 2) != 0)
        append(QStringLiteral("Monitor descriptor block has byte 2 nonzero %1\n").arg(QString::number(at(p + 2), 16)));
    if (tag != 0xFD && at(p + 4) != 0)
        append(QStringLiteral("Monitor descriptor block has byte 4 nonzero %1\n").arg(QString::number(at(p + 4), 16)));

    QByteArray raw;
    for (int i = p; i < p + 18; ++i)
        raw.append(char(at(i)));
    bool kept = false;
    switch (tag) {
    case 0x10:
        // A dummy descriptor only fills an unused slot; the encoder writes one wherever a slot
        // stays free, so keeping it would hold a slot a timing or the name may need.
        append(QStringLiteral("Dummy block\n"));
        kept = true;
        break;
    case 0xF7:
        append(QStringLiteral("Established timings III\n"));
        if (m_state) {
            m_state->establishedTimings3 = raw.mid(6, 6);
            kept = true;
        }
        break;
    case 0xF8:
        append(QStringLiteral("CVT 3-byte code descriptor:\n"));
        if (m_state) {
            for (int k = 0; k < 4; ++k) {
                const QByteArray code = raw.mid(6 + 3 * k, 3);
                if (code != QByteArray(3, '\0'))
                    m_state->cvtCodes.append(code);
            }
            kept = true;
        }
        break;
    case 0xF9: append(QStringLiteral("Color management data\n\n")); break;
    case 0xFA:
        append(QStringLiteral("More standard timings\n\n"));
        if (m_state) {
            for (int k = 0; k < 6; ++k)
                m_state->extraStandardTimings.append(raw.mid(5 + 2 * k, 2));
            kept = true;
        }
        break;
    case 0xFB:
        append(QStringLiteral("Color point\n\n"));
        if (m_state) {
            m_state->whitePoints = raw.mid(5);
            kept = true;
        }
        break;
    case 0xFC: {
        const QString name = descriptorText(p + 5, 13);
        if (m_state) {
            m_state->monitorName = name;
            m_state->monitorNameSet = true;
            m_state->monitorNameDescriptors.append(raw);
            kept = true;
        }
        append(QStringLiteral("Monitor name: %1\n").arg(name));
        break;
    }
    case 0xFD:
        parseRangeLimits(p);
        if (m_state) {
            m_state->rangeLimitsDescriptor = raw;
            kept = true;
        }
        break;
    case 0xFE: append(QStringLiteral("ASCII string: %1\n").arg(descriptorText(p + 5, 13))); break;
    case 0xFF: append(QStringLiteral("Serial number: %1\n").arg(descriptorText(p + 5, 13))); break;
    default: break;
    }
    if (m_state && !kept)
        m_state->otherDescriptors.append({block, raw});
}

void EdidDecoder::parseRangeLimits(int p)
{
    int minV = 0, maxV = 0, minH = 0, maxH = 0;
    if (m_v14) {
        const int b4 = at(p + 4);
        if (b4 & 0x02) {
            maxV = 255;
            if (b4 & 0x01)
                minV = 255;
        }
        if (b4 & 0x08) {
            maxH = 255;
            if (b4 & 0x04)
                minH = 255;
        }
    }
    QString kind;
    switch (at(p + 10)) {
    case 0: kind = QStringLiteral("GTF"); break;
    case 1: kind = QStringLiteral("bare limits"); break;
    case 2: kind = QStringLiteral("GTF with icing"); break;
    case 4: kind = QStringLiteral("CVT"); break;
    default: kind = QStringLiteral("invalid"); break;
    }
    QString line = QStringLiteral("Monitor ranges (%1): %2-%3Hz V, %4-%5kHz H")
                       .arg(kind)
                       .arg(at(p + 5) + minV)
                       .arg(at(p + 6) + maxV)
                       .arg(at(p + 7) + minH)
                       .arg(at(p + 8) + maxH);
    if (at(p + 9) != 0)
        line += QStringLiteral(", max pixel clock %1MHz").arg(at(p + 9) * 10);
    append(line + QLatin1Char('\n'));
    if (at(p + 10) != 4)
        return;

    append(QStringLiteral("CVT version %1.%2\n").arg(at(p + 11) >> 4).arg(at(p + 11) & 0x0F));
    if (at(p + 12) >> 2)
        append(QStringLiteral("Real max pixel clock: %1MHz\n")
                   .arg(QString::number(at(p + 9) * 10 - (at(p + 12) >> 2) * 0.25, 'f', 2)));
    const int maxActive = ((at(p + 12) & 3) * 256 + at(p + 13)) * 8;
    if (maxActive != 0)
        append(QStringLiteral("Max active pixels per line: %1\n").arg(maxActive));
    const int ar = at(p + 14);
    append(QStringLiteral("Supported aspect ratios: %1 %2 %3 %4 %5\n")
               .arg(ar & 0x80 ? QStringLiteral("4:3") : QString(), ar & 0x40 ? QStringLiteral("16:9") : QString(),
                    ar & 0x20 ? QStringLiteral("16:10") : QString(), ar & 0x10 ? QStringLiteral("5:4") : QString(),
                    ar & 0x08 ? QStringLiteral("15:9") : QString()));
    static const char* preferred[] = {"4:3\n", "16:9\n", "16:10\n", "5:4\n", "15:9\n", "(broken)\n", "(broken)\n", "(broken)\n"};
    append(QStringLiteral("Preferred aspect ratio: \n") + QLatin1String(preferred[at(p + 15) >> 5]));
    if (at(p + 15) & 0x08)
        append(QStringLiteral("Supports CVT standard blanking\n"));
    if (at(p + 15) & 0x10)
        append(QStringLiteral("Supports CVT reduced blanking\n"));
    const int scaling = at(p + 16);
    if (scaling & 0xF0) {
        append(QStringLiteral("Supported display scaling:\n"));
        if (scaling & 0x80)
            append(QStringLiteral("    Horizontal shrink\n"));
        if (scaling & 0x40)
            append(QStringLiteral("    Horizontal stretch\n"));
        if (scaling & 0x20)
            append(QStringLiteral("    Vertical shrink\n"));
        if (scaling & 0x10)
            append(QStringLiteral("    Vertical stretch\n"));
    }
    if (at(p + 17) != 0)
        append(QStringLiteral("Preferred vertical refresh: %1 Hz\n").arg(at(p + 17)));
}
