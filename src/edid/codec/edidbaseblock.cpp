// Base block (VESA E-EDID 1.3 and 1.4): bytes 8 to 53, 126 and 127.

#include "constants.h"
#include "ediddecoder_p.h"
#include "edidrules.h"

#include <cmath>

namespace {
QString supported(int bit)
{
    return bit ? QStringLiteral("Supported\n") : QStringLiteral("Not Supported\n");
}
} // namespace

int decodedAspectChoice(int hCm, int vCm)
{
    if (hCm <= 0 || vCm <= 0)
        return -1;
    const double ratio = double(hCm) / vCm;
    const struct
    {
        int index;
        double value;
    } choices[] = {{0, 16.0 / 9.0}, {5, 64.0 / 27.0}, {6, 256.0 / 135.0}};
    for (const auto& c : choices) {
        if (std::fabs(ratio - c.value) < 0.1)
            return c.index;
    }
    return -1;
}

void EdidDecoder::parseBaseBlock()
{
    parseHeader();
    const bool digital = parseVideoInputDefinition();
    parseScreenSize();
    parseGamma();
    parseFeatureSupport(digital);
    parseChromaticity();
    parseEstablishedTimings();
    parseStandardTimings();
    m_descriptorCount = 0;
    for (int p : {54, 72, 90, 108})
        parseEighteenByteDescriptor(p, 0);
    const int extensions = at(126);
    append(QStringLiteral("Has %1 extension %2\n")
               .arg(extensions)
               .arg(extensions == 1 ? QStringLiteral("block") : QStringLiteral("blocks")));
    checksum(0);
}

void EdidDecoder::parseHeader()
{
    const QString manufacturer = unpackEdidManufacturerId(quint16(at(8) << 8 | at(9)));
    const quint16 product = quint16(at(11) << 8 | at(10));
    const quint32 serial = quint32(at(12)) | quint32(at(13)) << 8 | quint32(at(14)) << 16 | quint32(at(15)) << 24;
    // Revisions up to 3 follow the E-EDID 1.3 rules, 4 and later those of 1.4.
    m_v14 = at(19) >= 4;

    append(QStringLiteral("manufacturer:     ") + manufacturer + QLatin1Char('\n'));
    append(QStringLiteral("product code:     ") + QStringLiteral("%1").arg(product, 4, 16, QLatin1Char('0')).toUpper()
           + QLatin1Char('\n'));
    append(QStringLiteral("serial number:    ") + (serial == 0 ? QStringLiteral("N/A") : QString::number(serial))
           + QLatin1Char('\n'));
    append(QStringLiteral("manufacture date: ") + QStringLiteral("Week %1 of %2").arg(at(16)).arg(at(17) + 1990)
           + QLatin1Char('\n'));
    append(QStringLiteral("edid version:     %1.%2\n").arg(at(18)).arg(at(19)));

    if (m_state) {
        m_state->manufacturer = manufacturer;
        m_state->productCode = product;
        m_state->serialNumber = serial;
        m_state->week = at(16);
        m_state->year = at(17) + 1990;
        m_state->version = at(18);
        m_state->revision = at(19);
    }
}

