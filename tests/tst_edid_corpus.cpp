// Decodes every EDID of the shared corpus of real monitors and checks the decoded fields against
// Debian's edid-decode on the same file. Only fields are compared, never description texts.
//
// Deliberate differences (rules of this program), which the comparison takes into account:
// - Standard timings that are not VESA DMTs: the program generates the CVT timing of the size and
//   rate, edid-decode the GTF timing; only the size and rate are compared.
// - Established timings III, CVT 3-byte codes and additional standard timing descriptors are kept
//   as bytes for writing back, not shown in the timing table; they are not compared.
// - Blocks after the first extension are not decoded (edid-decode decodes them); a first
//   extension that is not a CTA-861 block (a block map) is not decoded either.
// - 6 bits per primary colour: the editor has no 6-bit choice (the byte is kept as read).
// - The interface of an EDID 1.3 is the program's own choice (DVI, or HDMI with data blocks);
//   edid-decode reports none.
// - The timing table holds each timing once (its merge rule): a timing listed twice (two equal
//   detailed timings, a VIC listed twice, a detailed timing that is also a VIC) is one row, so
//   rows are counted against edid-decode's distinct timings; a VIC's row is native when any of
//   its SVDs carries the native bit.
// - A detailed timing without lines has the field rate 0 (edid-decode: inf).

#include "edidbuilder.h"
#include "edidcorpus.h"
#include "ediddecodeparse.h"
#include "ediddecoder.h"
#include "plexatest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

