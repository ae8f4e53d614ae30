// The shared constants catalogue. Definitions are in declaration order: within this
// translation unit the single names are built before the lists made from them (SUPPORTED_PRODUCTS,
// FIRMWARE_GROUP_MODELS, AUDIO_CODING_NAMES, OUTPUT_RES_CHOICES_2).
#include "constants.h"

// 1a. Model names read by program logic.
const QString MODEL_PALOMIR = QStringLiteral("Palomir");
const QString MODEL_ORRELIN = QStringLiteral("Orrelin");
const QString MODEL_PERRICK = QStringLiteral("Perrick");
const QString MODEL_ROLVANE_SERIES = QStringLiteral("Rolvane Series");
const QString MODEL_KORVINA = QStringLiteral("Korvina");
const QString MODEL_JASTRIC = QStringLiteral("Jastric");
const QString MODEL_LOMARET_S = QStringLiteral("Lomaret-S");
const QString MODEL_LOMARET_R = QStringLiteral("Lomaret-R");
const QString MODEL_OSRINTH_S = QStringLiteral("Osrinth-S");
const QString MODEL_OSRINTH_R = QStringLiteral("Osrinth-R");
const QString MODEL_DUNMARL_S = QStringLiteral("Dunmarl-S");
const QString MODEL_DUNMARL_R = QStringLiteral("Dunmarl-R");
const QString MODEL_FARRUND = QStringLiteral("Farrund");
const QString MODEL_HARLISK = QStringLiteral("Harlisk");
const QString MODEL_JORVALE = QStringLiteral("Jorvale");
const QString MODEL_QUILLON = QStringLiteral("Quillon");
const QString MODEL_RENNART = QStringLiteral("Rennart");
const QString MODEL_ZARRICK = QStringLiteral("Zarrick");
const QString MODEL_CAVROSH = QStringLiteral("Cavrosh");
const QString MODEL_SURROW = QStringLiteral("Surrow");
const QString MODEL_CALTOR = QStringLiteral("Caltor");
const QString MODEL_JOVARIS = QStringLiteral("Jovaris");
const QString MODEL_NORRITH = QStringLiteral("Norrith");
const QString MODEL_KALVISK = QStringLiteral("Kalvisk");
const QString MODEL_KALVISK_PB = QStringLiteral("Kalvisk-PB");
const QString MODEL_LORVANE = QStringLiteral("Lorvane");
const QString MODEL_LORVANE_PB = QStringLiteral("Lorvane-PB");
const QString MODEL_JURMONT = QStringLiteral("Jurmont");
const QString MODEL_JURMONT_PB = QStringLiteral("Jurmont-PB");
const QString MODEL_HARVANE = QStringLiteral("Harvane");
const QString MODEL_HARVANE_PB = QStringLiteral("Harvane-PB");
const QString MODEL_PELMORR_TX = QStringLiteral("Pelmorr-TX");
const QString MODEL_PELMORR_RX = QStringLiteral("Pelmorr-RX");
const QString MODEL_RINDALE_TX = QStringLiteral("Rindale-TX");
const QString MODEL_RINDALE_RX = QStringLiteral("Rindale-RX");

const QStringList FIRMWARE_GROUP_MODELS = {
    MODEL_KALVISK_PB, MODEL_KALVISK,    MODEL_LORVANE,    MODEL_LORVANE_PB, MODEL_JURMONT,
    MODEL_JURMONT_PB, MODEL_JASTRIC,    MODEL_HARVANE,    MODEL_HARVANE_PB, MODEL_PELMORR_TX,
    MODEL_PELMORR_RX, MODEL_RINDALE_TX, MODEL_RINDALE_RX,
};

// 1b. Display names.
const QString NAME_DP_SORVANE_PLUS = QStringLiteral("DisplayPort Sorvane Plus");
const QString NAME_BOOSTER_SORVANE = QStringLiteral("Booster for HDMI w/EDID Sorvane");
const QString NAME_HDMI_SORVANE_PLUS = QStringLiteral("HDMI Sorvane Plus");
const QString NAME_SCALER_HDMI_VGA_TO_3GSDI = QStringLiteral("HDMI/VGA to 3GSDI Scaler");
const QString NAME_SCALER_VGA_TO_DVI = QStringLiteral("VGA to DVI Scaler");
const QString NAME_SCALER_VGA_AUDIO_TO_HDMI = QStringLiteral("VGA w/Audio to HDMI Scaler");

