#include "edidrules.h"

#include "constants.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace EdidRules {

int findTiming(const QList<Timing>& rows, const Timing& t)
{
    for (int i = 0; i < rows.size(); ++i) {
        if (sameTiming(t, rows.at(i)))
            return i;
    }
    return -1;
}

TimingMerge addTiming(QList<Timing>* rows, int* dtdCount, const Timing& t)
{
    TimingMerge m;
    m.from = findTiming(*rows, t);
    if (m.from < 0) {
        m.row = t.dtd ? (*dtdCount)++ : rows->size();
        rows->insert(m.row, t);
        return m;
    }
    // The existing row keeps its kind and name.
    Timing& e = (*rows)[m.from];
    if (t.established)
        e.established = true;
    if (t.standard)
        e.standard = true;
    if (t.hdmiBlock) {
        e.hdmiVic = t.hdmiVic;
        e.hdmiBlock = true;
    }
    if (t.videoBlock) {
        e.native = t.native || (e.videoBlock && e.vic == t.vic && e.native);
        e.vic = t.vic;
        e.videoBlock = true;
    }
    e.subsampling = t.subsampling;
    m.row = m.from;
    if (t.dtd) {
        e.hSize = t.hSize;
        e.vSize = t.vSize;
        e.dtd = true;
        if (m.from >= *dtdCount) {
            m.row = (*dtdCount)++;
            rows->move(m.from, m.row);
        }
    }
    return m;
}

void apply420CapabilityMap(QList<Timing>* rows, const QList<int>& vics)
{
    if (vics.isEmpty())
        return;
    for (Timing& t : *rows) {
        if (vics.contains(t.vic))
            t.subsampling = 2;
    }
}

void applyInterfaceChange(EdidState* s, bool editMode, int edidBytes)
{
    const EdidState::EdidSize keptSize =
        (!editMode && edidBytes >= 256) ? EdidState::EdidSize::Blocks2 : EdidState::EdidSize::Blocks1;
    if (s->signalType == EdidState::SignalType::Digital) {
        s->rgb444 = true;
        switch (s->digitalInterface) {
        case EdidState::DigitalInterface::Hdmi:
            s->ycbcr444 = true;
            s->edidSize = EdidState::EdidSize::Blocks2;
            break;
        case EdidState::DigitalInterface::Dvi:
            s->ycbcr444 = false;
            s->colorBitDepth = EdidState::ColorBitDepth::Bits8;
            s->edidSize = keptSize;
            break;
        default: // DisplayPort, and a digital input whose interface is not chosen yet
            s->ycbcr444 = false;
            if (s->colorBitDepth == EdidState::ColorBitDepth::Bits8)
                s->colorBitDepth = EdidState::ColorBitDepth::Unset;
            s->edidSize = EdidState::EdidSize::Blocks2;
            break;
        }
    } else if (s->signalType == EdidState::SignalType::Analog) {
        s->rgb444 = false;
        s->ycbcr444 = false;
        s->edidSize = keptSize;
    }
}

bool addVicSlot(EdidState* s, const Timing& t)
{
    if (t.type != TIMING_TYPE_CEA || s->vicSlots.size() >= 16)
        return false;
    s->vicSlots.append(t);
    return true;
}

int roundUpTo5MHz(int mhz)
{
    const int n = (mhz + 4) / 5 * 5;
    return n == 595 ? 600 : n;
}

RangeLimits rangeLimits(const QList<Timing>& rows, DeepColour deepColour)
{
    RangeLimits r;
    double p = 0.0;
    for (const Timing& t : rows) {
        r.minVRate = std::min(r.minVRate, t.fieldRate);
        r.maxVRate = std::max(r.maxVRate, t.fieldRate);
        r.minHRate = std::min(r.minHRate, t.hFreq);
        r.maxHRate = std::max(r.maxHRate, t.hFreq);
        p = std::max(p, t.subsampling == 1 ? t.pixelFreq / 2.0 : t.pixelFreq);
    }
    if (deepColour.bits48)
        p = p * 48 / 24;
    else if (deepColour.bits36)
        p = p * 36 / 24;
    else if (deepColour.bits30)
        p = p * 30 / 24;
    const double rounded = std::round(p);
    const int whole = std::isfinite(rounded) && rounded < 1e6 ? int(rounded) : 0;
    int clock = (whole + 4) / 5 * 5;
    if (clock > 593 && clock < 601)
        clock = 600;
    r.maxPixelClock = clock;
    return r;
}

int maxTmdsClock(const QList<Timing>& rows, const QList<double>& deepColourClocks)
{
    int m = 0;
    auto ceilClock = [](double v) {
        const double c = std::ceil(v);
        return std::isfinite(c) && c > 0 && c < 1e6 ? int(c) : 0;
    };
    for (const Timing& t : rows)
        m = std::max(m, t.subsampling == 1 ? 300 : ceilClock(t.pixelFreq));
    for (double c : deepColourClocks)
        m = std::max(m, ceilClock(c));
    return roundUpTo5MHz(m);
}

