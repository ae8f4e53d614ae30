#include "ediddecoder.h"

#include "constants.h"
#include "cvt.h"
#include "ediddecoder_p.h"
#include "edidrules.h"

#include <QDebug>

namespace {
const char kHeader[8] = {0x00, char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), 0x00};

const char kHexDigits[] = "0123456789ABCDEF";

// Appends a byte as two upper-case hexadecimal digits. The hex dump and the block map write a few
// hundred bytes per EDID, so they append characters rather than format each byte.
void appendHexByte(QString* t, int b)
{
    *t += QLatin1Char(kHexDigits[(b >> 4) & 0x0F]);
    *t += QLatin1Char(kHexDigits[b & 0x0F]);
}

QString hexByte(int b)
{
    QString t;
    appendHexByte(&t, b);
    return t;
}

// Reduced ratios are compared by cross-multiplying, so 16:10 and 8:5 are the same ratio.
bool sameRatio(int h1, int v1, int h2, int v2)
{
    return qint64(h1) * v2 == qint64(h2) * v1;
}
} // namespace

QString edidInputError(const QByteArray& bytes)
{
    if (bytes.size() < 128 || bytes.size() % 128 != 0)
        return QStringLiteral("This is not an EDID: an EDID is made of 128-byte blocks, but this one has %1 bytes.")
            .arg(bytes.size());
    if (!bytes.startsWith(QByteArray(kHeader, 8)))
        return QStringLiteral("This is not an EDID: it does not begin with the EDID header 00 FF FF FF FF FF FF 00.");
    return QString();
}

QString edidTransferError(const QByteArray& bytes)
{
    if (bytes.size() != 128 && bytes.size() != 256)
        return QStringLiteral("This is not a valid EDID: a unit's EDID has 128 or 256 bytes, but this one has %1.")
            .arg(bytes.size());
    if (!bytes.startsWith(QByteArray(kHeader, 8)))
        return QStringLiteral("This is not a valid EDID: it does not begin with the EDID header 00 FF FF FF FF FF FF 00.");
    for (int block = 0; block < bytes.size() / 128; ++block) {
        quint8 sum = 0;
        for (int i = 0; i < 128; ++i)
            sum = quint8(sum + quint8(bytes.at(block * 128 + i)));
        if (sum != 0)
            return QStringLiteral("This is not a valid EDID: the checksum of block %1 is wrong.").arg(block);
    }
    return QString();
}

namespace {
int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

bool isReplyLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('>');
}

// Blanks between groups of digits; line ends are handled apart.
bool isGroupSeparator(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// No EDID is longer: the base block announces at most 255 extensions.
const int kMaxHexBlockBytes = 256 * 128;
} // namespace

EdidHexBlock decodeEdidHexBlock(const QString& reply)
{
    EdidHexBlock block;
    enum class Where { Before, Inside, After } where = Where::Before;
    const int n = reply.size();
    int start = 0;
    while (start <= n) {
        int end = start;
        while (end < n && !isReplyLineEnd(reply.at(end)))
            ++end;
        // One line: [start, end).
        bool digitsOnly = true;
        bool empty = true;
        for (int i = start; i < end && digitsOnly; ++i) {
            const QChar c = reply.at(i);
            if (isGroupSeparator(c))
                continue;
            empty = false;
            digitsOnly = hexValue(c) >= 0;
        }
        if (!empty && !digitsOnly) {
            if (where == Where::Inside)
                where = Where::After;
        } else if (!empty) {
            if (where == Where::After) {
                block.error = QStringLiteral("The EDID data in the unit's reply is broken up by other text.");
                block.bytes.clear();
                return block;
            }
            where = Where::Inside;
            int i = start;
            while (i < end) {
                if (isGroupSeparator(reply.at(i))) {
                    ++i;
                    continue;
                }
                int groupEnd = i;
                while (groupEnd < end && !isGroupSeparator(reply.at(groupEnd)))
                    ++groupEnd;
                if ((groupEnd - i) % 2 != 0) {
                    block.error = QStringLiteral("The EDID data in the unit's reply is damaged: a group of "
                                                 "hexadecimal digits has an odd count.");
                    block.bytes.clear();
                    return block;
                }
                if (block.bytes.size() + (groupEnd - i) / 2 > kMaxHexBlockBytes) {
                    block.error = QStringLiteral("The EDID data in the unit's reply is longer than any EDID.");
                    block.bytes.clear();
                    return block;
                }
                for (; i < groupEnd; i += 2)
                    block.bytes.append(char(hexValue(reply.at(i)) * 16 + hexValue(reply.at(i + 1))));
            }
        }
        start = end + 1;
    }
    if (where == Where::Before) {
        block.missing = true;
        block.error = QStringLiteral("The unit's reply holds no EDID data.");
    }
    return block;
}

