// The EDID encoder: the base block, the layout of the 18-byte descriptors, the assembly of the
// CTA-861 extension, and the rule that keeps what was read: a part of the EDID the state still
// says the same about is written back exactly as it came.

#include "edidencoder.h"

#include "constants.h"
#include "ediddecoder.h"
#include "ediddecoder_p.h"
#include "edidencoder_p.h"

#include <QRandomGenerator>
#include <QSet>

#include <cmath>

namespace EdidEncoding {

namespace {

void put(QByteArray* b, int pos, int value)
{
    (*b)[pos] = char(value & 0xFF);
}

int clampByte(int v)
{
    return qBound(0, v, 255);
}

int inputByte(const EdidState& s, const Interface& in)
{
    if (s.signalType == EdidState::SignalType::Analog) {
        static const int levels[] = {0x00, 0x00, 0x20, 0x40, 0x60};
        int b = levels[int(s.signalLevel)];
        if (s.videoSetup == EdidState::VideoSetup::BlankToBlackPedestal)
            b |= 0x10;
        b |= (s.separateSync ? 0x08 : 0) | (s.compositeSyncHoriz ? 0x04 : 0) | (s.compositeSyncGreen ? 0x02 : 0)
            | (s.serrationVertSync ? 0x01 : 0);
        return b;
    }
    if (s.signalType != EdidState::SignalType::Digital)
        return 0;
    const int kept = s.videoInputByte;
    const bool keptV14 = (kept & 0x80) && s.revision >= 4;
    if (!in.v14) {
        // E-EDID 1.3 has no interface or depth bits; bit 0 (DFP 1.x) is kept.
        return 0x80 | ((kept & 0x80) ? (kept & 0x01) : 0);
    }
    int depth = 0;
    switch (s.colorBitDepth) {
    case EdidState::ColorBitDepth::Bits8: depth = 0x20; break;
    case EdidState::ColorBitDepth::Bits10: depth = 0x30; break;
    case EdidState::ColorBitDepth::Bits12: depth = 0x40; break;
    case EdidState::ColorBitDepth::Bits14: depth = 0x50; break;
    case EdidState::ColorBitDepth::Bits16: depth = 0x60; break;
    case EdidState::ColorBitDepth::Unset: {
        // 6 bits and the reserved code have no choice in the editor: kept as read.
        const int k = kept & 0x70;
        depth = keptV14 && (k == 0x10 || k == 0x70) ? k : 0;
        break;
    }
    }
    int iface = 0;
    const int keptIface = keptV14 ? (kept & 0x0F) : 0;
    switch (s.digitalInterface) {
    case EdidState::DigitalInterface::Dvi: iface = 1; break;
    case EdidState::DigitalInterface::Hdmi: iface = keptIface == 3 ? 3 : 2; break;
    case EdidState::DigitalInterface::DisplayPort: iface = 5; break;
    case EdidState::DigitalInterface::Unset:
        iface = (keptIface == 1 || keptIface == 2 || keptIface == 3 || keptIface == 5) ? 0 : keptIface;
        break;
    }
    return 0x80 | depth | iface;
}

void screenSize(const EdidState& s, int* h, int* v)
{
    *h = 0;
    *v = 0;
    const QString text = s.displaySize.trimmed();
    if (text.isEmpty()) {
        // E-EDID 1.4 gives an aspect ratio instead of a size by leaving one byte 0.
        if ((s.hSizeCm == 0) != (s.vSizeCm == 0)) {
            *h = clampByte(s.hSizeCm);
            *v = clampByte(s.vSizeCm);
        }
        return;
    }
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok || !std::isfinite(d) || d <= 0)
        return;
    // The size as read, while the diagonal and the ratio still say the same.
    if (s.hSizeCm > 0 && s.vSizeCm > 0
        && QString::number(std::sqrt(double(s.hSizeCm * s.hSizeCm + s.vSizeCm * s.vSizeCm)) / 2.54, 'g', 6) == text
        && (s.aspectRatio < 0 || s.aspectRatio == decodedAspectChoice(s.hSizeCm, s.vSizeCm))) {
        *h = clampByte(s.hSizeCm);
        *v = clampByte(s.vSizeCm);
        return;
    }
    static const double ratios[][2] = {{16, 9}, {4, 3}, {8, 5}, {5, 4}, {18, 10}, {64, 27}, {256, 135}};
    double w = 16, hh = 9;
    if (s.aspectRatio >= 0 && s.aspectRatio < 7) {
        w = ratios[s.aspectRatio][0];
        hh = ratios[s.aspectRatio][1];
    } else if (s.hSizeCm > 0 && s.vSizeCm > 0) {
        w = s.hSizeCm;
        hh = s.vSizeCm;
    }
    const double height = std::sqrt(d * d / (w * w / (hh * hh) + 1));
    const double width = std::sqrt(d * d - height * height);
    // Sizes are clamped to their byte; a defined size never turns into 0 (an aspect ratio).
    *h = int(qBound(1.0, std::floor(width * 2.54 + 0.5), 255.0));
    *v = int(qBound(1.0, std::floor(height * 2.54 + 0.5), 255.0));
}

// The id as the decoder shows it: three letters, or codes that are no letters ("TV@" has the
// code 0), which an EDID may carry and which are written back as they came.
quint16 manufacturerIdCode(const QString& id)
{
    bool ok = false;
    const quint16 letters = packEdidManufacturerId(id, &ok);
    if (ok || id.size() != 3)
        return letters;
    quint16 packed = 0;
    for (const QChar c : id) {
        const ushort u = c.unicode();
        if (u < 0x40 || u > 0x7F)
            return 0;
        packed = quint16(packed << 5 | (u & 0x1F));
    }
    return packed;
}

int featureByte(const EdidState& s, const Interface& in)
{
    int b = (s.standbyMode ? 0x80 : 0) | (s.suspendMode ? 0x40 : 0) | (s.activeOff ? 0x20 : 0)
        | (s.srgbDefault ? 0x04 : 0) | (s.continuousFrequency ? 0x01 : 0);
    // E-EDID 1.3 requires the preferred timing bit.
    if (s.preferredTimingMode || !in.v14)
        b |= 0x02;
    if (in.digital && in.v14) {
        if (s.rgb444)
            b |= (s.ycbcr444 ? 0x08 : 0) | (s.ycbcr422 ? 0x10 : 0);
    } else {
        static const int types[] = {0x00, 0x00, 0x08, 0x10, 0x18};
        b |= types[int(s.colorType)];
    }
    return b;
}

// The 10-bit chromaticity code of a coordinate: floor(1024 x + 0.5), within the field.
int coordinateCode(const QString& text, int keptCode)
{
    if (text == QString::number(keptCode / 1024.0, 'f', 3))
        return qBound(0, keptCode, 1023);
    bool ok = false;
    const double x = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(x))
        return 0;
    return int(qBound(0.0, std::floor(1024.0 * x + 0.5), 1023.0));
}