namespace {

struct PeerTiming
{
    QString section; // "est", "std", "dtd", "vic", "hdmivic", "y420", "y420cap"
    QString label;
    int w = 0, h = 0;
    bool interlaced = false;
    double hz = 0, khz = 0, mhz = 0;
    int hfront = 0, hsync = 0, hback = 0, hborder = 0;
    bool hpol = false;
    int vfront = 0, vsync = 0, vback = 0, vborder = 0;
    bool vpol = false;
    int hmm = -1, vmm = -1;
    bool native = false;
    int number = 0; // VIC or HDMI VIC
};

struct PeerAudio
{
    QString name;
    int channels = 0;
    QString rates, sizes;
    int bitRate = -1;
    QString dependent; // "Audio Format Code dependent value" (codes 9 to 14)
};

// The fields of edid-decode's report on blocks 0 and 1.
struct PeerReport
{
    QMap<QString, QString> base;      // field name -> value
    QMap<QString, QString> cta;
    QSet<QString> baseFlags, ctaFlags, vsdbFlags, hfFlags, colorimetry, hdr, speakers;
    QList<PeerTiming> timings;
    QList<PeerAudio> audio;
    bool ctaDecoded = false;
    QStringList unknownVics;
};

PeerReport parsePeer(const QString& text)
{
    static const QRegularExpression head(
        QStringLiteral("^\\s*(.*?):\\s+(\\d+)x(\\d+)(i?)\\s+([\\d.]+|inf|-?nan) Hz\\s+\\S+\\s+([\\d.]+) kHz\\s+([\\d.]+) MHz(.*)$"));
    static const QRegularExpression hline(
        QStringLiteral("Hfront\\s+(-?\\d+) Hsync\\s+(\\d+) Hback\\s+(-?\\d+) Hpol ([PN])(?: Hborder (\\d+))?"));
    static const QRegularExpression vline(
        QStringLiteral("Vfront\\s+(-?\\d+) Vsync\\s+(\\d+) Vback\\s+(-?\\d+) Vpol ([PN])(?: Vborder (\\d+))?"));
    static const QRegularExpression mm(QStringLiteral("(\\d+) mm x (\\d+) mm"));
    PeerReport r;
    const QStringList lines = text.split(QLatin1Char('\n'));
    int block = -1;
    QString section, sub;
    PeerTiming* last = nullptr;
    bool vSeen = false;
    for (int n = 0; n < lines.size(); ++n) {
        const QString& line = lines.at(n);
        if (line.startsWith(QLatin1String("Block "))) {
            block = line.mid(6, line.indexOf(QLatin1Char(',')) - 6).toInt();
            if (block == 1)
                r.ctaDecoded = line.contains(QLatin1String("CTA-861"));
            section.clear();
            continue;
        }
        if (block < 0 || block > 1 || (block == 1 && !r.ctaDecoded))
            continue;
        const int indent = line.size() - line.trimmed().size() - (line.endsWith(QLatin1Char(' ')) ? 0 : 0);
        int lead = 0;
        while (lead < line.size() && line.at(lead) == QLatin1Char(' '))
            ++lead;
        Q_UNUSED(indent)
        const QString t = line.trimmed();
        if (t.isEmpty())
            continue;
        if (lead == 2) {
            section = t;
            sub.clear();
            last = nullptr;
            if (block == 1 && !t.endsWith(QLatin1Char(':')))
                r.ctaFlags.insert(t);
            if (block == 1 && t.startsWith(QLatin1String("Native detailed modes:")))
                r.cta[QStringLiteral("native")] = t.section(QLatin1Char(':'), 1).trimmed();
            if (block == 0 && t.startsWith(QLatin1String("EDID Structure Version")))
                r.base[QStringLiteral("version")] = t.section(QLatin1Char(':'), 1).trimmed();
            continue;
        }
        if (last && (t.startsWith(QLatin1String("Hfront")) || t.startsWith(QLatin1String("Vfront")))) {
            const auto hm = hline.match(t);
            const auto vm = vline.match(t);
            if (t.startsWith(QLatin1String("Hfront")) && hm.hasMatch()) {
                last->hfront = hm.captured(1).toInt();
                last->hsync = hm.captured(2).toInt();
                last->hback = hm.captured(3).toInt();
                last->hpol = hm.captured(4) == QLatin1String("P");
                last->hborder = hm.captured(5).toInt();
            } else if (vm.hasMatch() && !vSeen) {
                last->vfront = vm.captured(1).toInt();
                last->vsync = vm.captured(2).toInt();
                last->vback = vm.captured(3).toInt();
                last->vpol = vm.captured(4) == QLatin1String("P");
                last->vborder = vm.captured(5).toInt();
                vSeen = true;
            }
            continue;
        }
        const auto m = head.match(t);
        if (m.hasMatch()) {
            QString kind;
            const QString label = m.captured(1);
            if (block == 0 && section.startsWith(QLatin1String("Established Timings I")))
                kind = QStringLiteral("est");
            else if (block == 0 && section.startsWith(QLatin1String("Standard Timings")))
                kind = QStringLiteral("std");
            else if (section.startsWith(QLatin1String("Detailed Timing")) && label.startsWith(QLatin1String("DTD")))
                kind = QStringLiteral("dtd");
            else if (section == QLatin1String("Video Data Block:") && label.startsWith(QLatin1String("VIC")))
                kind = QStringLiteral("vic");
            else if (section.startsWith(QLatin1String("YCbCr 4:2:0 Video")) && label.startsWith(QLatin1String("VIC")))
                kind = QStringLiteral("y420");
            else if (section.startsWith(QLatin1String("YCbCr 4:2:0 Capability")) && label.startsWith(QLatin1String("VIC")))
                kind = QStringLiteral("y420cap");
            else if (label.startsWith(QLatin1String("HDMI VIC")))
                kind = QStringLiteral("hdmivic");
            last = nullptr;
            if (kind.isEmpty())
                continue;
            PeerTiming pt;
            pt.section = kind;
            pt.label = label;
            pt.w = m.captured(2).toInt();
            pt.h = m.captured(3).toInt();
            pt.interlaced = !m.captured(4).isEmpty();
            pt.hz = m.captured(5).at(0).isDigit() ? m.captured(5).toDouble() : std::numeric_limits<double>::infinity();
            pt.khz = m.captured(6).toDouble();
            pt.mhz = m.captured(7).toDouble();
            const auto mmMatch = mm.match(m.captured(8));
            if (mmMatch.hasMatch()) {
                pt.hmm = mmMatch.captured(1).toInt();
                pt.vmm = mmMatch.captured(2).toInt();
            }
            pt.native = m.captured(8).contains(QLatin1String("native"));
            pt.number = label.section(QLatin1Char(' '), -1).toInt();
            r.timings.append(pt);
            last = &r.timings.last();
            vSeen = false;
            continue;
        }
        last = nullptr;
        if (t.startsWith(QLatin1String("Unknown (VIC")))
            r.unknownVics.append(t);
        if (block == 0) {
            const QString key = t.section(QLatin1Char(':'), 0, 0);
            const QString value = t.section(QLatin1Char(':'), 1).trimmed();
            if (t.contains(QLatin1Char(':')) && lead == 4)
                r.base[key] = value;
            else if (lead == 4)
                r.baseFlags.insert(t);
            continue;
        }
        // CTA block.
        if (section == QLatin1String("Audio Data Block:")) {
            if (lead == 4 && t.endsWith(QLatin1Char(':'))) {
                PeerAudio a;
                a.name = t.left(t.size() - 1);
                r.audio.append(a);
            } else if (!r.audio.isEmpty()) {
                PeerAudio& a = r.audio.last();
                const QString value = t.section(QLatin1Char(':'), 1).trimmed();
                if (t.startsWith(QLatin1String("Max channels")))
                    a.channels = value.toInt();
                else if (t.startsWith(QLatin1String("Supported sample rates")))
                    a.rates = value;
                else if (t.startsWith(QLatin1String("Supported sample sizes")))
                    a.sizes = value;
                else if (t.startsWith(QLatin1String("Maximum bit rate")))
                    a.bitRate = value.section(QLatin1Char(' '), 0, 0).toInt();
                else if (t.startsWith(QLatin1String("Audio Format Code dependent value")))
                    a.dependent = value;
            }
        } else if (section.startsWith(QLatin1String("Speaker Allocation"))) {
            r.speakers.insert(t.section(QLatin1String(" - "), 0, 0));
        } else if (section.startsWith(QLatin1String("Vendor-Specific Data Block (HDMI),"))) {
            if (t.contains(QLatin1Char(':')))
                r.cta[QStringLiteral("vsdb ") + t.section(QLatin1Char(':'), 0, 0)] = t.section(QLatin1Char(':'), 1).trimmed();
            else
                r.vsdbFlags.insert(t);
        } else if (section.startsWith(QLatin1String("Vendor-Specific Data Block (HDMI Forum)"))) {
            if (t.contains(QLatin1String(": ")))
                r.cta[QStringLiteral("hf ") + t.section(QLatin1Char(':'), 0, 0)] = t.section(QLatin1Char(':'), 1).trimmed();
            else
                r.hfFlags.insert(t);
        } else if (section.startsWith(QLatin1String("Colorimetry Data Block"))) {
            r.colorimetry.insert(t);
        } else if (section.startsWith(QLatin1String("HDR Static Metadata"))) {
            if (t.startsWith(QLatin1String("Desired content")))
                r.cta[t.section(QLatin1Char(':'), 0, 0)] = t.section(QLatin1Char(':'), 1).trimmed().section(QLatin1Char(' '), 0, 0);
            else
                r.hdr.insert(t);
        }
    }
    return r;
}

class Comparison
{
public:
    void check(const QString& file, const QString& field, bool agree, const QString& detail = QString())
    {
        ++total;
        perField[field].first++;
        if (agree) {
            ++agreed;
            return;
        }
        perField[field].second++;
        if (failures.size() < 60 && !field.startsWith(QLatin1String("chromaticity")))
            failures.append(QStringLiteral("%1: %2 %3").arg(file, field, detail));
    }
    int total = 0;
    int agreed = 0;
    QMap<QString, QPair<int, int>> perField; // compared, disagreed
    QStringList failures;
};

bool sameNumbers(const Timing& t, const PeerTiming& p, bool withSize)
{
    const int lines = t.ip ? 2 * t.vActive : t.vActive;
    bool ok = t.hActive == p.w && lines == p.h && t.ip == p.interlaced && std::fabs(t.pixelFreq - p.mhz) < 0.0005
        && t.hFront == p.hfront && t.hSync == p.hsync && t.hBack == p.hback && t.hBorder == p.hborder
        && t.hPol == p.hpol && t.vFront == p.vfront && t.vSync == p.vsync && t.vBack == p.vback
        && t.vBorder == p.vborder && t.vPol == p.vpol && std::fabs(t.hFreq - p.khz) < 0.0011
        // A timing without lines has no field rate (edid-decode: inf); the program shows 0.
        && t.fieldRate == (std::isfinite(p.hz) ? int(std::floor(p.hz + 0.5)) : 0);
    if (withSize && p.hmm >= 0)
        ok = ok && t.hSize == p.hmm && t.vSize == p.vmm;
    return ok;
}

QString dtdKey(const PeerTiming& p)
{
    return QStringLiteral("%1x%2%3 %4MHz h %5 %6 %7 %8 %9 v %10 %11 %12 %13 %14 %15x%16mm")
        .arg(p.w)
        .arg(p.h)
        .arg(p.interlaced ? "i" : "")
        .arg(p.mhz)
        .arg(p.hfront)
        .arg(p.hsync)
        .arg(p.hback)
        .arg(p.hpol)
        .arg(p.hborder)
        .arg(p.vfront)
        .arg(p.vsync)
        .arg(p.vback)
        .arg(p.vpol)
        .arg(p.vborder)
        .arg(p.hmm)
        .arg(p.vmm);
}

QString describe(const PeerTiming& p)
{
    return QStringLiteral("%1 %2x%3%4 %5Hz %6MHz").arg(p.label).arg(p.w).arg(p.h).arg(p.interlaced ? "i" : "").arg(p.hz).arg(p.mhz);
}

const char* const kAudioNames[] = {"",
                                   "Linear PCM",
                                   "AC-3",
                                   "MPEG 1 (Layers 1 & 2)",
                                   "MPEG 1 Layer 3 (MP3)",
                                   "MPEG2 (multichannel)",
                                   "AAC LC",
                                   "DTS",
                                   "ATRAC",
                                   "One Bit Audio",
                                   "Enhanced AC-3 (DD+)",
                                   "DTS-HD",
                                   "MAT (MLP)",
                                   "DST",
                                   "WMA Pro",
                                   "MPEG-4 HE AAC",
                                   "MPEG-4 HE AAC v2",
                                   "MPEG-4 AAC LC",
                                   "DRA",
                                   "MPEG-4 HE AAC + MPEG Surround",
                                   "MPEG-4 AAC LC + MPEG Surround"};

QString joinRates(const AudioFormat& f)
{
    QStringList parts;
    for (double r : f.samplingFreqs)
        parts.append(QString::number(r));
    return parts.join(QLatin1Char(' '));
}

QString joinSizes(const AudioFormat& f)
{
    QStringList parts;
    for (int s : f.bitDepths)
        parts.append(QString::number(s));
    return parts.join(QLatin1Char(' '));
}

// The audio descriptors edid-decode lists against the program's audio table, both ways: each
// distinct descriptor it lists is a row, and each row is one of them (the table holds a
// descriptor listed twice once, so edid-decode's list is counted without repeats). The codings
// the table has no row type for (AC-4, unknown extension types) are kept as bytes: as many as it
// lists. Returns the differences.
QStringList audioDisagreements(const PeerReport& r, const EdidState& s)
{
    auto rowKey = [](const QString& name, int channels, const QString& rates, const QString& sizes, int bitRate) {
        return QStringLiteral("%1 %2ch rates %3 sizes %4 rate %5").arg(name).arg(channels).arg(rates, sizes).arg(bitRate);
    };
    QStringList peer, peerSeen;
    int peerKept = 0;
    for (const PeerAudio& a : r.audio) {
        const QString full = rowKey(a.name, a.channels, a.rates, a.sizes, a.bitRate) + QStringLiteral(" / ") + a.dependent;
        int type = 0;
        for (int k = 1; k <= 20 && type == 0; ++k)
            type = a.name == QLatin1String(kAudioNames[k]) ? k : 0;
        if (type == 0) {
            ++peerKept;
            continue;
        }
        if (peerSeen.contains(full))
            continue;
        peerSeen.append(full);
        peer.append(rowKey(a.name, a.channels, a.rates, type == 1 ? a.sizes : QString(), audioCodeHasBitRate(type) ? a.bitRate : -1));
    }
    QStringList rows;
    for (const AudioFormat& f : s.audioFormats) {
        const bool known = f.type >= 1 && f.type <= 20;
        rows.append(rowKey(known ? QLatin1String(kAudioNames[f.type]) : QStringLiteral("type %1").arg(f.type), f.channels,
                           joinRates(f), f.type == 1 ? joinSizes(f) : QString(), audioCodeHasBitRate(f.type) ? f.maxBitRate : -1));
    }
    int kept = 0;
    for (const QByteArray& raw : s.unknownAudioDescriptors)
        kept += raw.size() == 3 && (quint8(raw.at(0)) >> 3 & 0x0F) == 15;
    QStringList differences;
    QStringList unmatched = rows;
    for (const QString& p : peer) {
        if (!unmatched.removeOne(p))
            differences << QStringLiteral("listed, not a row: ") + p;
    }
    for (const QString& row : unmatched)
        differences << QStringLiteral("a row, not listed: ") + row;
    if (kept != peerKept)
        differences << QStringLiteral("%1 descriptors kept as bytes, %2 listed").arg(kept).arg(peerKept);
    return differences;
}

} // namespace