// 1c. Serial-port description identifiers.
const QString ID_DP_SORVANE = QStringLiteral("DPSorvane");
const QString ID_HDMI13_SORVANE = QStringLiteral("HDMI1.3Sorvane");
const QString ID_HDMI14_SORVANE = QStringLiteral("HDMI1.4Sorvane");
const QString ID_WISTREL = QStringLiteral("WISTREL");
const QString ID_CORMITH = QStringLiteral("CORMITH");
const QString ID_DARVOSK = QStringLiteral("Darvosk");
const QString ID_FORNALE = QStringLiteral("FORNALE");
const QString ID_LOMARET_S = QStringLiteral("LOMARETS");
const QString ID_LOMARET_R = QStringLiteral("LOMARETR");
const QString ID_DUNMARL_S = QStringLiteral("DUNMARLS");
const QString ID_DUNMARL_R = QStringLiteral("DUNMARLR");
const QString ID_OSRINTH_S = QStringLiteral("OSRINTHS");
const QString ID_OSRINTH_R = QStringLiteral("OSRINTHR");

// 1d. Every supported product, in display order (an "-R" unit stands before its "-S" unit in
// some places, after it in others: the order is the product list's own).
const QStringList SUPPORTED_PRODUCTS = {
    NAME_DP_SORVANE_PLUS,
    NAME_BOOSTER_SORVANE,
    NAME_HDMI_SORVANE_PLUS,
    NAME_SCALER_HDMI_VGA_TO_3GSDI,
    NAME_SCALER_VGA_TO_DVI,
    NAME_SCALER_VGA_AUDIO_TO_HDMI,
    QStringLiteral("Sarnith"),
    QStringLiteral("Rastova"),
    QStringLiteral("Quorlen"),
    QStringLiteral("Barquin"),
    QStringLiteral("Cindral"),
    QStringLiteral("Zolmira-R"),
    QStringLiteral("Zolmira-S"),
    QStringLiteral("Morvish-R"),
    QStringLiteral("Morvish-S"),
    QStringLiteral("Orvalis-R"),
    QStringLiteral("Orvalis-S"),
    QStringLiteral("Nabrosk-R"),
    QStringLiteral("Nabrosk-S"),
    QStringLiteral("Tolvane-R"),
    QStringLiteral("Mirvosk-S"),
    QStringLiteral("Mirvosk-R"),
    QStringLiteral("Tolvane-S"),
    MODEL_ORRELIN,
    MODEL_PALOMIR,
    MODEL_PERRICK,
    MODEL_ROLVANE_SERIES,
    MODEL_KALVISK_PB,
    MODEL_KALVISK,
    MODEL_LORVANE,
    MODEL_LORVANE_PB,
    MODEL_JURMONT,
    MODEL_JURMONT_PB,
    MODEL_JASTRIC,
    MODEL_HARVANE,
    MODEL_HARVANE_PB,
    MODEL_KORVINA,
    MODEL_FARRUND,
    MODEL_HARLISK,
    MODEL_JORVALE,
    MODEL_LOMARET_S,
    MODEL_LOMARET_R,
    MODEL_OSRINTH_S,
    MODEL_OSRINTH_R,
    MODEL_DUNMARL_S,
    MODEL_DUNMARL_R,
    QStringLiteral("Murrane"),
    QStringLiteral("Dalvoro"),
    QStringLiteral("Nesvari"),
    QStringLiteral("Kestrim"),
    MODEL_QUILLON,
    MODEL_RENNART,
    QStringLiteral("Halvoro"),
    MODEL_ZARRICK,
    MODEL_CAVROSH,
    MODEL_SURROW,
    QStringLiteral("Brivane"),
    MODEL_CALTOR,
    QStringLiteral("Dorvash"),
    MODEL_PELMORR_TX,
    MODEL_PELMORR_RX,
    MODEL_RINDALE_TX,
    MODEL_RINDALE_RX,
    MODEL_JOVARIS,
    MODEL_NORRITH,
    QStringLiteral("Felmora"),
    QStringLiteral("Belvara"),
    QStringLiteral("Nolvera"),
};