QByteArray displayDescriptor(int tag, const QByteArray& payload13, int byte4 = 0)
{
    QByteArray d(5, '\0');
    d[3] = char(tag);
    d[4] = char(byte4);
    return d + payload13.left(13).leftJustified(13, '\0');
}

QByteArray nameDescriptor(const QString& name)
{
    QByteArray text;
    for (int i = 0; i < 13; ++i) {
        if (i < name.size()) {
            const ushort c = name.at(i).unicode();
            text += char(c < 256 ? c : 0);
        } else {
            text += char(i == name.size() ? 0x0A : 0x20);
        }
    }
    return displayDescriptor(0xFC, text);
}

QString descriptorName(const QByteArray& d)
{
    QString text;
    for (int i = 5; i < 18 && i < d.size(); ++i) {
        if (d.at(i) == 0x0A)
            break;
        text += QChar::fromLatin1(d.at(i));
    }
    return text;
}

struct Limits
{
    int minV = 0, maxV = 0, minH = 0, maxH = 0, clock10 = 0;
};

// Limits that take in every timing of the table: minima rounded down, maxima up.
bool timingLimits(const QList<Timing>& rows, Limits* l)
{
    double minV = 1e9, maxV = 0, minH = 1e9, maxH = 0, clock = 0;
    bool any = false;
    for (const Timing& t : rows) {
        const double v = exactFieldRate(t);
        const double h = exactLineRate(t);
        if (v > 0 && h > 0 && std::isfinite(v) && std::isfinite(h)) {
            any = true;
            minV = qMin(minV, v);
            maxV = qMax(maxV, v);
            minH = qMin(minH, h);
            maxH = qMax(maxH, h);
        }
        if (std::isfinite(t.pixelFreq))
            clock = qMax(clock, t.pixelFreq);
    }
    if (!any)
        return false;
    l->minV = int(std::floor(minV + 1e-9));
    l->maxV = int(std::ceil(maxV - 1e-9));
    l->minH = int(std::floor(minH + 1e-9));
    l->maxH = int(std::ceil(maxH - 1e-9));
    l->clock10 = int(std::ceil(clock / 10.0 - 1e-9));
    return true;
}