bool EdidDecoder::parseVideoInputDefinition()
{
    const int b = at(20);
    if (m_state)
        m_state->videoInputByte = quint8(b);
    if (b & 0x80) {
        append(QStringLiteral("display type:     digital\n"));
        if (m_state)
            m_state->signalType = EdidState::SignalType::Digital;
        if (m_v14) {
            switch (b & 0x0F) {
            case 0: append(QStringLiteral("Digital interface is not defined\n")); break;
            case 1:
                append(QStringLiteral("DVI interface\n"));
                if (m_state)
                    m_state->digitalInterface = EdidState::DigitalInterface::Dvi;
                break;
            case 2:
            case 3:
                append(QStringLiteral("HDMI interface\n"));
                if (m_state)
                    m_state->digitalInterface = EdidState::DigitalInterface::Hdmi;
                break;
            case 4: append(QStringLiteral("MDDI interface\n")); break;
            case 5:
                append(QStringLiteral("DisplayPort interface\n"));
                if (m_state)
                    m_state->digitalInterface = EdidState::DigitalInterface::DisplayPort;
                break;
            default: break;
            }
            static const EdidState::ColorBitDepth depths[] = {
                EdidState::ColorBitDepth::Unset,  EdidState::ColorBitDepth::Unset,  EdidState::ColorBitDepth::Bits8,
                EdidState::ColorBitDepth::Bits10, EdidState::ColorBitDepth::Bits12, EdidState::ColorBitDepth::Bits14,
                EdidState::ColorBitDepth::Bits16, EdidState::ColorBitDepth::Unset};
            const int depth = (b >> 4) & 7;
            if (depth >= 1 && depth <= 6)
                append(QStringLiteral("%1 bits per primary color channel\n").arg(4 + 2 * depth));
            // The interface's defaults first, then the depth the EDID states.
            interfaceChanged();
            if (m_state && depths[depth] != EdidState::ColorBitDepth::Unset)
                m_state->colorBitDepth = depths[depth];
        } else if (b & 0x01) {
            append(QStringLiteral("DFP 1.x compatible TMDS\n"));
        }
        return true;
    }

    append(QStringLiteral("display type:     analog\n"));
    if (m_state) {
        m_state->signalType = EdidState::SignalType::Analog;
        interfaceChanged();
    }
    static const char* levels[] = {"0.7/0.3", "0.714/0.286", "1.0/0.4", "0.7/0.0"};
    static const EdidState::SignalLevel levelValues[] = {
        EdidState::SignalLevel::L0700_0300, EdidState::SignalLevel::L0714_0286,
        EdidState::SignalLevel::L1000_0400, EdidState::SignalLevel::L0700_0000};
    const int level = (b >> 5) & 3;
    append(QStringLiteral("Analog display, Input voltage level: %1 V\n").arg(QLatin1String(levels[level])));
    // Bit 4 is the blank-to-black setup in E-EDID 1.3 and 1.4 alike.
    const bool pedestal = b & 0x10;
    append(pedestal ? QStringLiteral("Blank-to-black setup/pedestal\n") : QStringLiteral("Blank level equals black level\n"));
    append(QStringLiteral("Separate Sync:                    ") + supported(b & 0x08)
           + QStringLiteral("Composite Sync (on Hsync):        ") + supported(b & 0x04)
           + QStringLiteral("Sync on Green:                    ") + supported(b & 0x02)
           + QStringLiteral("VSync Serr. for CS/Sync on Green: ") + supported(b & 0x01));
    if (m_state) {
        m_state->signalLevel = levelValues[level];
        m_state->videoSetup = pedestal ? EdidState::VideoSetup::BlankToBlackPedestal : EdidState::VideoSetup::BlankEqualsBlack;
        m_state->separateSync = b & 0x08;
        m_state->compositeSyncHoriz = b & 0x04;
        m_state->compositeSyncGreen = b & 0x02;
        m_state->serrationVertSync = b & 0x01;
    }
    return false;
}

void EdidDecoder::parseScreenSize()
{
    const int h = at(21);
    const int v = at(22);
    if (m_state) {
        m_state->hSizeCm = h;
        m_state->vSizeCm = v;
    }
    if (h == 0 || v == 0) {
        append(QStringLiteral("Image size is undefined\n"));
        return;
    }
    append(QStringLiteral("Maximum image size: %1cm x %2cm\n").arg(h).arg(v));
    if (!m_state)
        return;
    m_state->displaySize = QString::number(std::sqrt(double(h * h + v * v)) / 2.54, 'g', 6);
    const int aspect = decodedAspectChoice(h, v);
    if (aspect >= 0)
        m_state->aspectRatio = aspect;
}

void EdidDecoder::parseGamma()
{
    const int g = at(23);
    if (m_state)
        m_state->gammaByte = quint8(g);
    if (g == 0xFF && m_v14)
        append(QStringLiteral("Gamma is defined in an extension block\n"));
    else
        append(QStringLiteral("Gamma:            ") + QString::number((g + 100) / 100.0, 'g', 6) + QLatin1Char('\n'));
}

void EdidDecoder::parseFeatureSupport(bool digital)
{
    const int b = at(24);
    append(QStringLiteral("DPMS levels:      Standby Mode:    ") + supported(b & 0x80)
           + QStringLiteral("                  Suspend Mode:    ") + supported(b & 0x40)
           + QStringLiteral("                  Active Off Mode: ") + supported(b & 0x20) + QLatin1Char('\n'));
    if (m_state) {
        m_state->featureByte = quint8(b);
        m_state->standbyMode = b & 0x80;
        m_state->suspendMode = b & 0x40;
        m_state->activeOff = b & 0x20;
        m_state->srgbDefault = b & 0x04;
        m_state->preferredTimingMode = b & 0x02;
        m_state->continuousFrequency = b & 0x01;
    }
    // E-EDID 1.4 gives a digital input's bits 4-3 to the colour encodings; before 1.4, and for
    // analog inputs, they are the display colour type.
    if (digital && m_v14) {
        QString line = QStringLiteral("Supported color formats: RGB 4:4:4");
        if (b & 0x08)
            line += QStringLiteral(", YCrCb 4:4:4");
        if (b & 0x10)
            line += QStringLiteral(", YCrCb 4:2:2");
        append(line + QLatin1Char('\n'));
        if (m_state) {
            m_state->rgb444 = true;
            m_state->ycbcr444 = b & 0x08;
            m_state->ycbcr422 = b & 0x10;
        }
        return;
    }
    static const char* types[] = {"Monochrome or grayscale display\n", "RGB color display\n",
                                  "Non-RGB color display\n", "Undefined display color type\n"};
    static const EdidState::ColorType typeValues[] = {EdidState::ColorType::Monochrome, EdidState::ColorType::Rgb,
                                                      EdidState::ColorType::NonRgb, EdidState::ColorType::Undefined};
    const int type = (b >> 3) & 3;
    append(QLatin1String(types[type]));
    if (m_state)
        m_state->colorType = typeValues[type];
}