// 2. EDID vocabulary.
const QString AUDIO_LPCM = QStringLiteral("Linear PCM");
const QString AUDIO_AC3 = QStringLiteral("AC-3");
const QString AUDIO_MPEG1 = QStringLiteral("MPEG 1 (Layers 1 & 2)");
const QString AUDIO_MP3 = QStringLiteral("MPEG 1 Layer 3 (MP3)");
const QString AUDIO_MPEG2 = QStringLiteral("MPEG2 (multichannel)");
const QString AUDIO_AAC = QStringLiteral("AAC");
const QString AUDIO_DTS = QStringLiteral("DTS");
const QString AUDIO_ATRAC = QStringLiteral("ATRAC");
const QString AUDIO_ONE_BIT = QStringLiteral("One Bit Audio");
const QString AUDIO_EAC3 = QStringLiteral("Enhanced AC-3");
const QString AUDIO_DTS_HD = QStringLiteral("DTS-HD");
const QString AUDIO_MAT = QStringLiteral("MAT (MLP)");
const QString AUDIO_DST = QStringLiteral("DST");
const QString AUDIO_WMA_PRO = QStringLiteral("WMA Pro");
const QString AUDIO_HE_AAC = QStringLiteral("MPEG-4 HE AAC");
const QString AUDIO_HE_AAC_V2 = QStringLiteral("MPEG-4 HE AAC v2");
const QString AUDIO_AAC_LC = QStringLiteral("MPEG-4 AAC LC");
const QString AUDIO_DRA = QStringLiteral("DRA");
const QString AUDIO_HE_AAC_MPS = QStringLiteral("MPEG-4 HE AAC + MPS");
const QString AUDIO_AAC_LC_MPS = QStringLiteral("MPEG-4 AAC LC + MPS");

const QStringList AUDIO_CODING_NAMES = {
    AUDIO_LPCM,    AUDIO_AC3,    AUDIO_MPEG1,  AUDIO_MP3,     AUDIO_MPEG2,
    AUDIO_AAC,     AUDIO_DTS,    AUDIO_ATRAC,  AUDIO_ONE_BIT, AUDIO_EAC3,
    AUDIO_DTS_HD,  AUDIO_MAT,    AUDIO_DST,    AUDIO_WMA_PRO, AUDIO_HE_AAC,
    AUDIO_HE_AAC_V2, AUDIO_AAC_LC, AUDIO_DRA,  AUDIO_HE_AAC_MPS, AUDIO_AAC_LC_MPS,
};

const QString TIMING_TYPE_CEA = QStringLiteral("CEA");
const QString TIMING_TYPE_VESA = QStringLiteral("VESA");
const QString TIMING_TYPE_CUSTOM = QStringLiteral("Custom");

const QString CHROMATICITY_SRGB = QStringLiteral("sRGB");
const QString NEW_EDID_MANUFACTURER = QStringLiteral("vlm");

const QList<AspectRatioEntry> ASPECT_RATIOS = {
    {8, 5, 6},  // 16:10
    {4, 3, 4},
    {5, 4, 7},
    {16, 9, 5},
    {5, 3, 7},  // 15:9
};