// The default GTF rates of a progressive timing: line rate (kHz) and pixel clock (MHz).
void gtfRates(int h, int v, double rate, double* lineKHz, double* clockMHz)
{
    const double minVsyncBp = 550.0; // microseconds
    const double estimate = (1e6 / rate - minVsyncBp) / (v + 1);
    const int total = v + int(std::floor(minVsyncBp / estimate + 0.5)) + 1;
    const double period = estimate * (1e6 / (estimate * total)) / rate; // microseconds
    const double duty = 30.0 - 300.0 * period / 1000.0;
    const int blank = int(std::floor(h * duty / (100.0 - duty) / 16.0 + 0.5)) * 16;
    *lineKHz = 1000.0 / period;
    *clockMHz = (h + blank) / period;
}

// An E-EDID before 1.3 gives the aspect code 0 of a standard timing the meaning 1:1: readers
// of such an EDID see a square timing of that width where the table holds the 16:10 one, so
// the limits must take in the square timing as well.
void takeInSquareCodes(const EdidState& s, const QByteArray& standard, Limits* l, bool* any)
{
    if (s.revision < 1 || s.revision > 2)
        return;
    for (int k = 0; k + 1 < standard.size(); k += 2) {
        const int b1 = quint8(standard.at(k)), b2 = quint8(standard.at(k + 1));
        if (standardTimingUnused(b1, b2) || (b2 >> 6) != 0)
            continue;
        const int h = (b1 + 31) * 8;
        const int rate = (b2 & 0x3F) + 60;
        double line = 0, clock = 0;
        gtfRates(h, h, rate, &line, &clock);
        if (!*any) {
            l->minV = l->maxV = rate;
            l->minH = int(std::floor(line + 1e-9));
            l->maxH = int(std::ceil(line - 1e-9));
            l->clock10 = 0;
            *any = true;
        }
        l->minV = qMin(l->minV, rate);
        l->maxV = qMax(l->maxV, rate);
        l->minH = qMin(l->minH, int(std::floor(line + 1e-9)));
        l->maxH = qMax(l->maxH, int(std::ceil(line - 1e-9)));
        l->clock10 = qMax(l->clock10, int(std::ceil(clock / 10.0 - 1e-9)));
    }
}

void writeLimits(QByteArray* d, const Limits& l, bool v14)
{
    int flags = quint8(d->at(4)) & 0xF0;
    auto value = [&](int v, int bit, int pairBit) {
        if (v > 255 && v14) {
            flags |= bit | pairBit;
            return clampByte(v - 255);
        }
        return clampByte(v);
    };
    const int maxV = value(l.maxV, 0x02, 0);
    const int minV = l.minV > 255 && v14 ? value(l.minV, 0x01, 0x02) : clampByte(l.minV);
    const int maxH = value(l.maxH, 0x08, 0);
    const int minH = l.minH > 255 && v14 ? value(l.minH, 0x04, 0x08) : clampByte(l.minH);
    put(d, 4, flags);
    put(d, 5, minV);
    put(d, 6, maxV);
    put(d, 7, minH);
    put(d, 8, maxH);
    put(d, 9, clampByte(l.clock10));
}