namespace {

// Compares the program's decode of one EDID with edid-decode's report on it.
void compareFile(const QString& name, const QByteArray& bytes, const EdidState& s, const PeerReport& r,
                 const TimingCatalogue& catalogue, Comparison& c)
{
    {

        // Identification and basic parameters.
        c.check(name, QStringLiteral("manufacturer"), r.base.value(QStringLiteral("Manufacturer")) == s.manufacturer);
        c.check(name, QStringLiteral("product code"), r.base.value(QStringLiteral("Model")).toUInt() == s.productCode);
        c.check(name, QStringLiteral("serial"),
                r.base.value(QStringLiteral("Serial Number"), QStringLiteral("0")).toUInt() == s.serialNumber);
        QString date;
        if (s.week == 255)
            date = QStringLiteral("Model year %1").arg(s.year);
        else if (s.week == 0)
            date = QString::number(s.year);
        else
            date = QStringLiteral("week %1 of %2").arg(s.week).arg(s.year);
        const QString peerDate = r.base.contains(QStringLiteral("Model year"))
            ? QStringLiteral("Model year ") + r.base.value(QStringLiteral("Model year"))
            : r.base.value(QStringLiteral("Made in"));
        c.check(name, QStringLiteral("date"), peerDate == date, peerDate + " / " + date);
        c.check(name, QStringLiteral("version"),
                r.base.value(QStringLiteral("version")) == QStringLiteral("%1.%2").arg(s.version).arg(s.revision));
        if (s.hSizeCm && s.vSizeCm)
            c.check(name, QStringLiteral("size"),
                    r.base.value(QStringLiteral("Maximum image size")) == QStringLiteral("%1 cm x %2 cm").arg(s.hSizeCm).arg(s.vSizeCm));
        if (s.gammaByte != 0xFF)
            c.check(name, QStringLiteral("gamma"),
                    r.base.value(QStringLiteral("Gamma")) == QString::number((s.gammaByte + 100) / 100.0, 'f', 2));
        QStringList dpms;
        if (s.standbyMode)
            dpms << QStringLiteral("Standby");
        if (s.suspendMode)
            dpms << QStringLiteral("Suspend");
        if (s.activeOff)
            dpms << QStringLiteral("Off");
        c.check(name, QStringLiteral("dpms"), r.base.value(QStringLiteral("DPMS levels")) == dpms.join(QLatin1Char(' ')));
        c.check(name, QStringLiteral("sRGB default"),
                r.baseFlags.contains(QStringLiteral("Default (sRGB) color space is primary color space")) == s.srgbDefault);
        c.check(name, QStringLiteral("signal type"),
                r.baseFlags.contains(QStringLiteral("Digital display"))
                    == (s.signalType == EdidState::SignalType::Digital));
        if (s.signalType == EdidState::SignalType::Digital && s.revision >= 4) {
            const QString formats = r.base.value(QStringLiteral("Supported color formats"));
            QString mine = QStringLiteral("RGB 4:4:4");
            if (s.featureByte & 0x08)
                mine += QStringLiteral(", YCrCb 4:4:4");
            if (s.featureByte & 0x10)
                mine += QStringLiteral(", YCrCb 4:2:2");
            c.check(name, QStringLiteral("color formats"), formats == mine, formats);
            const QString bits = r.base.value(QStringLiteral("Bits per primary color channel"));
            static const int depthBits[] = {0, 8, 10, 12, 14, 16};
            if (bits != QLatin1String("6"))
                c.check(name, QStringLiteral("bit depth"), bits.toInt() == depthBits[int(s.colorBitDepth)], bits);
            QString iface;
            for (const QString& f : r.baseFlags) {
                if (f.endsWith(QLatin1String(" interface")))
                    iface = f;
            }
            static const char* ifaceNames[] = {"", "DVI interface", "HDMI", "DisplayPort interface"};
            const int mineIface = int(s.digitalInterface);
            c.check(name, QStringLiteral("interface"),
                    mineIface == 2 ? iface.startsWith(QLatin1String("HDMI")) : iface == QLatin1String(ifaceNames[mineIface]),
                    iface);
        } else {
            static const char* types[] = {"", "Monochrome or grayscale display", "RGB color display",
                                          "Non-RGB color display", "Undefined display color type"};
            c.check(name, QStringLiteral("color type"),
                    r.baseFlags.contains(QLatin1String(types[int(s.colorType)])));
        }
        if (s.signalType == EdidState::SignalType::Analog) {
            static const char* levels[] = {"", "0.700 : 0.300 : 1.000 V p-p", "0.714 : 0.286 : 1.000 V p-p",
                                           "1.000 : 0.400 : 1.400 V p-p", "0.700 : 0.000 : 0.700 V p-p"};
            c.check(name, QStringLiteral("signal level"),
                    r.base.value(QStringLiteral("Signal Level Standard")) == QLatin1String(levels[int(s.signalLevel)]),
                    r.base.value(QStringLiteral("Signal Level Standard")));
            c.check(name, QStringLiteral("video setup"),
                    r.baseFlags.contains(QStringLiteral("Blank-to-black setup/pedestal"))
                        == (s.videoSetup == EdidState::VideoSetup::BlankToBlackPedestal));
            QStringList sync;
            if (s.separateSync)
                sync << QStringLiteral("Separate");
            if (s.compositeSyncHoriz)
                sync << QStringLiteral("Composite");
            if (s.compositeSyncGreen)
                sync << QStringLiteral("SyncOnGreen");
            if (s.serrationVertSync)
                sync << QStringLiteral("Serration");
            c.check(name, QStringLiteral("sync"), r.base.value(QStringLiteral("Sync")) == sync.join(QLatin1Char(' ')),
                    r.base.value(QStringLiteral("Sync")));
        }
        const char* colours[] = {"Red  ", "Green", "Blue ", "White"};
        for (int i = 0; i < 4; ++i) {
            // edid-decode prints 4 decimals of its own rounding: compare the values within that.
            const QStringList peer = r.base.value(QLatin1String(colours[i])).split(QStringLiteral(", "));
            const bool same = peer.size() == 2
                && std::fabs(peer[0].toDouble() - s.chromaticityCodes[size_t(2 * i)] / 1024.0) < 0.00011
                && std::fabs(peer[1].toDouble() - s.chromaticityCodes[size_t(2 * i + 1)] / 1024.0) < 0.00011;
            c.check(name, QStringLiteral("chromaticity"), same, r.base.value(QLatin1String(colours[i])));
        }

        // Timings: each of edid-decode's must be a row of the table with the same numbers, in
        // the same part of the EDID.
        QMap<QString, QSet<QString>> peerDistinct;
        for (const PeerTiming& p : r.timings) {
            if (p.section == QLatin1String("y420cap"))
                continue;
            bool found = false;
            for (const Timing& t : s.timings) {
                const bool inPart = (p.section == QLatin1String("est") && t.established)
                    || (p.section == QLatin1String("std") && t.standard)
                    || (p.section == QLatin1String("dtd") && t.dtd)
                    || (p.section == QLatin1String("vic") && t.videoBlock && t.vic == p.number)
                    || (p.section == QLatin1String("y420") && t.videoBlock && t.vic == p.number && t.subsampling == 1)
                    || (p.section == QLatin1String("hdmivic") && t.hdmiBlock && t.hdmiVic == p.number);
                if (!inPart)
                    continue;
                if (p.section == QLatin1String("std") && !p.label.startsWith(QLatin1String("DMT"))) {
                    // Not a DMT: generated (CVT here, GTF there); size and rate only.
                    found = t.hActive == p.w && t.vActive == p.h && t.fieldRate == int(std::floor(p.hz + 0.5));
                } else {
                    found = sameNumbers(t, p, p.section == QLatin1String("dtd"));
                }
                if (found)
                    break;
            }
            c.check(name, QStringLiteral("timing ") + p.section, found, describe(p));
            if (p.section == QLatin1String("vic")) {
                // One row per VIC: it is native when any SVD of that VIC carries the native bit.
                bool peerNative = false;
                for (const PeerTiming& q : r.timings)
                    peerNative = peerNative || (q.section == p.section && q.number == p.number && q.native);
                bool rowNative = false;
                for (const Timing& t : s.timings)
                    rowNative = rowNative || (t.videoBlock && t.vic == p.number && t.native);
                c.check(name, QStringLiteral("native VIC"), peerNative == rowNative && peerNative == s.nativeVics.contains(p.number),
                        describe(p));
            }
            // Distinct timings: a detailed timing by all its numbers (two that differ only in
            // their image size or a polarity are two rows), the others by name.
            peerDistinct[p.section].insert(p.section == QLatin1String("dtd") ? dtdKey(p) : describe(p));
        }
        int rows[4] = {0, 0, 0, 0};
        for (const Timing& t : s.timings) {
            rows[0] += t.established;
            rows[1] += t.standard;
            rows[2] += t.dtd;
            rows[3] += t.hdmiBlock;
        }
        c.check(name, QStringLiteral("count est"), rows[0] == peerDistinct.value(QStringLiteral("est")).size());
        c.check(name, QStringLiteral("count std"), rows[1] == peerDistinct.value(QStringLiteral("std")).size(),
                QStringLiteral("%1 vs %2").arg(rows[1]).arg(peerDistinct.value(QStringLiteral("std")).size()));
        c.check(name, QStringLiteral("count dtd"), rows[2] == peerDistinct.value(QStringLiteral("dtd")).size(),
                QStringLiteral("%1 vs %2").arg(rows[2]).arg(peerDistinct.value(QStringLiteral("dtd")).size()));
        c.check(name, QStringLiteral("count hdmivic"), rows[3] == peerDistinct.value(QStringLiteral("hdmivic")).size());

        if (!r.ctaDecoded) {
            c.check(name, QStringLiteral("cta present"), !s.hasCeaExtension || bytes.size() > 256);
            return;
        }
        c.check(name, QStringLiteral("cta present"), s.hasCeaExtension);
        c.check(name, QStringLiteral("underscan"),
                r.ctaFlags.contains(QStringLiteral("Underscans IT Video Formats by default")) == s.underscan);
        c.check(name, QStringLiteral("basic audio"), r.ctaFlags.contains(QStringLiteral("Basic audio support")) == s.basicAudio);
        c.check(name, QStringLiteral("ycbcr444"), r.ctaFlags.contains(QStringLiteral("Supports YCbCr 4:4:4")) == s.ycbcr444);
        c.check(name, QStringLiteral("ycbcr422"), r.ctaFlags.contains(QStringLiteral("Supports YCbCr 4:2:2")) == s.ycbcr422);
        c.check(name, QStringLiteral("native dtds"),
                r.cta.value(QStringLiteral("native"), QStringLiteral("0")).toInt() == s.nativeDtdCount);

        // Audio: the descriptors edid-decode lists are the rows of the audio table.
        const QStringList audio = audioDisagreements(r, s);
        c.check(name, QStringLiteral("audio"), audio.isEmpty(), audio.join(QStringLiteral("; ")));
        // Speaker allocation: the bits edid-decode names.
        static const QMap<QString, QPair<int, int>> speakerBits = {
            {QStringLiteral("FL/FR"), {0, 0x01}},       {QStringLiteral("LFE1"), {0, 0x02}},
            {QStringLiteral("FC"), {0, 0x04}},          {QStringLiteral("BL/BR"), {0, 0x08}},
            {QStringLiteral("BC"), {0, 0x10}},          {QStringLiteral("FLc/FRc"), {0, 0x20}},
            {QStringLiteral("BLc/BRc"), {0, 0x40}},     {QStringLiteral("RLC/RRC"), {0, 0x40}},
            {QStringLiteral("FLw/FRw"), {0, 0x80}},
            {QStringLiteral("TpFL/TpFR"), {1, 0x01}},   {QStringLiteral("TpC"), {1, 0x02}},
            {QStringLiteral("TpFC"), {1, 0x04}},        {QStringLiteral("LS/RS"), {1, 0x08}},
            {QStringLiteral("LFE2"), {1, 0x10}},        {QStringLiteral("TpBC"), {1, 0x20}},
            {QStringLiteral("SiL/SiR"), {1, 0x40}},     {QStringLiteral("TpSiL/TpSiR"), {1, 0x80}},
            {QStringLiteral("TpBL/TpBR"), {2, 0x01}},   {QStringLiteral("BtFC"), {2, 0x02}},
            {QStringLiteral("BtFL/BtFR"), {2, 0x04}},   {QStringLiteral("TpLS/TpRS"), {2, 0x08}}};
        if (s.speakerAllocationPresent || !r.speakers.isEmpty()) {
            int peerBytes[3] = {0, 0, 0};
            for (const QString& sp : r.speakers) {
                for (auto it = speakerBits.begin(); it != speakerBits.end(); ++it) {
                    if (it.key().compare(sp, Qt::CaseInsensitive) == 0)
                        peerBytes[it.value().first] |= it.value().second;
                }
            }
            c.check(name, QStringLiteral("speakers"),
                    peerBytes[0] == s.speakerAllocation[0] && peerBytes[1] == s.speakerAllocation[1]
                        && peerBytes[2] == (s.speakerAllocation[2] & 0x0F),
                    QStringList(r.speakers.values()).join(QLatin1Char(',')));
        }
        // HDMI block.
        c.check(name, QStringLiteral("hdmi vsdb"), r.cta.contains(QStringLiteral("vsdb Source physical address")) == s.hdmiVsdbPresent);
        if (s.hdmiVsdbPresent) {
            const auto& a = s.physicalAddress;
            c.check(name, QStringLiteral("physical address"),
                    r.cta.value(QStringLiteral("vsdb Source physical address"))
                        == QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]));
            const QPair<const char*, bool> flags[] = {{"Supports_AI", s.supportsAI}, {"DC_48bit", s.dc48bit},
                                                      {"DC_36bit", s.dc36bit},       {"DC_30bit", s.dc30bit},
                                                      {"DC_Y444", s.dcY444},         {"DVI_Dual", s.dviDual}};
            for (const auto& f : flags)
                c.check(name, QStringLiteral("vsdb flag"), r.vsdbFlags.contains(QLatin1String(f.first)) == f.second,
                        QLatin1String(f.first));
            const QString tmds = r.cta.value(QStringLiteral("vsdb Maximum TMDS clock"));
            c.check(name, QStringLiteral("max tmds"), tmds == (s.maxTmdsClock.isEmpty() ? QString() : s.maxTmdsClock + " MHz"),
                    tmds + " / " + s.maxTmdsClock);
            const QPair<const char*, bool> content[] = {{"Graphics", s.graphicsContent}, {"Photo", s.photoContent},
                                                        {"Cinema", s.cinemaContent},     {"Game", s.gameContent}};
            for (const auto& f : content)
                c.check(name, QStringLiteral("content type"), r.vsdbFlags.contains(QLatin1String(f.first)) == f.second);
        }
        // HDMI Forum block.
        c.check(name, QStringLiteral("hf vsdb"), r.cta.contains(QStringLiteral("hf Version")) == s.hfVsdbPresent);
        if (s.hfVsdbPresent) {
            c.check(name, QStringLiteral("hf version"), r.cta.value(QStringLiteral("hf Version")).toInt() == s.hfVsdbVersion);
            if (s.hfVsdbMaxTmdsRate)
                c.check(name, QStringLiteral("hf tmds rate"),
                        r.cta.value(QStringLiteral("hf Maximum TMDS Character Rate")) == QStringLiteral("%1 MHz").arg(s.hfVsdbMaxTmdsRate * 5));
            const QPair<const char*, bool> flags[] = {
                {"SCDC Present", bool(s.hfVsdbFlags6 & 0x80)},
                {"SCDC Read Request Capable", bool(s.hfVsdbFlags6 & 0x40)},
                {"Supports scrambling for <= 340 Mcsc", bool(s.hfVsdbFlags6 & 0x08)},
                {"Supports 3D Independent View signaling", bool(s.hfVsdbFlags6 & 0x04)},
                {"Supports 3D Dual View signaling", bool(s.hfVsdbFlags6 & 0x02)},
                {"Supports 3D OSD Disparity signaling", bool(s.hfVsdbFlags6 & 0x01)},
                {"Supports 16-bits/component Deep Color 4:2:0 Pixel Encoding", bool(s.hfVsdbFlags7 & 0x04)},
                {"Supports 12-bits/component Deep Color 4:2:0 Pixel Encoding", bool(s.hfVsdbFlags7 & 0x02)},
                {"Supports 10-bits/component Deep Color 4:2:0 Pixel Encoding", bool(s.hfVsdbFlags7 & 0x01)}};
            for (const auto& f : flags)
                c.check(name, QStringLiteral("hf flag"), r.hfFlags.contains(QLatin1String(f.first)) == f.second,
                        QLatin1String(f.first));
        }
        // Colorimetry and HDR.
        // The last is the DCI-P3 bit (byte 3 bit 7), RGB in the SMPTE ST 2113 colour space, which
        // edid-decode names after that standard.
        static const char* colorimetryNames[] = {"xvYCC601", "xvYCC709", "sYCC601", "opYCC601", "opRGB",
                                                 "BT2020cYCC", "BT2020YCC", "BT2020RGB", "ST2113RGB"};
        for (int i = 0; i < 9; ++i)
            c.check(name, QStringLiteral("colorimetry"),
                    r.colorimetry.contains(QLatin1String(colorimetryNames[i])) == s.colorimetry[size_t(i)],
                    QLatin1String(colorimetryNames[i]));
        if (s.enableHdr || !r.hdr.isEmpty()) {
            const QPair<const char*, bool> eotf[] = {{"Traditional gamma - SDR luminance range", s.hdrSdr},
                                                     {"Traditional gamma - HDR luminance range", s.hdrHdr},
                                                     {"SMPTE ST2084", s.hdrSmpte2084},
                                                     {"Hybrid Log-Gamma", s.hdrHlg},
                                                     {"Static metadata type 1", bool(s.hdrMetadataDescriptors & 1)}};
            for (const auto& f : eotf)
                c.check(name, QStringLiteral("hdr"), r.hdr.contains(QLatin1String(f.first)) == f.second, QLatin1String(f.first));
            c.check(name, QStringLiteral("hdr luminance"),
                    r.cta.value(QStringLiteral("Desired content max luminance")) == s.contentMaxLuminance
                        && r.cta.value(QStringLiteral("Desired content max frame-average luminance")) == s.contentMaxFrameAvgLuminance
                        && r.cta.value(QStringLiteral("Desired content min luminance")) == s.contentMinLuminance);
        }
        // 4:2:0 capability map: the SVDs it marks, in order.
        QList<int> capVics;
        for (const PeerTiming& p : r.timings) {
            if (p.section == QLatin1String("y420cap"))
                capVics.append(p.number);
        }
        if (!capVics.isEmpty() || !s.yuv420CapabilityVics.isEmpty()) {
            QList<int> mine;
            for (int v : s.yuv420CapabilityVics) {
                bool known = false;
                for (const Timing& t : catalogue.timings)
                    known = known || (t.type == QLatin1String("CEA") && t.vic == v);
                if (known)
                    mine.append(v);
            }
            c.check(name, QStringLiteral("420 capability map"), mine == capVics);
            for (const Timing& t : s.timings) {
                if (t.videoBlock && capVics.contains(t.vic))
                    c.check(name, QStringLiteral("420 subsampling"), t.subsampling == 2);
            }
        }
    }

}