// 3. File and document type names.
const QString TIMINGS_FILE = QStringLiteral("timings.xml");
const QString TIMINGS_DOCTYPE = QStringLiteral("timings");
const QString TIMING_ELEMENT = QStringLiteral("timing");
const QString AUDIO_FILE = QStringLiteral("audio.xml");
const QString AUDIO_DOCTYPE = QStringLiteral("audioFormats");
const QString AUDIO_ELEMENT = QStringLiteral("audioFormat");
const QString CHROMATICITY_FILE = QStringLiteral("chromaticity.xml");
const QString CHROMATICITY_DOCTYPE = QStringLiteral("chromaticities");
const QString CHROMATICITY_ELEMENT = QStringLiteral("chromaticity");
const QString SCALER_SETTINGS_DOCTYPE = QStringLiteral("scalerSettings");
const QString FIRMWARE_TAB_INFO_FILE = QStringLiteral("firmwareUpgradeTabInfo.xml");
const QString FIRMWARE_TAB_INFO_IN_FILE = QStringLiteral("firmwareUpgradeTabInfoIN.xml");
const QString FIRMWARE_TAB_INFO_OK_FILE = QStringLiteral("firmwareUpgradeTabInfoOK.xml");
const QString FIRMWARE_DOCTYPE = QStringLiteral("VelmoFirmwareUpgrade");
const QString APPLICATION_XML_FILE = QStringLiteral("VelmoPlexa-T.xml");
const QString APPLICATION_XML_OK_FILE = QStringLiteral("VelmoPlexa-T-OK.xml");
const QString PERSISTENT_FILE = QStringLiteral("VelmoPersistent.xml");
const QString PERSISTENT_DOCTYPE = QStringLiteral("data");
const QString STATISTICS_FILE = QStringLiteral("VelmoPlexa-T-Stat.xml");
const QString STATISTICS_DOCTYPE = QStringLiteral("Info");

// 4. Choice lists of the device pages.
const QStringList OUTPUT_COLOR_CHOICES = {
    QStringLiteral("RGB 4:4:4"), QStringLiteral("YCbCr 4:4:4"), QStringLiteral("YCbCr 4:2:2")};
const QStringList OUTPUT_MODE_CHOICES = {
    QStringLiteral("HDMI"), QStringLiteral("DVI"), QStringLiteral("Auto Detect")};
const QStringList OUTPUT_LOCK_CHOICES = {QStringLiteral("Free Run"), QStringLiteral("HDMI")};
const QStringList COLOR_RANGE_CHOICES = {QStringLiteral("Full"), QStringLiteral("Limited")};
const QStringList COLOR_TEMP_CHOICES = {
    QStringLiteral("Warm"), QStringLiteral("Neutral"), QStringLiteral("Cool")};
const QStringList EDGE_ENHANCE_CHOICES = {
    QStringLiteral("Off"), QStringLiteral("Mid"), QStringLiteral("Max"), QStringLiteral("User")};
const QStringList ASPECT_RATIO_CHOICES = {
    QStringLiteral("16:9"), QStringLiteral("4:3"), QStringLiteral("Stretch"), QStringLiteral("Source")};
const QStringList TEST_PATTERN_CHOICES = {
    QStringLiteral("White"), QStringLiteral("Cross"),  QStringLiteral("Hatch"), QStringLiteral("Color"),
    QStringLiteral("Gray"),  QStringLiteral("Window"), QStringLiteral("Off")};
const QStringList INPUT_SELECT_CHOICES = {QStringLiteral("VGA"), QStringLiteral("HDMI")};
const QStringList EDID_MODE_CHOICES = {QStringLiteral("Internal"), QStringLiteral("Custom")};
const QStringList ZARRICK_EDID_MODE_CHOICES = {
    QStringLiteral("Int - 1080P 2 Ch"), QStringLiteral("Int - 720P 2 Ch"),
    QStringLiteral("Ext (Bypass mode)"), QStringLiteral("Custom Mode - User")};
const QStringList CAVROSH_EDID_MODE_CHOICES = {
    QStringLiteral("Int - 4K 600 2 Ch"),   QStringLiteral("Int - 4K 300 2 Ch"),
    QStringLiteral("Int - 1080P 2 Ch"),    QStringLiteral("Ext (HDMI Output 1)"),
    QStringLiteral("Ext (HDMI Output 2)"), QStringLiteral("Ext (HDMI Output 3)"),
    QStringLiteral("Ext (HDMI Output 4)"), QStringLiteral("Custom Mode - User")};
const QStringList JOVARIS_EDID_MODE_CHOICES = {
    QStringLiteral("Int - 1080P 2 Ch"), QStringLiteral("Int - 4K UHD 300 MHZ 2 Ch"),
    QStringLiteral("Ext (Bypass mode)"), QStringLiteral("Custom Mode - User")};
const QStringList NORRITH_EDID_MODE_CHOICES = {
    QStringLiteral("Int - 1080P 2 Ch"),          QStringLiteral("Int - 1080P Multi-Ch"),
    QStringLiteral("Int - 4K UHD 300 MHZ 2 Ch"), QStringLiteral("Int - 4K UHD 300 Mhz Multi-Ch"),
    QStringLiteral("Ext (Bypass mode)"),         QStringLiteral("Custom Mode - User")};