// The range limits descriptor: the one read, widened where the timings need it, or a new one.
// Empty when there is neither a descriptor to keep nor a timing to derive one from.
QByteArray rangeDescriptor(const EdidState& s, const Interface& in, const QByteArray& standard)
{
    Limits t;
    bool haveTimings = timingLimits(s.timings, &t);
    takeInSquareCodes(s, standard, &t, &haveTimings);
    const QByteArray& kept = s.rangeLimitsDescriptor;
    if (kept.size() == 18) {
        if (!haveTimings)
            return kept;
        auto at = [&kept](int k) { return int(quint8(kept.at(k))); };
        const bool offsets = s.revision >= 4;
        const int f = offsets ? at(4) : 0;
        Limits k;
        k.minV = at(5) + ((f & 0x03) == 0x03 ? 255 : 0);
        k.maxV = at(6) + ((f & 0x02) ? 255 : 0);
        k.minH = at(7) + ((f & 0x0C) == 0x0C ? 255 : 0);
        k.maxH = at(8) + ((f & 0x08) ? 255 : 0);
        k.clock10 = at(9);
        Limits w = k;
        w.minV = qMin(k.minV, t.minV);
        w.maxV = qMax(k.maxV, t.maxV);
        w.minH = qMin(k.minH, t.minH);
        w.maxH = qMax(k.maxH, t.maxH);
        w.clock10 = k.clock10 == 0 ? 0 : qMax(k.clock10, t.clock10);
        if (w.minV == k.minV && w.maxV == k.maxV && w.minH == k.minH && w.maxH == k.maxH && w.clock10 == k.clock10)
            return kept;
        QByteArray d = kept;
        if (!in.v14)
            d[4] = char(0);
        writeLimits(&d, w, in.v14);
        if (w.clock10 != k.clock10 && at(10) == 0x04)
            d[12] = char(at(12) & 0x03); // the CVT fine adjustment belonged to the old maximum
        return d;
    }
    if (!haveTimings)
        return QByteArray();
    QByteArray d(18, '\0');
    d[3] = char(0xFD);
    writeLimits(&d, t, in.v14);
    // Default GTF needs continuous frequencies in E-EDID 1.4; otherwise the limits are bare.
    d[10] = char(in.v14 && !s.continuousFrequency ? 0x01 : 0x00);
    d[11] = char(0x0A);
    for (int k = 12; k < 18; ++k)
        d[k] = char(0x20);
    return d;
}

} // namespace

Interface interfaceOf(const EdidState& s)
{
    Interface in;
    in.digital = s.signalType == EdidState::SignalType::Digital;
    in.hdmi = in.digital && s.digitalInterface == EdidState::DigitalInterface::Hdmi;
    in.displayPort = in.digital && s.digitalInterface == EdidState::DigitalInterface::DisplayPort;
    in.twoBlocks = s.edidSize == EdidState::EdidSize::Blocks2
        || (s.edidSize == EdidState::EdidSize::Unset && s.hasCeaExtension);
    // An EDID read as 1.4 stays 1.4; a DisplayPort EDID needs the 1.4 interface bits.
    in.v14 = s.revision >= 4 || in.displayPort;
    const EdidState* o = s.originState.get();
    const bool interfaceAsRead = s.hasCeaExtension
        && (!o || (o->signalType == s.signalType && o->digitalInterface == s.digitalInterface));
    in.videoAllowed = (in.digital && (in.hdmi || in.displayPort)) || interfaceAsRead;
    in.hdmiAllowed = in.hdmi || (interfaceAsRead && s.hdmiVsdbPresent);
    return in;
}