DeepColourChoices deepColourChoices(const QList<Timing>& rows, double factor, int maxTmds)
{
    QList<Timing> sorted;
    for (const Timing& t : rows) {
        if (t.subsampling != 1)
            sorted.append(t);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const Timing& a, const Timing& b) {
        if (a.pixelFreq != b.pixelFreq)
            return a.pixelFreq > b.pixelFreq;
        if (a.hActive != b.hActive)
            return a.hActive > b.hActive;
        return a.fieldRate > b.fieldRate;
    });
    DeepColourChoices c;
    for (const Timing& t : sorted) {
        const double clock = t.pixelFreq * factor;
        c.clocks.append(clock);
        c.entries.append(QStringLiteral("%1 MHz / %2x%3%4 %5Hz")
                             .arg(QString::number(clock, 'g', 6))
                             .arg(t.hActive)
                             .arg(t.ip ? t.vActive * 2 : t.vActive)
                             .arg(t.ip ? QStringLiteral("i") : QStringLiteral("p"))
                             .arg(t.fieldRate));
        if (c.preselected == 0 && maxTmds >= clock)
            c.preselected = c.entries.size();
    }
    return c;
}

// ---- TMDS clock and 4:2:0 ------------------------------------------------------------------

int tmdsClockFieldValue(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

bool isTmds420Vic(int vic)
{
    switch (vic) {
    case 96: case 97: case 101: case 102: case 106: case 107:
        return true;
    default:
        return false;
    }
}

bool shiftsTo420(const Timing& t, int maxTmdsClock)
{
    return maxTmdsClock < Tmds420Threshold && isTmds420Vic(t.vic);
}

QList<int> downgradeTo420(QList<Timing>* rows, int maxTmdsClock)
{
    QList<int> changed;
    if (maxTmdsClock >= Tmds420Threshold)
        return changed;
    for (int row = 0; row < rows->size(); ++row) {
        if (rows->at(row).subsampling == 2) {
            (*rows)[row].subsampling = 1;
            changed.append(row);
        }
    }
    return changed;
}

// ---- Audio ----------------------------------------------------------------------------------

AudioAddCheck checkAudioAdd(const QList<AudioFormat>& rows, const AudioFormat& format, bool replacing)
{
    if (!replacing && rows.size() >= MaxAudioFormats)
        return AudioAddCheck::LimitReached;
    if (rows.contains(format))
        return AudioAddCheck::Duplicate;
    return AudioAddCheck::Ok;
}

// ---- Speaker allocation -------------------------------------------------------------------

QString speakerPartner(const QString& name)
{
    // Each pair is one bit of the speaker allocation payload.
    static const char* const pairs[][2] = {
        {"speakerFLH", "speakerFRH"}, {"speakerFLW", "speakerFRW"}, {"speakerFL", "speakerFR"},
        {"speakerFLC", "speakerFRC"}, {"speakerRL", "speakerRR"},   {"speakerRLC", "speakerRRC"},
    };
    for (const auto& pair : pairs) {
        if (name == QLatin1String(pair[0]))
            return QLatin1String(pair[1]);
        if (name == QLatin1String(pair[1]))
            return QLatin1String(pair[0]);
    }
    return QString();
}

// ---- VIC slots and their 3D structures ------------------------------------------------------

int vicOfSlotLabel(const QString& label)
{
    return label.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0).toInt();
}

int findVicSlot(const QStringList& labels, int vic)
{
    for (int i = 0; i < labels.size(); ++i) {
        if (vicOfSlotLabel(labels.at(i)) == vic)
            return i;
    }
    return -1;
}

int toggleVicMask(int threeDMask, int threeDStructureAll, int slot)
{
    int mask = threeDMask;
    if (mask == -1)
        mask = threeDStructureAll == -1 ? 0 : 0xFFFF;
    if (slot < 0 || slot >= 16)
        return mask & 0xFFFF;
    return (mask ^ (1 << slot)) & 0xFFFF;
}

void removeVicSlot3D(int slot, int* threeDMask, std::array<int, 16>* structures, std::array<int, 16>* details)
{
    if (slot < 0 || slot >= 16)
        return;
    for (std::array<int, 16>* entries : {structures, details}) {
        if (!entries)
            continue;
        for (int j = slot; j < 15; ++j)
            (*entries)[size_t(j)] = (*entries)[size_t(j + 1)];
        (*entries)[15] = 0;
    }
    if (threeDMask && *threeDMask != -1) {
        const int below = *threeDMask & ((1 << slot) - 1);
        const int above = (*threeDMask & 0xFFFF) >> (slot + 1);
        *threeDMask = below | (above << slot);
    }
}

void removeVicSlot(EdidState* s, int slot)
{
    if (slot < 0 || slot >= 16)
        return;
    if (slot < s->vicSlots.size())
        s->vicSlots.removeAt(slot);
    removeVicSlot3D(slot, &s->threeDMask, &s->vicThreeDStructures, &s->vicThreeDDetails);
}

} // namespace EdidRules