const QStringList LUNMORA_EDID_MODE_CHOICES = {
    QString(), // value 0 is reserved: no button
    QStringLiteral("Internal - RUVASKO 4K 2CH"),
    QStringLiteral("Internal - RUVASKO 4K MULTICH"),
    QStringLiteral("Custom - UHD 300 4K 2CH"),
    QStringLiteral("Custom - UHD 300 4K MULTICH"),
    QStringLiteral("Custom - 1080P 2CH"),
    QStringLiteral("Custom - 1080P MULTICH"),
    QStringLiteral("Custom - USER"),
    QStringLiteral("External")};
const QStringList INPUT_HDCP_CHOICES = {
    QStringLiteral("REJECT"), QStringLiteral("VERSION 2.2 AND BELOW"), QStringLiteral("VERSION 1.4 AND BELOW")};
const QStringList OUTPUT_HDCP_CHOICES = {QStringLiteral("FOLLOW INPUT"), QStringLiteral("ALWAYS ENCODE")};
const QStringList SYNC_POLARITY_CHOICES = {QStringLiteral("-"), QStringLiteral("+")};

const QStringList ZARRICK_INPUT_NAMES = {
    QStringLiteral("HDMI Input 1"), QStringLiteral("HDMI Input 2"),
    QStringLiteral("HDMI Input 3"), QStringLiteral("HDMI Input 4")};

const QStringList SDI_OUTPUT_RES_CHOICES = {
    QStringLiteral("SD (480i) 60Hz"),    QStringLiteral("SD (576i) 50Hz"),    QStringLiteral("HD (720p) 60Hz"),
    QStringLiteral("HD (720p) 59Hz"),    QStringLiteral("HD (720p) 50Hz"),    QStringLiteral("HD (720p) 30Hz"),
    QStringLiteral("HD (720p) 29Hz"),    QStringLiteral("HD (720p) 25Hz"),    QStringLiteral("HD (1080i) 60Hz"),
    QStringLiteral("HD (1080i) 59Hz"),   QStringLiteral("HD (1080i) 50Hz"),   QStringLiteral("3G-A (1080p) 60Hz"),
    QStringLiteral("3G-A (1080p) 59Hz"), QStringLiteral("3G-A (1080p) 50Hz"), QStringLiteral("HD (1080p) 30Hz"),
    QStringLiteral("HD (1080p) 29Hz"),   QStringLiteral("HD (1080p) 25Hz"),   QStringLiteral("HD (1080p) 24Hz"),
    QStringLiteral("HD (1080p) 23Hz"),   QStringLiteral("3G-B (1080p) 60Hz"), QStringLiteral("3G-B (1080p) 59Hz"),
    QStringLiteral("3G-B (1080p) 50Hz")};

const QStringList OUTPUT_RES_CHOICES = {
    // values 0-19: computer modes
    QStringLiteral("640x480 60Hz"),   QStringLiteral("640x480 75Hz"),   QStringLiteral("800x600 60Hz"),
    QStringLiteral("800x600 75Hz"),   QStringLiteral("1024x768 60Hz"),  QStringLiteral("1024x768 75Hz"),
    QStringLiteral("1280x768 60Hz"),  QStringLiteral("1280x800 60Hz"),  QStringLiteral("1280x1024 60Hz"),
    QStringLiteral("1280x1024 75Hz"), QStringLiteral("1360x768 60Hz"),  QStringLiteral("1366x768 60Hz"),
    QStringLiteral("1440x900 60Hz"),  QStringLiteral("1440x900 75Hz"),  QStringLiteral("1400x1050 60Hz"),
    QStringLiteral("1680x1050 60Hz"), QStringLiteral("1680x1050 RB"),   QStringLiteral("1920x1080 RB"),
    QStringLiteral("1920x1200 60Hz"), QStringLiteral("1920x1200 RB"),
    // values 20, 21
    QStringLiteral("Bypass"), QStringLiteral("Auto-Detect"),
    // values 22-44: video modes
    QStringLiteral("SD (480i) 60Hz"),  QStringLiteral("SD (576i) 50Hz"),  QStringLiteral("SD (480p) 60Hz"),
    QStringLiteral("SD (576p) 50Hz"),  QStringLiteral("HD (720p) 60Hz"),  QStringLiteral("HD (720p) 59Hz"),
    QStringLiteral("HD (720p) 50Hz"),  QStringLiteral("HD (720p) 30Hz"),  QStringLiteral("HD (720p) 29Hz"),
    QStringLiteral("HD (720p) 25Hz"),  QStringLiteral("HD (1080i) 60Hz"), QStringLiteral("HD (1080i) 59Hz"),
    QStringLiteral("HD (1080i) 50Hz"), QStringLiteral("HD (1080p) 60Hz"), QStringLiteral("HD (1080p) 59Hz"),
    QStringLiteral("HD (1080p) 50Hz"), QStringLiteral("HD (1080p) 30Hz"), QStringLiteral("HD (1080p) 29Hz"),
    QStringLiteral("HD (1080p) 25Hz"), QStringLiteral("HD (1080p) 24Hz"), QStringLiteral("HD (1080p) 23Hz"),
    QStringLiteral("2048x1080 60Hz"),  QStringLiteral("2048x1080 50Hz")};