Image generate(const EdidState& s)
{
    Image img;
    const Interface in = interfaceOf(s);
    QByteArray b(128, '\0');
    for (int k = 1; k < 7; ++k)
        b[k] = char(0xFF);
    const quint16 id = manufacturerIdCode(s.manufacturer);
    put(&b, 8, id >> 8);
    put(&b, 9, id);
    put(&b, 10, s.productCode);
    put(&b, 11, s.productCode >> 8);
    for (int k = 0; k < 4; ++k)
        put(&b, 12 + k, int(s.serialNumber >> (8 * k)));
    put(&b, 16, clampByte(s.week));
    put(&b, 17, clampByte(s.year - 1990));
    put(&b, 18, 1);
    int revision = s.revision;
    if (revision < 4)
        revision = in.displayPort ? 4 : (revision >= 1 ? revision : 3);
    put(&b, 19, revision);
    put(&b, 20, inputByte(s, in));
    int h = 0, v = 0;
    screenSize(s, &h, &v);
    put(&b, 21, h);
    put(&b, 22, v);
    put(&b, 23, s.gammaByte);
    put(&b, 24, featureByte(s, in));

    const QString* texts[8] = {&s.redX, &s.redY, &s.greenX, &s.greenY, &s.blueX, &s.blueY, &s.whiteX, &s.whiteY};
    int c[8];
    for (int k = 0; k < 8; ++k)
        c[k] = coordinateCode(*texts[k], s.chromaticityCodes[size_t(k)]);
    put(&b, 25, (c[0] & 3) << 6 | (c[1] & 3) << 4 | (c[2] & 3) << 2 | (c[3] & 3));
    put(&b, 26, (c[4] & 3) << 6 | (c[5] & 3) << 4 | (c[6] & 3) << 2 | (c[7] & 3));
    for (int k = 0; k < 8; ++k)
        put(&b, 27 + k, c[k] >> 2);

    const TimingLayout layout = placeTimings(s, in);
    img.placements = layout.placements;
    for (int k = 0; k < 3; ++k)
        put(&b, 35 + k, layout.established[k]);
    for (int k = 0; k < 16; ++k)
        b[38 + k] = layout.standard.at(k);

    // Display descriptors of the base block, in their order after the detailed timings.
    QList<QByteArray> display;
    int rangeIndex = -1;
    bool rangeOptional = false;
    // The name descriptors as read while the name is the one read (an EDID may carry several,
    // or one with an empty name); else the name as it is now.
    if (!s.monitorNameDescriptors.isEmpty() && descriptorName(s.monitorNameDescriptors.last()) == s.monitorName)
        display.append(s.monitorNameDescriptors);
    else if (!s.monitorName.isEmpty())
        display.append(nameDescriptor(s.monitorName));
    const QByteArray range = rangeDescriptor(s, in, layout.standard);
    if (!range.isEmpty()) {
        rangeIndex = display.size();
        rangeOptional = s.rangeLimitsDescriptor.isEmpty();
        display.append(range);
    }
    if (!s.establishedTimings3.isEmpty())
        display.append(displayDescriptor(0xF7, QByteArray(1, char(0x0A)) + s.establishedTimings3.left(6)));
    for (int k = 0; k < s.cvtCodes.size(); k += 4) {
        QByteArray codes(1, char(0x01));
        for (int j = k; j < k + 4 && j < s.cvtCodes.size(); ++j)
            codes += s.cvtCodes.at(j).left(3).leftJustified(3, '\0');
        display.append(displayDescriptor(0xF8, codes));
    }
    for (int k = 0; k < s.extraStandardTimings.size(); k += 6) {
        QByteArray codes;
        for (int j = k; j < k + 6; ++j)
            codes += j < s.extraStandardTimings.size() ? s.extraStandardTimings.at(j).left(2).leftJustified(2, '\0')
                                                       : QByteArray(2, char(0x01));
        codes += char(0x0A);
        QByteArray d = displayDescriptor(0xFA, QByteArray());
        d = d.left(5) + codes;
        display.append(d);
    }
    if (!s.whitePoints.isEmpty())
        display.append(QByteArray(3, '\0') + char(0xFB) + char(0) + s.whitePoints.left(13).leftJustified(13, '\0'));
    QList<QByteArray> extDisplay;
    for (const EdidState::KeptDescriptor& k : s.otherDescriptors) {
        const QByteArray d = k.bytes.left(18).leftJustified(18, '\0');
        (k.block == 0 ? display : extDisplay).append(d);
    }

    const int required = display.size() - (rangeOptional ? 1 : 0);
    // The detailed timings: one per row; or, while those are the ones read, all of them as
    // read (the table holds a timing once, an EDID may list it twice).
    QList<int> dtdRows = layout.dtdRows;
    QList<QByteArray> dtds;
    for (int row : dtdRows) {
        QByteArray d;
        detailedTiming(s.timings.at(row), &d, s.detailedTimingBytes);
        dtds.append(d);
    }
    if (s.detailedTimingBytes.size() > dtds.size()) {
        // Each descriptor read must say what one of the rows says (its flags byte may differ
        // where the row does not look), and the rows must come in the order read.
        QList<int> rows, firsts;
        for (const QByteArray& d : s.detailedTimingBytes) {
            int k = 0;
            for (; k < dtds.size(); ++k) {
                QByteArray same;
                if (d.left(17) == dtds.at(k).left(17)
                    && detailedTiming(s.timings.at(dtdRows.at(k)), &same, {d}) && same == d)
                    break;
            }
            if (k == dtds.size()) {
                rows.clear();
                break;
            }
            rows.append(dtdRows.at(k));
            if (!firsts.contains(k))
                firsts.append(k);
        }
        bool inOrder = !rows.isEmpty() && firsts.size() == dtds.size();
        for (int k = 0; inOrder && k < firsts.size(); ++k)
            inOrder = firsts.at(k) == k;
        if (inOrder) {
            dtdRows = rows;
            dtds = s.detailedTimingBytes;
        }
    }
    if (required > 4 || (required == 4 && !dtdRows.isEmpty())) {
        img.error = QStringLiteral("The base block has four descriptor slots, but the detailed timings, the monitor name "
                                   "and the other display descriptors need %1.")
                        .arg(required + (dtdRows.isEmpty() ? 0 : 1));
        return img;
    }
    const int freeSlots = 4 - required;
    const int baseDtds = qMin(dtdRows.size(), freeSlots);
    if (rangeOptional && baseDtds + required >= 4)
        display.removeAt(rangeIndex); // a new range descriptor never pushes a timing out
    int pos = 54;
    for (int k = 0; k < baseDtds; ++k) {
        img.baseDtdRows.append(dtdRows.at(k));
        b.replace(pos, 18, dtds.at(k));
        pos += 18;
    }
    for (const QByteArray& d : display) {
        b.replace(pos, 18, d);
        pos += 18;
    }
    for (; pos < 126; pos += 18)
        b.replace(pos, 18, displayDescriptor(0x10, QByteArray())); // dummy descriptor
    for (int k = baseDtds; k < dtdRows.size(); ++k) {
        if (in.twoBlocks) {
            img.extDescriptors.append(dtds.at(k));
            img.extDescriptorRows.append(dtdRows.at(k));
        } else {
            if (!dtdRows.mid(0, baseDtds).contains(dtdRows.at(k)))
                img.placements[dtdRows.at(k)].dtd = false;
        }
    }
    if (in.twoBlocks) {
        for (const QByteArray& d : extDisplay) {
            img.extDescriptors.append(d);
            img.extDescriptorRows.append(-1);
        }
    }
    put(&b, 126, in.twoBlocks ? 1 : 0);
    img.base = b;
    img.twoBlocks = in.twoBlocks;
    if (!in.twoBlocks)
        return img;

    img.ceaRevision = quint8(s.ceaRevision > 0 ? clampByte(s.ceaRevision) : 3);
    int flags = (s.underscan ? 0x80 : 0) | (s.basicAudio ? 0x40 : 0);
    if (s.rgb444 || !in.digital)
        flags |= (s.ycbcr444 ? 0x20 : 0) | (s.ycbcr422 ? 0x10 : 0);
    if (s.hasCeaExtension) {
        // Never more native detailed timings than detailed timings.
        flags |= qMin(s.nativeDtdCount & 0x0F, int(dtdRows.size()));
    } else {
        int natives = 0;
        for (int i = 0; i < s.timings.size(); ++i)
            natives += s.timings.at(i).native && img.placements.at(i).videoBlock;
        flags |= qMin(natives, 15);
    }
    img.ceaFlags = quint8(flags);
    img.blocks = ceaDataBlocks(s, in, layout, &img.error);
    return img;
}