// Decodes every EDID of the corpus and compares it with edid-decode's report. A file on which
// edid-decode crashes has no report to compare with: it is skipped and named in `skipped`.
void compareCorpus(const EdidCorpus& corpus, Comparison& c, QStringList* skipped)
{
    for (const QString& name : corpus.files) {
        QFile file(corpus.dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EdidState s;
        QString error;
        const QString text = decodeEdid(bytes, corpus.context, &s, &error);
        QVERIFY2(error.isEmpty(), qPrintable(name + QLatin1String(": ") + error));
        QVERIFY(!text.isEmpty());

        QString peerText;
        const EdidDecodeRun run = edidDecodeOutput(file.fileName(), {QStringLiteral("-s"), QStringLiteral("-L")}, &peerText, 10000);
        if (run == EdidDecodeRun::Crashed) {
            qInfo().noquote() << QStringLiteral("edid-decode crashed on %1: skipped").arg(name);
            skipped->append(name);
            continue;
        }
        QVERIFY2(run == EdidDecodeRun::Finished, qPrintable(QStringLiteral("edid-decode did not run on ") + name));
        compareFile(name, bytes, s, parsePeer(peerText), corpus.timings, c);
    }
}

void report(const Comparison& c, int files, const QStringList& skipped, qint64 ms)
{
    qInfo().noquote() << QStringLiteral("edid-decode agreement: %1 of %2 fields (%3%) over %4 EDIDs (%5 skipped) in %6 s")
                             .arg(c.agreed)
                             .arg(c.total)
                             .arg(QString::number(100.0 * c.agreed / qMax(1, c.total), 'f', 3))
                             .arg(files - skipped.size())
                             .arg(skipped.size())
                             .arg(ms / 1000.0, 0, 'f', 1);
    for (auto it = c.perField.begin(); it != c.perField.end(); ++it) {
        if (it.value().second)
            qInfo().noquote() << QStringLiteral("  %1: %2 of %3 disagree").arg(it.key()).arg(it.value().second).arg(it.value().first);
    }
    for (const QString& f : c.failures)
        qInfo().noquote() << "  " << f;
}

// An EDID edid-decode crashes on: a data block in the collection that runs past its end
// (edid-decode 0.1~git20220315 dies with SIGSEGV on it).
QByteArray peerCrashFixture()
{
    QByteArray b(256, '\0');
    b.replace(0, 8, QByteArray::fromHex("00ffffffffffff00"));
    b.replace(128, 3, QByteArray::fromHex("020319"));
    b[0x96] = char(0xDF);
    b[0x99] = char(0x02);
    EdidBuilder::fixChecksums(&b);
    return b;
}

} // namespace