const QStringList OUTPUT_RES_CHOICES_2 = OUTPUT_RES_CHOICES;

const QStringList TEST_PATTERN_IMAGES = {
    QStringLiteral(":/images/Assets/Tirel_Patterns/Tirel_Pattern_White.png"),
    QStringLiteral(":/images/Assets/Tirel_Patterns/Tirel_Pattern_Cross.png"),
    QStringLiteral(":/images/Assets/Tirel_Patterns/Tirel_Pattern_Hatch.png"),
    QStringLiteral(":/images/Assets/Tirel_Patterns/Tirel_Pattern_Color.png"),
    QStringLiteral(":/images/Assets/Tirel_Patterns/Tirel_Pattern_Gray.png"),
    QStringLiteral(":/images/Assets/Tirel_Patterns/Tirel_Pattern_Window.png")};

// 5. Messages and reply markers.
const QString MSG_CONFIG_NOT_SUPPORTED =
    QStringLiteral("Configuration of this product is not supported in Velmo Plexa-T.");
const QString MSG_FW_CHECKSUM_FAILED = QStringLiteral(
    "The firmware file was successfully transferred, but the checksum failed. Power cycle the device "
    "and try updating again. If that fails, try restarting Velmo Plexa-T.");
const QString MSG_FW_NO_COMMUNICATION = QStringLiteral(
    "Unable to communicate with device. Power cycle the device and try updating again. If that fails, "
    "try restarting Velmo Plexa-T.");
const QString MSG_FW_INTERRUPTED = QStringLiteral(
    "The firmware update process was interrupted. Please try to update again. If that fails, try either "
    "power-cycling the unit or restarting Velmo Plexa-T.");
const QString MSG_FW_WRONG_FILE = QStringLiteral(
    "Wrong firmware loaded. Please select the correct firmware file for the connected product and try "
    "updating again.");
const QString REPLY_INVALID = QStringLiteral("invalid");
const QString REPLY_WRONG = QStringLiteral("wrong");

// 6. Values kept by single modules.
const QString SERIAL_UPDATE_INSTRUCTIONS = QStringLiteral(
    "1. Connect AC power to the unit and turn it ON. \r\n"
    "2. Connect an RS-232 cable between the unit and the computer. \r\n"
    "3. Select the product name and COM port below. \r\n"
    "4. Click Start.");
const QString STATISTIC_PRODUCTS = QStringLiteral("products");

const QVariant COMBO_ITEM_DISABLED = QVariant(0);
const QVariant COMBO_ITEM_ENABLED = QVariant(int(Qt::ItemIsSelectable | Qt::ItemIsEnabled)); // 33

const QRegExp BLANK_LINE_END(QStringLiteral("\\n\\r?\\n$"), Qt::CaseSensitive, QRegExp::RegExp);
const QRegExp BLANK_LINE_START(QStringLiteral("^\\r?\\n\\r?\\n"), Qt::CaseSensitive, QRegExp::RegExp);