namespace {

// Lays out the extension: header, data blocks, detailed timings while there is room, padding.
// Timings that find no room lose their placement.
QByteArray assembleExtension(const Image& img, QList<EdidTimingPlacement>* placements, QString* error)
{
    QByteArray e(128, '\0');
    e[0] = char(0x02);
    e[1] = char(img.ceaRevision);
    e[3] = char(img.ceaFlags);
    int size = 0;
    for (const DataBlock& d : img.blocks) {
        if (d.bytes.size() > 32) {
            *error = QStringLiteral("A %1 data block needs %2 bytes; a data block holds at most 32.")
                         .arg(d.kind)
                         .arg(d.bytes.size());
            return QByteArray();
        }
        size += d.bytes.size();
    }
    if (4 + size > 127) {
        *error = QStringLiteral("The data blocks need %1 bytes, but the extension has room for 123.").arg(size);
        return QByteArray();
    }
    int pos = 4;
    for (const DataBlock& d : img.blocks) {
        e.replace(pos, d.bytes.size(), d.bytes);
        pos += d.bytes.size();
    }
    e[2] = char(pos);
    int required = 0;
    for (int row : img.extDescriptorRows)
        required += row < 0;
    int room = (127 - pos) / 18;
    if (required > room) {
        *error = QStringLiteral("The extension has no room for its %1 display descriptors.").arg(required);
        return QByteArray();
    }
    int dtdRoom = room - required;
    QList<int> dropped, written;
    for (int k = 0; k < img.extDescriptors.size(); ++k) {
        const int row = img.extDescriptorRows.value(k, -1);
        if (row >= 0 && dtdRoom <= 0) {
            dropped.append(row);
            continue;
        }
        if (row >= 0) {
            --dtdRoom;
            written.append(row);
        }
        e.replace(pos, 18, img.extDescriptors.at(k));
        pos += 18;
    }
    for (int row : dropped) {
        if (placements && row < placements->size() && !written.contains(row) && !img.baseDtdRows.contains(row))
            (*placements)[row].dtd = false;
    }
    return e;
}

void setChecksum(QByteArray* bytes, int block)
{
    int sum = 0;
    for (int k = 128 * block; k < 128 * block + 127; ++k)
        sum += quint8(bytes->at(k));
    (*bytes)[128 * block + 127] = char((256 - sum % 256) % 256);
}

int byteAt(const QByteArray& b, int k)
{
    return k >= 0 && k < b.size() ? int(quint8(b.at(k))) : 0;
}

struct ReadExtension
{
    QList<QByteArray> blocks;
    QList<QByteArray> descriptors;
};

ReadExtension readExtension(const QByteArray& bytes)
{
    ReadExtension r;
    const int d = byteAt(bytes, 130);
    const int end = d >= 4 && d <= 127 ? d : 4;
    for (int pos = 4; pos < end;) {
        const int len = qMin(byteAt(bytes, 128 + pos) & 0x1F, end - pos - 1);
        r.blocks.append(bytes.mid(128 + pos, 1 + len));
        pos += 1 + len;
    }
    for (int p : ctaDescriptorOffsets(bytes.mid(128, 128)))
        r.descriptors.append(bytes.mid(128 + p, 18));
    return r;
}

QList<QByteArray> blocksOf(const QList<DataBlock>& blocks, const QString& kind)
{
    QList<QByteArray> out;
    for (const DataBlock& d : blocks) {
        if (d.kind == kind)
            out.append(d.bytes);
    }
    return out;
}

// Writes back, as it came, every part of the EDID that the state still says the same about as
// the state the decoder made of it: what the encoder would write for both is the same.
void keepUnchanged(Image* img, const Image& was, const QByteArray& read, const EdidState& s)
{
    static const int ranges[][2] = {{8, 17}, {18, 19}, {20, 20}, {21, 22}, {23, 23},
                                    {24, 24}, {25, 34}, {35, 37}, {38, 53}};
    for (const auto& r : ranges) {
        const int n = r[1] - r[0] + 1;
        if (img->base.mid(r[0], n) == was.base.mid(r[0], n))
            img->base.replace(r[0], n, read.mid(r[0], n));
    }
    // Where a part is kept as read, each row is where the decoder found it.
    auto keepFlag = [&](bool EdidTimingPlacement::*placement, bool Timing::*flag) {
        for (int i = 0; i < s.timings.size() && i < img->placements.size(); ++i)
            img->placements[i].*placement = s.timings.at(i).*flag;
    };
    if (img->base.mid(35, 3) == read.mid(35, 3))
        keepFlag(&EdidTimingPlacement::established, &Timing::established);
    if (img->base.mid(38, 16) == read.mid(38, 16))
        keepFlag(&EdidTimingPlacement::standard, &Timing::standard);

    const bool readCta = read.size() >= 256 && byteAt(read, 128) == 0x02;
    const ReadExtension ext = readCta ? readExtension(read) : ReadExtension();
    const bool descriptorsSame = img->base.mid(54, 72) == was.base.mid(54, 72)
        && img->extDescriptors == was.extDescriptors && img->twoBlocks == was.twoBlocks;
    if (descriptorsSame && (readCta || !img->twoBlocks || img->extDescriptors.isEmpty())) {
        img->base.replace(54, 72, read.mid(54, 72));
        if (img->twoBlocks) {
            img->extDescriptors = ext.descriptors;
            img->extDescriptorRows.clear();
            for (int k = 0; k < ext.descriptors.size(); ++k)
                img->extDescriptorRows.append(-1); // as read: each keeps its room
        }
        keepFlag(&EdidTimingPlacement::dtd, &Timing::dtd);
    }
    if (!img->twoBlocks || !readCta)
        return;
    if (img->ceaRevision == was.ceaRevision)
        img->ceaRevision = quint8(byteAt(read, 129));
    if (img->ceaFlags == was.ceaFlags)
        img->ceaFlags = quint8(byteAt(read, 131));

    // Data blocks: in the order they were read. A kind the state says the same about is kept as
    // read; a changed kind takes the place of the first block of that kind; new kinds follow.
    QSet<QString> changed;
    for (const DataBlock& d : img->blocks + was.blocks) {
        if (d.kind != QLatin1String("other") && blocksOf(img->blocks, d.kind) != blocksOf(was.blocks, d.kind))
            changed.insert(d.kind);
    }
    // The capability map and the HDMI block's 3D entries count the short video descriptors.
    if (changed.contains(QStringLiteral("video"))) {
        changed.insert(QStringLiteral("y420cap"));
        changed.insert(QStringLiteral("vsdb"));
    }
    if (!changed.contains(QStringLiteral("video")))
        keepFlag(&EdidTimingPlacement::videoBlock, &Timing::videoBlock);
    if (!changed.contains(QStringLiteral("vsdb")))
        keepFlag(&EdidTimingPlacement::hdmiBlock, &Timing::hdmiBlock);
    QList<DataBlock> out;
    QSet<QString> placed;
    QList<QByteArray> others = blocksOf(img->blocks, QStringLiteral("other"));
    for (const QByteArray& raw : ext.blocks) {
        const QString kind = dataBlockKind(raw);
        if (kind == QLatin1String("other")) {
            const int k = others.indexOf(raw);
            if (k >= 0) {
                out.append({kind, raw});
                others.removeAt(k);
            }
            continue;
        }
        if (!changed.contains(kind)) {
            out.append({kind, raw});
            continue;
        }
        if (placed.contains(kind))
            continue;
        placed.insert(kind);
        for (const QByteArray& b : blocksOf(img->blocks, kind))
            out.append({kind, b});
    }
    QSet<QString> readKinds;
    for (const QByteArray& raw : ext.blocks)
        readKinds.insert(dataBlockKind(raw));
    for (const DataBlock& d : img->blocks) {
        if (d.kind == QLatin1String("other") || readKinds.contains(d.kind))
            continue;
        out.append(d);
    }
    for (const QByteArray& raw : others)
        out.append({QStringLiteral("other"), raw});
    overrideBlockFirst(&out);
    img->blocks = out;
}

} // namespace

} // namespace EdidEncoding