class TestEdidCorpus : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithEdidDecode();
    void crashedPeerSkipsTheFile();
    void audioComparedBothWays();
    void smallEdidsAgree_data();
    void smallEdidsAgree();
};

void TestEdidCorpus::agreesWithEdidDecode()
{
    const EdidCorpus corpus;
    QVERIFY(corpus.timingsLoaded);
    QVERIFY(corpus.audioLoaded);
    QVERIFY2(corpus.files.size() >= corpus.minimumFiles(250), qPrintable(corpus.dir.path()));

    Comparison c;
    QStringList skipped;
    QElapsedTimer clock;
    clock.start();
    compareCorpus(corpus, c, &skipped);
    if (QTest::currentTestFailed())
        return;
    report(c, corpus.files.size(), skipped, clock.elapsed());
    // Every compared field agrees; the program's deliberate differences (the header of this file)
    // are not compared at all.
    QVERIFY2(c.total == c.agreed, qPrintable(QStringLiteral("%1 fields disagree").arg(c.total - c.agreed)));
}

void TestEdidCorpus::crashedPeerSkipsTheFile()
{
    // A folder of the environment's choosing: a real EDID and one edid-decode crashes on.
    QTemporaryDir dir;
    QVERIFY(QFile::copy(PlexaTest::edidCorpusDir() + QStringLiteral("/Digital_Goldstar_GSM0001_E3771FECB514.bin"),
                        dir.filePath(QStringLiteral("real.bin"))));
    QFile crash(dir.filePath(QStringLiteral("crash.bin")));
    QVERIFY(crash.open(QIODevice::WriteOnly));
    crash.write(peerCrashFixture());
    crash.close();
    QString unused;
    QCOMPARE(edidDecodeOutput(crash.fileName(), {QStringLiteral("-s"), QStringLiteral("-L")}, &unused),
             EdidDecodeRun::Crashed);

    qputenv("PLEXA_EDID_CORPUS", dir.path().toLocal8Bit());
    const EdidCorpus corpus;
    qunsetenv("PLEXA_EDID_CORPUS");
    QCOMPARE(corpus.files, (QStringList{QStringLiteral("crash.bin"), QStringLiteral("real.bin")}));
    Comparison c;
    QStringList skipped;
    compareCorpus(corpus, c, &skipped);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(skipped, QStringList{QStringLiteral("crash.bin")});
    QVERIFY(c.total > 50);
    QVERIFY2(c.total == c.agreed, qPrintable(c.failures.join(QLatin1Char('\n'))));
}