QString decodeEdid(const QByteArray& bytes, const EdidDecodeContext& context, EdidState* state, QString* error)
{
    const QString problem = edidInputError(bytes);
    if (error)
        *error = problem;
    if (!problem.isEmpty())
        return QString();
    EdidDecoder decoder(bytes, context, state);
    return decoder.run();
}

EdidDecoder::EdidDecoder(const QByteArray& bytes, const EdidDecodeContext& context, EdidState* state)
    : m_bytes(bytes), m_context(context), m_state(state)
{
}

int EdidDecoder::at(int i) const
{
    if (i < 0 || i >= m_bytes.size() || i >= 256)
        return 0;
    return quint8(m_bytes.at(i));
}

QString EdidDecoder::run()
{
    m_text.reserve(12288); // a long description is some 8000 characters
    append(edidHexDump(m_bytes));
    append(edidBlockMap(m_bytes));
    parseBaseBlock();

    const bool ceaExtension = m_bytes.size() > 128 && at(128) == 0x02;
    if (m_state && m_state->signalType == EdidState::SignalType::Digital && !m_v14 && m_bytes.size() == 128) {
        // A digital EDID 1.3 without extensions is a DVI EDID. One whose first extension is no
        // CTA-861 block (a block map, DisplayID) may carry its CTA-861 block further on, which
        // the editor does not decode: its interface stays unnamed.
        m_state->digitalInterface = EdidState::DigitalInterface::Dvi;
        interfaceChanged();
    }
    if (ceaExtension) {
        parseCeaExtension();
    } else if (m_bytes.size() > 128) {
        append(QStringLiteral("Extension block with tag %1 is not decoded\n\n").arg(hexByte(at(128))));
    }
    if (m_bytes.size() > 256) {
        const int further = m_bytes.size() / 128 - 2;
        append(QStringLiteral("Further extension blocks are not supported: %1 %2 not decoded\n")
                   .arg(further)
                   .arg(further == 1 ? QStringLiteral("block") : QStringLiteral("blocks")));
    }

    if (m_state) {
        const EdidRules::RangeLimits r = EdidRules::rangeLimits(
            m_state->timings, {m_state->dc30bit, m_state->dc36bit, m_state->dc48bit});
        m_state->minVRate = r.minVRate;
        m_state->maxVRate = r.maxVRate;
        m_state->minHRate = r.minHRate;
        m_state->maxHRate = r.maxHRate;
        m_state->maxPixelClock = r.maxPixelClock;
        m_state->rememberOrigin(m_bytes);
    }
    return m_text;
}

void EdidDecoder::interfaceChanged()
{
    if (m_state)
        EdidRules::applyInterfaceChange(m_state, m_context.editMode, m_bytes.size());
}

void EdidDecoder::checksum(int block)
{
    const int first = 128 * block;
    int sum = 0;
    for (int i = first; i < first + 128; ++i)
        sum += at(i);
    const bool valid = (sum & 0xFF) == 0;
    if (!valid) {
        qDebug() << Q_FUNC_INFO << "checksum is incorrect";
        if (!m_checksumReported) {
            m_checksumReported = true;
            if (m_context.checksumWarning)
                m_context.checksumWarning();
        }
    }
    append(QStringLiteral("Checksum: %1 %2\n\n")
               .arg(QString::number(at(first + 127), 16).toUpper(),
                    valid ? QStringLiteral("(valid)") : QStringLiteral("(invalid)")));
}

// ---- catalogue look-ups ----------------------------------------------------------------------

const Timing* EdidDecoder::findCeaTiming(int vic) const
{
    if (!m_context.timings)
        return nullptr;
    for (const Timing& t : m_context.timings->timings) {
        if (t.vic == vic && t.type == TIMING_TYPE_CEA)
            return &t;
    }
    return nullptr;
}

const Timing* EdidDecoder::findHdmiVicTiming(int hdmiVic) const
{
    if (!m_context.timings || hdmiVic == 0)
        return nullptr;
    for (const Timing& t : m_context.timings->timings) {
        if (t.hdmiVic == hdmiVic)
            return &t;
    }
    return nullptr;
}