using namespace EdidEncoding;

EdidEncodeResult encodeEdid(const EdidState& state)
{
    EdidEncodeResult r;
    const EdidState* origin = state.originState.get();
    const QByteArray& read = state.originBytes;
    const bool haveOrigin = origin && read.size() >= 128 && edidInputError(read.left(128)).isEmpty();
    // While the size choice is what it was when the EDID was read, the EDID keeps the blocks it
    // had (the interface rules may suggest two for an EDID that came with one).
    EdidState sized;
    const EdidState* effective = &state;
    if (haveOrigin && state.edidSize == origin->edidSize) {
        sized = state;
        sized.edidSize = read.size() >= 256 ? EdidState::EdidSize::Blocks2 : EdidState::EdidSize::Blocks1;
        effective = &sized;
    }
    Image img = generate(*effective);
    if (!img.error.isEmpty()) {
        r.error = img.error;
        r.placements = img.placements;
        return r;
    }
    QByteArray readExtensionBlock;
    if (haveOrigin) {
        EdidState then = *origin;
        then.edidSize = effective->edidSize;
        const Image was = generate(then);
        if (was.error.isEmpty()) {
            // An extension the state says nothing new about (whatever its kind) stays as read.
            if (img.twoBlocks && was.twoBlocks && read.size() >= 256) {
                QString e1, e2;
                const QByteArray now = assembleExtension(img, nullptr, &e1);
                const QByteArray then = assembleExtension(was, nullptr, &e2);
                if (e1.isEmpty() && e2.isEmpty() && now == then)
                    readExtensionBlock = read.mid(128, 128);
            }
            keepUnchanged(&img, was, read, *effective);
        }
    }

    QByteArray bytes = img.base;
    r.placements = img.placements;
    if (img.twoBlocks) {
        QByteArray ext = readExtensionBlock;
        if (ext.isEmpty()) {
            ext = assembleExtension(img, &r.placements, &r.error);
            if (!r.error.isEmpty())
                return r;
            // Padding as read, when everything before it is.
            const QList<int> descriptors = ctaDescriptorOffsets(ext);
            const int end = descriptors.isEmpty() ? byteAt(ext, 2) : descriptors.last() + 18;
            if (read.size() >= 256 && ext.left(end) == read.mid(128, end))
                ext.replace(end, 127 - end, read.mid(128 + end, 127 - end));
        }
        bytes += ext;
        setChecksum(&bytes, 1);
    }
    setChecksum(&bytes, 0);
    r.bytes = bytes;
    return r;
}

QString edidEncodableError(const EdidState& state)
{
    return encodeEdid(state).error;
}

EdidState newEdidState()
{
    EdidState s;
    s.manufacturer = NEW_EDID_MANUFACTURER.toUpper();
    s.productCode = quint16(QRandomGenerator::global()->bounded(32768));
    s.version = 1;
    s.gammaByte = 0x78; // gamma 2.2
    s.preferredTimingMode = true;
    s.edidSize = EdidState::EdidSize::Blocks2;
    return s;
}