void TestEdidCorpus::audioComparedBothWays()
{
    // Two DTS-HD descriptors that differ only in their byte 3, and an AC-4 descriptor.
    const QByteArray bytes = EdidBuilder()
                                 .cea(0x40)
                                 .dataBlock(1, {0x5F, 0x07, 0x07, 0x5F, 0x07, 0x01, 0x7D, 0x07, 0x60})
                                 .build();
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("audio.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QString text;
    QCOMPARE(edidDecodeOutput(file.fileName(), {QStringLiteral("-s"), QStringLiteral("-L")}, &text), EdidDecodeRun::Finished);
    const PeerReport peer = parsePeer(text);
    QCOMPARE(peer.audio.size(), 3);

    const CatalogueContext catalogues;
    EdidState s;
    decodeEdid(bytes, catalogues.context, &s);
    QCOMPARE(audioDisagreements(peer, s), QStringList());
    // A table that lost one of the two rows, or has one more, disagrees.
    EdidState merged = s;
    merged.audioFormats.removeLast();
    QCOMPARE(audioDisagreements(peer, merged).size(), 1);
    EdidState extra = s;
    extra.audioFormats.append(extra.audioFormats.first());
    QCOMPARE(audioDisagreements(peer, extra).size(), 1);
    // The AC-4 descriptor is kept as bytes, and counted.
    EdidState lost = s;
    lost.unknownAudioDescriptors.clear();
    QCOMPARE(audioDisagreements(peer, lost).size(), 1);
}

void TestEdidCorpus::smallEdidsAgree_data()
{
    QTest::addColumn<QByteArray>("edid");
    // 61 4C is DMT 0x11 (1024x768 at 70 Hz, 75 MHz); 61 4A is a generated 1024x768 at 70 Hz.
    QTest::newRow("standard timing 61 4C") << EdidBuilder().set(38, {0x61, 0x4C}).build();
    QTest::newRow("standard timing 61 4A") << EdidBuilder().set(38, {0x61, 0x4A}).build();
    QTest::newRow("reserved standard timing codes")
        << EdidBuilder().set(38, {0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x01, 0xFF, 0x20, 0x20, 0x02, 0xC0}).build();
    // "TV" and the code 0, which is no letter.
    QTest::newRow("manufacturer TV@") << EdidBuilder().set(8, {0x52, 0xC0}).build();
    QTest::newRow("manufacturer with codes 27 and 31") << EdidBuilder().set(8, {0x6F, 0xE1}).build();
    QTest::newRow("every speaker") << EdidBuilder().cea(0x40).dataBlock(4, {0xFF, 0x07, 0x00}).build();
    QTest::newRow("rear left/right of center") << EdidBuilder().cea(0x40).dataBlock(4, {0x4B, 0x00, 0x00}).build();
    // The VICs a 4:2:0 video data block may list, each with its own name.
    QTest::newRow("4:2:0 video data block")
        << EdidBuilder()
               .cea()
               .dataBlock(2, {0x90})
               .extendedBlock(0x0E, {96, 97, 101, 102, 106, 107, 114, 115, 116, 117, 118, 119, 120, 124, 125, 126,
                                     127, 193, 194, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204, 205})
               .build();
    QTest::newRow("4:2:0 video data block, high VICs")
        << EdidBuilder()
               .cea()
               .dataBlock(2, {0x90})
               .extendedBlock(0x0E, {206, 207, 208, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219, 68, 69,
                                     70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83})
               .build();
}

void TestEdidCorpus::smallEdidsAgree()
{
    QFETCH(QByteArray, edid);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("small.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(edid);
    file.close();
    QString text;
    QCOMPARE(edidDecodeOutput(file.fileName(), {QStringLiteral("-s"), QStringLiteral("-L")}, &text), EdidDecodeRun::Finished);
    const CatalogueContext catalogues;
    EdidState s;
    decodeEdid(edid, catalogues.context, &s);
    Comparison c;
    compareFile(QStringLiteral("small.bin"), edid, s, parsePeer(text), catalogues.timings, c);
    QVERIFY(c.total > 20);
    QVERIFY2(c.total == c.agreed, qPrintable(c.failures.join(QLatin1Char('\n'))));
}

PLEXA_TEST_MAIN(TestEdidCorpus)
#include "tst_edid_corpus.moc"