NameSet TIMING_NAMES() { return NameSet(); }
NameSet AUDIO_FORMAT_NAMES() { return NameSet(); }
HexImageRecordMap HEX_IMAGE_RECORDS() { return HexImageRecordMap(); }

// ---------------------------------------------------------------------------------------------
// Rules.

QString choiceParam(const QStringList& choices, const QString& entry)
{
    if (entry.isEmpty())
        return QString();
    const int index = choices.indexOf(entry);
    return index < 0 ? QString() : QString::number(index);
}

int choiceButtonCount(const QStringList& choices)
{
    int count = 0;
    for (const QString& entry : choices)
        if (!entry.isEmpty())
            ++count;
    return count;
}

QString audioNameOfCode(int code)
{
    if (code < 1 || code > AUDIO_CODING_NAMES.size())
        return QString();
    return AUDIO_CODING_NAMES.at(code - 1);
}

int audioCodeOfName(const QString& name)
{
    for (int i = 0; i < AUDIO_CODING_NAMES.size(); ++i)
        if (AUDIO_CODING_NAMES.at(i) == name)
            return i + 1;
    return 0;
}

int gcd(int a, int b)
{
    if (a < 1 || b < 1)
        return 0;
    while (b != 0) {
        const int r = a % b;
        a = b;
        b = r;
    }
    return a;
}

namespace {

// First of the first `rows` table rows whose ratio equals the reduced resolution, or -1.
int findAspectRow(int width, int height, int rows)
{
    const int g = gcd(width, height);
    if (g == 0)
        return -1;
    const int w = width / g;
    const int h = height / g;
    for (int i = 0; i < rows && i < ASPECT_RATIOS.size(); ++i)
        if (ASPECT_RATIOS.at(i).hRatio == w && ASPECT_RATIOS.at(i).vRatio == h)
            return i;
    return -1;
}
} // namespace

int standardTimingVerticalSize(int hSize, int aspectBits)
{
    if (aspectBits < 0 || aspectBits > 3)
        return 0;
    const AspectRatioEntry& e = ASPECT_RATIOS.at(aspectBits);
    return int(qint64(hSize) * e.vRatio / e.hRatio);
}

int standardTimingAspectCode(int hActive, int vActive) { return findAspectRow(hActive, vActive, 4); }

int aspectRatioRow(int hPixels, int vLines) { return findAspectRow(hPixels, vLines, ASPECT_RATIOS.size()); }

int aspectVSyncLines(int hPixels, int vLines, int noMatchLines)
{
    const int row = aspectRatioRow(hPixels, vLines);
    return row < 0 ? noMatchLines : ASPECT_RATIOS.at(row).vSyncLines;
}

quint16 packEdidManufacturerId(const QString& id, bool* ok)
{
    if (ok)
        *ok = false;
    if (id.size() != 3)
        return 0;
    quint16 packed = 0;
    for (const QChar c : id) {
        ushort u = c.unicode();
        if (u >= 'a' && u <= 'z')
            u = ushort(u - 'a' + 'A'); // ASCII only: no locale or Unicode case mapping
        if (u < 'A' || u > 'Z')
            return 0;
        packed = quint16((packed << 5) | ((u - 'A' + 1) & 0x1F));
    }
    if (ok)
        *ok = true;
    return quint16(packed & 0x7FFF);
}

QString unpackEdidManufacturerId(quint16 packed)
{
    QString text;
    for (int shift = 10; shift >= 0; shift -= 5) {
        const int c = (packed >> shift) & 0x1F;
        text += QChar(ushort(0x40 + c)); // 1 is 'A'; 0 and 27 to 31 give '@' and '[' to '_' as edid-decode shows them
    }
    return text;
}

bool isFirmwareGroupModel(const QString& model) { return FIRMWARE_GROUP_MODELS.contains(model); }

bool portDescriptionMatches(const QString& description, const QString& id)
{
    return !id.isEmpty() && description.startsWith(id, Qt::CaseSensitive);
}

bool replyIsInvalid(const QString& reply) { return reply.toLower().contains(REPLY_INVALID); }

bool replyIsWrong(const QString& reply) { return reply.toLower().contains(REPLY_WRONG); }
