// Placing the timing rows: established timing bits, standard timing codes, detailed timing
// descriptors, the short video descriptors of the CTA-861 video data blocks and the HDMI VICs.
//
// A row's placement flags (established, standard, video block, DTD, HDMI block) say where the
// last build put it, so an EDID that is read and written again keeps every timing where it was.
// A row without any flag is new, and so is a flagged row that cannot stay where it was (say, a
// video block row after the interface became DVI): those are placed by the rules below.

#include "edidencoder_p.h"

#include "ediddecoder_p.h"

#include "constants.h"
#include "edidcatalogues.h"

#include <QHash>

#include <cmath>

namespace EdidEncoding {

namespace {

struct EstablishedEntry
{
    int byte, mask, h, v, rate;
    bool interlaced;
};

const EstablishedEntry kEstablished[] = {
    {0, 0x80, 720, 400, 70, false},   {0, 0x40, 720, 400, 88, false},   {0, 0x20, 640, 480, 60, false},
    {0, 0x10, 640, 480, 67, false},   {0, 0x08, 640, 480, 72, false},   {0, 0x04, 640, 480, 75, false},
    {0, 0x02, 800, 600, 56, false},   {0, 0x01, 800, 600, 60, false},   {1, 0x80, 800, 600, 72, false},
    {1, 0x40, 800, 600, 75, false},   {1, 0x20, 832, 624, 75, false},   {1, 0x10, 1024, 768, 87, true},
    {1, 0x08, 1024, 768, 60, false},  {1, 0x04, 1024, 768, 70, false},  {1, 0x02, 1024, 768, 75, false},
    {1, 0x01, 1280, 1024, 75, false}, {2, 0x80, 1152, 870, 75, false}};

int frameLines(const Timing& t)
{
    return t.ip ? 2 * t.vActive : t.vActive;
}

// A nominal rate names a timing whose rate, as listed or exact and cut to whole hertz, is it
// (640x480 at 72.809 Hz is the established 640x480 at 72 Hz).
bool hasNominalRate(const Timing& t, int rate)
{
    if (t.fieldRate == rate)
        return true;
    const double exact = exactFieldRate(t);
    return exact > 0 && int(exact) == rate;
}

const EstablishedEntry* establishedEntry(const Timing& t)
{
    for (const EstablishedEntry& e : kEstablished) {
        if (t.hActive == e.h && frameLines(t) == e.v && t.ip == e.interlaced && hasNominalRate(t, e.rate))
            return &e;
    }
    return nullptr;
}

// The standard timing code of a progressive timing, from its size and listed rate; 0 when it has
// none (a width that is not a multiple of 8 or out of range, an aspect ratio without a code, a
// rate outside 60-123 Hz).
int standardCode(const Timing& t)
{
    if (t.ip || t.hActive % 8 != 0)
        return 0;
    const int b1 = t.hActive / 8 - 31;
    if (standardTimingUnused(b1, 0) || b1 > 255)
        return 0;
    const int g = gcd(t.hActive, t.vActive);
    if (g < 1)
        return 0;
    const int r = standardTimingRate(t) - 60;
    if (r < 0 || r > 63)
        return 0;
    for (int a = 0; a < 4 && a < ASPECT_RATIOS.size(); ++a) {
        const AspectRatioEntry& e = ASPECT_RATIOS.at(a);
        if (t.hActive / g == e.hRatio && t.vActive / g == e.vRatio)
            return b1 << 8 | a << 6 | r;
    }
    return 0;
}

// Whether a standard timing code as read names this row (the decoder made the row from it).
bool codeNames(int code, const Timing& t)
{
    const int b1 = code >> 8, b2 = code & 0xFF;
    if (standardTimingUnused(b1, b2))
        return false;
    const int h = (b1 + 31) * 8;
    const AspectRatioEntry& e = ASPECT_RATIOS.at(b2 >> 6);
    const int v = h * e.vRatio / e.hRatio;
    return !t.ip && t.hActive == h && t.vActive == v && standardTimingRate(t) == (b2 & 0x3F) + 60;
}

bool flagged(const Timing& t)
{
    return t.established || t.standard || t.videoBlock || t.dtd || t.hdmiBlock;
}

bool landed(const EdidTimingPlacement& p)
{
    return p.established || p.standard || p.videoBlock || p.dtd || p.hdmiBlock;
}

// VICs of a list as read that no row of the decoded table stood for (VICs the catalogue does not
// know): they are written back as they came.
bool uncatalogued(const EdidState& s, int vic, bool hdmiVic)
{
    const QList<Timing>& rows = s.originState ? s.originState->timings : s.timings;
    for (const Timing& t : rows) {
        if ((hdmiVic ? t.hdmiVic : t.vic) == vic)
            return false;
    }
    return true;
}

// Orders the rows chosen for a list of VICs as the list was read: VICs the catalogue does not
// know stay, rows whose VIC was in the list keep its place, new rows follow in table order.
// Returns pairs (VIC, row or -1).
QList<QPair<int, int>> orderVics(const EdidState& s, const QList<int>& asRead, const QList<int>& rows,
                                  bool hdmiVic)
{
    QList<QPair<int, int>> out;
    QList<bool> used;
    for (int k = 0; k < rows.size(); ++k)
        used.append(false);
    for (int vic : asRead) {
        if (uncatalogued(s, vic, hdmiVic)) {
            out.append({vic, -1});
            continue;
        }
        // A VIC listed twice stays listed twice.
        for (int k = 0; k < rows.size(); ++k) {
            const Timing& t = s.timings.at(rows.at(k));
            if ((hdmiVic ? t.hdmiVic : t.vic) == vic) {
                out.append({vic, rows.at(k)});
                used[k] = true;
                break;
            }
        }
    }
    for (int k = 0; k < rows.size(); ++k) {
        if (used.at(k))
            continue;
        const Timing& t = s.timings.at(rows.at(k));
        out.append({hdmiVic ? t.hdmiVic : t.vic, rows.at(k)});
    }
    return out;
}

} // namespace

double exactFieldRate(const Timing& t)
{
    if (t.hTotal > 0 && t.vTotal > 0 && t.pixelFreq > 0) {
        const double frames = t.pixelFreq * 1e6 / (double(t.hTotal) * t.vTotal);
        return t.ip ? frames * 2 : frames;
    }
    return t.fieldRate;
}

double exactLineRate(const Timing& t)
{
    if (t.hTotal > 0 && t.pixelFreq > 0)
        return t.pixelFreq * 1000.0 / t.hTotal;
    return t.hFreq;
}

bool detailedTiming(const Timing& t, QByteArray* out, const QList<QByteArray>& asRead)
{
    // The clock in 10 kHz units, to the nearest unit (25.175 MHz is 2518); 0 would turn the
    // descriptor into a display descriptor.
    const double units = std::floor(t.pixelFreq * 100.0 + 0.5);
    if (!(units >= 1 && units <= 65535))
        return false;
    const int clock = int(units);
    if (t.hActive < 0 || t.hActive > 4095 || t.hBlank < 0 || t.hBlank > 4095 || t.vActive < 0 || t.vActive > 4095
        || t.vBlank < 0 || t.vBlank > 4095 || t.hFront < 0 || t.hFront > 1023 || t.hSync < 0 || t.hSync > 1023
        || t.vFront < 0 || t.vFront > 63 || t.vSync < 0 || t.vSync > 63)
        return false;
    const int hSize = qBound(0, t.hSize, 4095);
    const int vSize = qBound(0, t.vSize, 4095);
    QByteArray d(18, '\0');
    d[0] = char(clock & 0xFF);
    d[1] = char(clock >> 8);
    d[2] = char(t.hActive & 0xFF);
    d[3] = char(t.hBlank & 0xFF);
    d[4] = char(((t.hActive >> 4) & 0xF0) | (t.hBlank >> 8));
    d[5] = char(t.vActive & 0xFF);
    d[6] = char(t.vBlank & 0xFF);
    d[7] = char(((t.vActive >> 4) & 0xF0) | (t.vBlank >> 8));
    d[8] = char(t.hFront & 0xFF);
    d[9] = char(t.hSync & 0xFF);
    d[10] = char(((t.vFront & 0x0F) << 4) | (t.vSync & 0x0F));
    d[11] = char(((t.hFront >> 2) & 0xC0) | ((t.hSync >> 4) & 0x30) | ((t.vFront >> 2) & 0x0C) | (t.vSync >> 4));
    d[12] = char(hSize & 0xFF);
    d[13] = char(vSize & 0xFF);
    d[14] = char(((hSize >> 4) & 0xF0) | (vSize >> 8));
    d[15] = char(qBound(0, t.hBorder, 255));
    d[16] = char(qBound(0, t.vBorder, 255));
    d[17] = char((t.ip ? 0x80 : 0) | 0x18 | (t.vPol ? 0x04 : 0) | (t.hPol ? 0x02 : 0));
    for (const QByteArray& r : asRead) {
        if (r.size() != 18 || !r.startsWith(d.left(17)))
            continue;
        // The decoder reads polarities only for digital sync; the flags must still say them.
        const int f = quint8(r.at(17));
        const int sync = f >> 3 & 3;
        const bool hPol = sync >= 2 && (f & 0x02);
        const bool vPol = sync == 3 && (f & 0x04);
        if (bool(f & 0x80) == t.ip && hPol == t.hPol && vPol == t.vPol) {
            d[17] = char(f);
            break;
        }
    }
    *out = d;
    return true;
}

TimingLayout placeTimings(const EdidState& s, const Interface& in)
{
    TimingLayout l;
    const int n = s.timings.size();
    l.placements = QList<EdidTimingPlacement>();
    for (int i = 0; i < n; ++i)
        l.placements.append(EdidTimingPlacement());

    QList<int> codes;            // standard timing codes, in the order they are written
    QList<int> codeIndex;        // for each: index of the code as read, or 8 + order for new codes
    QList<int> keptCodes;
    for (int k = 0; k + 1 < s.standardTimingBytes.size() && k < 16; k += 2)
        keptCodes.append(quint8(s.standardTimingBytes.at(k)) << 8 | quint8(s.standardTimingBytes.at(k + 1)));
    QList<bool> keptUsed;
    for (int k = 0; k < keptCodes.size(); ++k)
        keptUsed.append(false);

    QList<int> videoRows, yuv420Rows, hdmiRows, dtdRows;

    auto establish = [&](int row) {
        const EstablishedEntry* e = establishedEntry(s.timings.at(row));
        if (!e)
            return false;
        l.established[e->byte] |= quint8(e->mask);
        l.placements[row].established = true;
        return true;
    };
    auto standard = [&](int row, bool fromFlag) {
        if (codes.size() >= 8)
            return false;
        const Timing& t = s.timings.at(row);
        int code = 0, index = 8 + codes.size();
        if (fromFlag) {
            for (int k = 0; k < keptCodes.size() && code == 0; ++k) {
                if (!keptUsed.at(k) && codeNames(keptCodes.at(k), t)) {
                    keptUsed[k] = true;
                    code = keptCodes.at(k);
                    index = k;
                }
            }
        }
        if (code == 0)
            code = standardCode(t);
        if (code == 0)
            return false;
        codes.append(code);
        codeIndex.append(index);
        l.placements[row].standard = true;
        return true;
    };
    auto video = [&](int row) {
        const Timing& t = s.timings.at(row);
        if (!in.videoBlocks() || t.vic <= 0 || t.vic > 255)
            return false;
        // A VIC read in both the video and the 4:2:0 video data block stays in both while its
        // row says 4:2:0 (only, or with the capability map).
        const bool readInBoth = s.videoBlockVics.contains(t.vic) && s.yuv420Vics.contains(t.vic);
        if (t.subsampling != 1 || readInBoth)
            videoRows.append(row);
        if (t.subsampling == 1 || (readInBoth && t.subsampling == 2))
            yuv420Rows.append(row);
        l.placements[row].videoBlock = true;
        return true;
    };
    auto hdmi = [&](int row) {
        const Timing& t = s.timings.at(row);
        if (!in.hdmiBlocks() || t.hdmiVic <= 0 || t.hdmiVic > 255)
            return false;
        hdmiRows.append(row);
        l.placements[row].hdmiBlock = true;
        return true;
    };
    auto dtd = [&](int row) {
        QByteArray bytes;
        if (!detailedTiming(s.timings.at(row), &bytes, s.detailedTimingBytes))
            return false;
        dtdRows.append(row);
        l.placements[row].dtd = true;
        return true;
    };

    // Rows that were placed before stay where they were.
    for (int i = 0; i < n; ++i) {
        const Timing& t = s.timings.at(i);
        if (!flagged(t))
            continue;
        if (t.established)
            establish(i);
        if (t.standard)
            standard(i, true);
        if (t.videoBlock)
            video(i);
        if (t.hdmiBlock)
            hdmi(i);
        if (t.dtd)
            dtd(i);
    }
    // New rows, and rows that cannot stay where they were: every place that takes them, and a
    // detailed timing as well, while there is room.
    for (int i = 0; i < n; ++i) {
        if (flagged(s.timings.at(i)) && landed(l.placements.at(i)))
            continue;
        establish(i);
        standard(i, false);
        video(i);
        hdmi(i);
        dtd(i);
    }

    // Standard timing codes in the order they were read, new ones after them.
    QList<int> order;
    for (int k = 0; k < codes.size(); ++k)
        order.append(k);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return codeIndex.at(a) < codeIndex.at(b); });
    l.standard = QByteArray(16, char(0x01));
    for (int k = 0; k < order.size(); ++k) {
        l.standard[2 * k] = char(codes.at(order.at(k)) >> 8);
        l.standard[2 * k + 1] = char(codes.at(order.at(k)) & 0xFF);
    }
    // The codes as read (a code may be listed twice, the table holds its timing once) while the
    // rows still give exactly those codes.
    if (s.standardTimingBytes.size() == 16) {
        QList<int> distinct;
        for (int code : keptCodes) {
            if (!standardTimingUnused(code >> 8, code & 0xFF) && !distinct.contains(code))
                distinct.append(code);
        }
        bool same = codes.size() == distinct.size();
        for (int k = 0; same && k < codes.size(); ++k)
            same = codeIndex.at(k) < 8 && distinct.contains(codes.at(k));
        if (same)
            l.standard = s.standardTimingBytes;
    }
    l.established[2] |= quint8(s.manufacturerTimings & 0x7F);

    l.dtdRows = dtdRows;
    if (in.videoBlocks()) {
        // A VIC listed more than once is native as often as it was read native.
        QHash<int, int> nativeLeft;
        for (int v : s.nativeVics)
            ++nativeLeft[v];
        for (int row : videoRows) {
            const Timing& t = s.timings.at(row);
            if (!t.native)
                nativeLeft.remove(t.vic);
            else if (!nativeLeft.contains(t.vic))
                nativeLeft[t.vic] = 1;
        }
        for (const auto& p : orderVics(s, s.videoBlockVics, videoRows, false)) {
            const int vic = p.first;
            const bool native = nativeLeft.value(vic) > 0;
            if (native)
                --nativeLeft[vic];
            l.svdVics.append(vic);
            l.svdRows.append(p.second);
            l.svds.append(native && vic >= 1 && vic <= 64 ? (vic | 0x80) : vic);
        }
        for (const auto& p : orderVics(s, s.yuv420Vics, yuv420Rows, false))
            l.yuv420Vics.append(p.first);
    }
    if (in.hdmiBlocks()) {
        QList<int> written;
        for (const auto& p : orderVics(s, s.hdmiVics, hdmiRows, true)) {
            // The HDMI block has room for seven; a row whose VIC is listed twice keeps its place
            // when the second listing finds no room.
            if (l.hdmiVics.size() >= 7) {
                if (p.second >= 0 && !written.contains(p.second))
                    l.placements[p.second].hdmiBlock = false;
                continue;
            }
            l.hdmiVics.append(p.first);
            written.append(p.second);
        }
    }
    return l;
}

} // namespace EdidEncoding