void EdidDecoder::parseChromaticity()
{
    const int lo1 = at(25);
    const int lo2 = at(26);
    const int codes[8] = {at(27) << 2 | (lo1 >> 6 & 3), at(28) << 2 | (lo1 >> 4 & 3), at(29) << 2 | (lo1 >> 2 & 3),
                          at(30) << 2 | (lo1 & 3),      at(31) << 2 | (lo2 >> 6 & 3), at(32) << 2 | (lo2 >> 4 & 3),
                          at(33) << 2 | (lo2 >> 2 & 3), at(34) << 2 | (lo2 & 3)};
    QString v[8];
    for (int i = 0; i < 8; ++i)
        v[i] = QString::number(codes[i] / 1024.0, 'f', 3);
    if (m_state) {
        m_state->chromaticityPreset = 0;
        QString* fields[8] = {&m_state->redX,  &m_state->redY,  &m_state->greenX, &m_state->greenY,
                              &m_state->blueX, &m_state->blueY, &m_state->whiteX, &m_state->whiteY};
        for (int i = 0; i < 8; ++i) {
            *fields[i] = v[i];
            m_state->chromaticityCodes[size_t(i)] = codes[i];
        }
    }
    append(QStringLiteral("Chromaticity coordinates:\n  Red   X: ") + v[0] + QStringLiteral("; Y: ") + v[1]
           + QStringLiteral("\n  Green X: ") + v[2] + QStringLiteral("; Y: ") + v[3] + QStringLiteral("\n  Blue  X: ")
           + v[4] + QStringLiteral("; Y: ") + v[5] + QStringLiteral("\n  White X: ") + v[6] + QStringLiteral("; Y: ")
           + v[7] + QStringLiteral("\n\n"));
}

void EdidDecoder::parseEstablishedTimings()
{
    static const struct
    {
        int byte, bit, h, v, rate;
        bool interlaced;
    } table[] = {{35, 7, 720, 400, 70, false},   {35, 6, 720, 400, 88, false},   {35, 5, 640, 480, 60, false},
                 {35, 4, 640, 480, 67, false},   {35, 3, 640, 480, 72, false},   {35, 2, 640, 480, 75, false},
                 {35, 1, 800, 600, 56, false},   {35, 0, 800, 600, 60, false},   {36, 7, 800, 600, 72, false},
                 {36, 6, 800, 600, 75, false},   {36, 5, 832, 624, 75, false},   {36, 4, 1024, 768, 87, true},
                 {36, 3, 1024, 768, 60, false},  {36, 2, 1024, 768, 70, false},  {36, 1, 1024, 768, 75, false},
                 {36, 0, 1280, 1024, 75, false}, {37, 7, 1152, 870, 75, false}};
    append(QStringLiteral("Established timings supported:\n"));
    for (const auto& e : table) {
        if (!(at(e.byte) >> e.bit & 1))
            continue;
        if (m_state) {
            const int a = gcd(e.h, e.v);
            Timing t = findVesaTiming(e.h, e.v, e.rate, e.interlaced, e.h / a, e.v / a, true);
            t.established = true;
            addTiming(t);
        }
        append(QStringLiteral("  %1x%2%3@%4Hz\n").arg(e.h).arg(e.v).arg(e.interlaced ? QStringLiteral("i") : QString()).arg(e.rate));
    }
    if (m_state)
        m_state->manufacturerTimings = quint8(at(37) & 0x7F);
    append(QStringLiteral("\n"));
}

void EdidDecoder::parseStandardTimings()
{
    append(QStringLiteral("Standard timings supported:\n"));
    if (m_state)
        m_state->standardTimingBytes = m_bytes.mid(38, 16);
    for (int i = 0; i < 8; ++i) {
        const int b1 = at(38 + 2 * i);
        const int b2 = at(39 + 2 * i);
        if (standardTimingUnused(b1, b2))
            continue;
        const int h = (b1 + 31) * 8;
        const AspectRatioEntry& e = ASPECT_RATIOS.at(b2 >> 6);
        const int v = h * e.vRatio / e.hRatio;
        const int rate = (b2 & 0x3F) + 60;
        if (m_state) {
            Timing t = findVesaTiming(h, v, rate, false, e.hRatio, e.vRatio, false);
            t.standard = true;
            addTiming(t);
        }
        append(QStringLiteral("  %1x%2@%3Hz\n").arg(h).arg(v).arg(rate));
    }
    append(QStringLiteral("\n"));
}