QList<int> ctaDescriptorOffsets(const QByteArray& ext)
{
    auto at = [&ext](int i) { return i < ext.size() ? int(quint8(ext.at(i))) : 0; };
    QList<int> out;
    const int d = at(2);
    if (d < 4 || d > 127)
        return out;
    for (int p = d; p + 18 <= 127; p += 18) {
        bool padding = true;
        for (int k = 0; k < 18 && padding; ++k)
            padding = at(p + k) == 0;
        if (padding)
            break;
        out.append(p);
    }
    return out;
}

int standardTimingRate(const Timing& t)
{
    if (t.type != TIMING_TYPE_VESA || t.ip)
        return t.fieldRate;
    static const int establishedOnly[][3] = {{720, 400, 70}, {720, 400, 88}, {640, 480, 67}, {832, 624, 75}, {1152, 870, 75}};
    for (const auto& e : establishedOnly) {
        if (t.hActive == e[0] && t.vActive == e[1] && t.fieldRate == e[2])
            return 0;
    }
    if (t.hActive == 640 && t.vActive == 480 && t.fieldRate == 73)
        return 72;
    // The VESA DMT list gives 1024x768 at 70 Hz (DMT 0x11, 75 MHz) the standard timing code
    // 61 4C, whose rate field says 72 Hz; 61 4A (70 Hz) names the generated timing.
    if (t.hActive == 1024 && t.vActive == 768 && t.fieldRate == 70 && t.pixelFreq > 74.99 && t.pixelFreq < 75.01)
        return 72;
    return t.fieldRate;
}

// An established or standard timing names a VESA timing by its size and nominal rate. The
// catalogue holds the rates rounded (640x480 at 72.809 Hz is listed at 73 Hz): an established
// timing also matches an entry whose exact rate, cut to whole hertz, is the nominal one; a
// standard timing names DMTs by the nominal rates their codes carry, so a rate that only
// truncation reaches (640x480 at 66 Hz against 66.7 Hz) is the generated timing.
Timing EdidDecoder::findVesaTiming(int h, int v, int rate, bool interlaced, int hAspect, int vAspect,
                                   bool established) const
{
    // A standard timing prefers standard blanking; a DMT that exists only with reduced
    // blanking (1600x900 at 60 Hz) is still that DMT.
    for (int pass = 0; m_context.timings && pass < (established ? 1 : 2); ++pass) {
        for (const Timing& c : m_context.timings->timings) {
            // The sizes first: they rule out nearly every entry without looking at a text.
            if (c.hActive != h || c.ip != interlaced || (interlaced ? c.vActive * 2 : c.vActive) != v)
                continue;
            if (established ? c.type != TIMING_TYPE_VESA
                            : (pass == 0) == c.name.contains(QLatin1String("Red Blank")))
                continue;
            if (c.hAspect != 0 && !sameRatio(c.hAspect, c.vAspect, hAspect, vAspect))
                continue;
            if (!established) {
                if (standardTimingRate(c) == rate)
                    return c;
                continue;
            }
            bool rateMatches = c.fieldRate == rate;
            if (!rateMatches && c.hTotal > 0 && c.vTotal > 0) {
                const double frames = c.pixelFreq * 1e6 / (double(c.hTotal) * c.vTotal);
                const double exact = interlaced ? frames * 2 : frames;
                rateMatches = int(exact) == rate;
            }
            if (rateMatches)
                return c;
        }
    }
    // The generated timing keeps the rate the EDID names: the CVT clock steps of 0.25 MHz can
    // put its exact rate just below (640x400 at 70 Hz comes out at 69.2 Hz), and the row's rate
    // is what a standard timing is written back with.
    Timing t = computeTiming(h, v, interlaced ? rate / 2.0 : rate, false, interlaced, false);
    t.fieldRate = rate;
    return t;
}

void EdidDecoder::addTiming(const Timing& t)
{
    if (m_state)
        EdidRules::addTiming(&m_state->timings, &m_state->dtdCount, t);
}

// ---- hex dump and block map --------------------------------------------------------------------

QString edidHexDump(const QByteArray& bytes)
{
    QString t;
    t.reserve(110 + bytes.size() / 16 * 56 + 64);
    t += QLatin1String("   | 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n"
                       "---+-------------------------------------------------\n");
    for (int i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0) {
            // The row number in hexadecimal without leading zeros, then its 0.
            const int row = i / 16;
            int shift = 0;
            while (row >> (shift + 4))
                shift += 4;
            for (; shift >= 0; shift -= 4)
                t += QLatin1Char(kHexDigits[(row >> shift) & 0x0F]);
            t += QLatin1String("0 | ");
        }
        appendHexByte(&t, quint8(bytes.at(i)));
        t += QLatin1Char(' ');
        if (i % 16 == 15)
            t += QLatin1Char('\n');
    }
    t += QLatin1Char('\n');
    return t;
}

namespace {
QString blockMapRow(const QString& label, const QByteArray& data, int first, int last, int width)
{
    QString row;
    row.reserve(label.size() + 1 + qMax(0, width - label.size()) + 3 * qMax(0, last - first + 1) + 1);
    row += label;
    row += QLatin1Char(':');
    for (int k = label.size(); k < width; ++k)
        row += QLatin1Char(' ');
    for (int i = first; i <= last; ++i) {
        appendHexByte(&row, i < data.size() ? quint8(data.at(i)) : 0);
        row += QLatin1Char(' ');
    }
    row += QLatin1Char('\n');
    return row;
}
} // namespace

QString edidBlockMap(const QByteArray& data)
{
    static const struct
    {
        const char* label;
        int first, last;
    } baseRows[] = {{"header", 0, 7},          {"serial number", 8, 17}, {"version", 18, 19},
                    {"basic params", 20, 24},  {"chroma info", 25, 34},  {"established", 35, 37},
                    {"standard", 38, 53},      {"descriptor 1", 54, 71}, {"descriptor 2", 72, 89},
                    {"descriptor 3", 90, 107}, {"descriptor 4", 108, 125}, {"extensions", 126, 126},
                    {"checksum", 127, 127}};
    QString t;
    t.reserve(1600);
    for (const auto& r : baseRows)
        t += blockMapRow(QString::fromLatin1(r.label), data, r.first, r.last, 15);
    t += QLatin1Char('\n');
    if (data.size() <= 128)
        return t;

    auto byte = [&data](int i) { return i < data.size() ? int(quint8(data.at(i))) : 0; };
    t += blockMapRow(QStringLiteral("extension header"), data, 128, 130, 18);
    t += blockMapRow(QStringLiteral("display supports"), data, 131, 131, 18);
    const int d = byte(130);
    const bool validOffset = d >= 4 && d <= 127;
    const int end = validOffset ? 128 + d : 132;
    int pos = 132;
    while (pos < end) {
        const int h = byte(pos);
        const int tag = h >> 5;
        const int last = qMin(pos + (h & 0x1F), end - 1);
        const QString label = tag == 7 ? dataBlockShortName(byte(pos + 1), true) : dataBlockShortName(tag, false);
        t += blockMapRow(label, data, pos, last, 18);
        pos = last + 1;
    }
    if (validOffset) {
        int k = 1;
        for (int offset : ctaDescriptorOffsets(data.mid(128, 128))) {
            pos = 128 + offset;
            t += blockMapRow(QStringLiteral("descriptor %1").arg(k), data, pos, pos + 17, 18);
            ++k;
            pos += 18;
        }
    }
    t += blockMapRow(QStringLiteral("padding"), data, pos, 254, 18);
    t += blockMapRow(QStringLiteral("checksum"), data, 255, 255, 18);
    return t + QLatin1Char('\n');
}

QString dataBlockShortName(int code, bool extended)
{
    const QString hex = QString::number(code, 16);
    if (!extended) {
        switch (code) {
        case 1: return QStringLiteral("audio");
        case 2: return QStringLiteral("video");
        case 3: return QStringLiteral("vendor-spec");
        case 4: return QStringLiteral("spkr alloc");
        case 5: return QStringLiteral("disp tx char");
        default: return QStringLiteral("unknown ") + hex;
        }
    }
    switch (code) {
    case 0: return QStringLiteral("video capability");
    case 1: return QStringLiteral("vendor-spec video");
    case 2: return QStringLiteral("VESA disp device");
    case 3: return QStringLiteral("VESA video timing");
    case 4: return QStringLiteral("HDMI video");
    case 5: return QStringLiteral("colorimetry");
    case 6: return QStringLiteral("HDR Static Metadata");
    case 13: return QStringLiteral("video format pref");
    case 14: return QStringLiteral("YCbCr 4:2:0 video");
    case 15: return QStringLiteral("YCbCr 4:2:0 cap");
    case 16: return QStringLiteral("CEA misc audio");
    case 17: return QStringLiteral("vendor-spec audio");
    case 18: return QStringLiteral("HDMI audio");
    case 32: return QStringLiteral("InfoFrame");
    default: break;
    }
    if (code >= 7 && code <= 12)
        return QStringLiteral("rsvd video ") + hex;
    if (code >= 19 && code <= 31)
        return QStringLiteral("rsvd audio ") + hex;
    return QStringLiteral("unknown ") + hex;
}
