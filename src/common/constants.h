#ifndef CONSTANTS_H
#define CONSTANTS_H

// The shared constants catalogue: every named, read-only value that more than one part of the
// program reads. The values live in constants.cpp; this header only declares them.
//
// Rules for users:
// - Every constant is a namespace-level `const` object built before `main` runs and never changed.
//   Read them from functions, not from another translation unit's static initialiser (the order in
//   which translation units are initialised is not defined).
// - Lists keep the device's order: an entry's position is the value the device uses. Never sort
//   them and never look entries up in a sorted copy. In a choice list, entry i is sent as the
//   decimal text of i (choiceParam below); an empty entry keeps its value but makes no button.
// - The three working sets (TIMING_NAMES, AUDIO_FORMAT_NAMES, HEX_IMAGE_RECORDS)
//   are NOT globals. Each is a function that returns a new, empty container which the caller
//   owns, so no module can see another's contents. The module that needs one keeps it as a
//   member (or a file-local static) and hands it by reference to whoever shares it:
//       QSet<QString> timingNames = TIMING_NAMES();   // catalogue loader, shared with its dialog
//   (the catalogue loader and its custom dialog share one set; nothing else sees it.)
// - The small functions at the end implement the rules that go with the values; they
//   are pure (no state, no Qt application needed) and safe on any thread.
//
// Some modules name these by descriptive names: `aspectRatioList` = ASPECT_RATIOS,
// `audioCodingNames` = AUDIO_LPCM ... AUDIO_AAC_LC_MPS (AUDIO_CODING_NAMES),
// `timingKindNames` = TIMING_TYPE_VESA/CEA/CUSTOM, `pnpManufacturerId` = NEW_EDID_MANUFACTURER,
// `timingNames`/`audioFormatNames` = TIMING_NAMES()/AUDIO_FORMAT_NAMES(), `hexRecords` =
// HEX_IMAGE_RECORDS().

#include <QList>
#include <QMap>
#include <QRegExp>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

// ---------------------------------------------------------------------------------------------
// 1a. Device model names read by program logic.
extern const QString MODEL_PALOMIR;        // "Palomir"
extern const QString MODEL_ORRELIN;        // "Orrelin"
extern const QString MODEL_PERRICK;        // "Perrick"
extern const QString MODEL_ROLVANE_SERIES; // "Rolvane Series"
extern const QString MODEL_KORVINA;        // "Korvina"
extern const QString MODEL_JASTRIC;        // "Jastric"
extern const QString MODEL_LOMARET_S;      // "Lomaret-S"
extern const QString MODEL_LOMARET_R;      // "Lomaret-R"
extern const QString MODEL_OSRINTH_S;      // "Osrinth-S"
extern const QString MODEL_OSRINTH_R;      // "Osrinth-R"
extern const QString MODEL_DUNMARL_S;      // "Dunmarl-S"
extern const QString MODEL_DUNMARL_R;      // "Dunmarl-R"
extern const QString MODEL_FARRUND;        // "Farrund"
extern const QString MODEL_HARLISK;        // "Harlisk"
extern const QString MODEL_JORVALE;        // "Jorvale"
extern const QString MODEL_QUILLON;        // "Quillon"
extern const QString MODEL_RENNART;        // "Rennart"
extern const QString MODEL_ZARRICK;        // "Zarrick"
extern const QString MODEL_CAVROSH;        // "Cavrosh"
extern const QString MODEL_SURROW;         // "Surrow"
extern const QString MODEL_CALTOR;         // "Caltor"
extern const QString MODEL_JOVARIS;        // "Jovaris"
extern const QString MODEL_NORRITH;        // "Norrith"
extern const QString MODEL_KALVISK;        // "Kalvisk"
extern const QString MODEL_KALVISK_PB;     // "Kalvisk-PB"
extern const QString MODEL_LORVANE;        // "Lorvane"
extern const QString MODEL_LORVANE_PB;     // "Lorvane-PB"
extern const QString MODEL_JURMONT;        // "Jurmont"
extern const QString MODEL_JURMONT_PB;     // "Jurmont-PB"
extern const QString MODEL_HARVANE;        // "Harvane"
extern const QString MODEL_HARVANE_PB;     // "Harvane-PB"
extern const QString MODEL_PELMORR_TX;     // "Pelmorr-TX"
extern const QString MODEL_PELMORR_RX;     // "Pelmorr-RX"
extern const QString MODEL_RINDALE_TX;     // "Rindale-TX"
extern const QString MODEL_RINDALE_RX;     // "Rindale-RX"

// The thirteen models that the firmware-update page treats as one group, in the page's order. Test membership with isFirmwareGroupModel().
extern const QStringList FIRMWARE_GROUP_MODELS;

// 1b. Display names of families whose units report a short identifier.
extern const QString NAME_DP_SORVANE_PLUS;          // "DisplayPort Sorvane Plus"
extern const QString NAME_BOOSTER_SORVANE;          // "Booster for HDMI w/EDID Sorvane"
extern const QString NAME_HDMI_SORVANE_PLUS;        // "HDMI Sorvane Plus"
extern const QString NAME_SCALER_HDMI_VGA_TO_3GSDI; // "HDMI/VGA to 3GSDI Scaler"
extern const QString NAME_SCALER_VGA_TO_DVI;        // "VGA to DVI Scaler"
extern const QString NAME_SCALER_VGA_AUDIO_TO_HDMI; // "VGA w/Audio to HDMI Scaler"

// 1c. Short identifiers at the beginning of a unit's serial-port description (case-sensitive;
// test with portDescriptionMatches()).
extern const QString ID_DP_SORVANE;     // "DPSorvane"
extern const QString ID_HDMI13_SORVANE; // "HDMI1.3Sorvane"
extern const QString ID_HDMI14_SORVANE; // "HDMI1.4Sorvane"
extern const QString ID_WISTREL;        // "WISTREL"
extern const QString ID_CORMITH;        // "CORMITH"
extern const QString ID_DARVOSK;        // "Darvosk"
extern const QString ID_FORNALE;        // "FORNALE"
extern const QString ID_LOMARET_S;      // "LOMARETS"
extern const QString ID_LOMARET_R;      // "LOMARETR"
extern const QString ID_DUNMARL_S;      // "DUNMARLS"
extern const QString ID_DUNMARL_R;      // "DUNMARLR"
extern const QString ID_OSRINTH_S;      // "OSRINTHS"
extern const QString ID_OSRINTH_R;      // "OSRINTHR"

// 1d. Every product the program knows, 68 entries, in display order ("Other Supported Products"
// at the end of the product drop-down). First "DisplayPort Sorvane Plus", last "Nolvera".
extern const QStringList SUPPORTED_PRODUCTS;

// ---------------------------------------------------------------------------------------------
// 2. EDID vocabulary.
// Audio format names by the program's audio format code: 1-14 are the CEA-861 codes, 15-20 are
// format code 15 with extension type 4, 5, 6, 7, 8 and 10.
extern const QString AUDIO_LPCM;       // 1  "Linear PCM"
extern const QString AUDIO_AC3;        // 2  "AC-3"
extern const QString AUDIO_MPEG1;      // 3  "MPEG 1 (Layers 1 & 2)"
extern const QString AUDIO_MP3;        // 4  "MPEG 1 Layer 3 (MP3)"
extern const QString AUDIO_MPEG2;      // 5  "MPEG2 (multichannel)"
extern const QString AUDIO_AAC;        // 6  "AAC"
extern const QString AUDIO_DTS;        // 7  "DTS"
extern const QString AUDIO_ATRAC;      // 8  "ATRAC"
extern const QString AUDIO_ONE_BIT;    // 9  "One Bit Audio"
extern const QString AUDIO_EAC3;       // 10 "Enhanced AC-3"
extern const QString AUDIO_DTS_HD;     // 11 "DTS-HD"
extern const QString AUDIO_MAT;        // 12 "MAT (MLP)"
extern const QString AUDIO_DST;        // 13 "DST"
extern const QString AUDIO_WMA_PRO;    // 14 "WMA Pro"
extern const QString AUDIO_HE_AAC;     // 15 "MPEG-4 HE AAC"
extern const QString AUDIO_HE_AAC_V2;  // 16 "MPEG-4 HE AAC v2"
extern const QString AUDIO_AAC_LC;     // 17 "MPEG-4 AAC LC"
extern const QString AUDIO_DRA;        // 18 "DRA"
extern const QString AUDIO_HE_AAC_MPS; // 19 "MPEG-4 HE AAC + MPS"
extern const QString AUDIO_AAC_LC_MPS; // 20 "MPEG-4 AAC LC + MPS"
// The same twenty names in code order: index 0 holds code 1, index 19 code 20.
extern const QStringList AUDIO_CODING_NAMES;

// Timing kinds (the `type` of a Timing).
extern const QString TIMING_TYPE_CEA;    // "CEA"    looked up by VIC
extern const QString TIMING_TYPE_VESA;   // "VESA"   established and standard timings
extern const QString TIMING_TYPE_CUSTOM; // "Custom" unmatched detailed timings and user timings

extern const QString CHROMATICITY_SRGB;     // "sRGB"
extern const QString NEW_EDID_MANUFACTURER; // "vlm" (lower case; packEdidManufacturerId packs it)

// One row of the aspect-ratio table.
struct AspectRatioEntry
{
    int hRatio;
    int vRatio;
    int vSyncLines; // vertical sync width in lines that VESA CVT prescribes for the ratio
};

// (8,5,6) 16:10, (4,3,4), (5,4,7), (16,9,5), (5,3,7) 15:9. Rows 0-3 are the two aspect bits of an
// EDID standard timing (0 = 16:10, 1 = 4:3, 2 = 5:4, 3 = 16:9).
extern const QList<AspectRatioEntry> ASPECT_RATIOS;

// ---------------------------------------------------------------------------------------------
// 3. File and document type names.
extern const QString TIMINGS_FILE;              // "timings.xml"
extern const QString TIMINGS_DOCTYPE;           // "timings"
extern const QString TIMING_ELEMENT;            // "timing"
extern const QString AUDIO_FILE;                // "audio.xml"
extern const QString AUDIO_DOCTYPE;             // "audioFormats"
extern const QString AUDIO_ELEMENT;             // "audioFormat"
extern const QString CHROMATICITY_FILE;         // "chromaticity.xml"
extern const QString CHROMATICITY_DOCTYPE;      // "chromaticities"
extern const QString CHROMATICITY_ELEMENT;      // "chromaticity"
extern const QString SCALER_SETTINGS_DOCTYPE;   // "scalerSettings"
extern const QString FIRMWARE_TAB_INFO_FILE;    // "firmwareUpgradeTabInfo.xml"
extern const QString FIRMWARE_TAB_INFO_IN_FILE; // "firmwareUpgradeTabInfoIN.xml"
extern const QString FIRMWARE_TAB_INFO_OK_FILE; // "firmwareUpgradeTabInfoOK.xml"
extern const QString FIRMWARE_DOCTYPE;          // "VelmoFirmwareUpgrade"
extern const QString APPLICATION_XML_FILE;      // "VelmoPlexa-T.xml"
extern const QString APPLICATION_XML_OK_FILE;   // "VelmoPlexa-T-OK.xml"
extern const QString PERSISTENT_FILE;           // "VelmoPersistent.xml"
extern const QString PERSISTENT_DOCTYPE;        // "data"
extern const QString STATISTICS_FILE;           // "VelmoPlexa-T-Stat.xml"
extern const QString STATISTICS_DOCTYPE;        // "Info"

// ---------------------------------------------------------------------------------------------
// 4. Choice lists of the device pages (position = device value). The comment names the command
// of the MyButtonGroup built from the list.
extern const QStringList OUTPUT_COLOR_CHOICES;      // "#SET_OUTPUT_COLOR"
extern const QStringList OUTPUT_MODE_CHOICES;       // "#SET_OUTPUT_MODE"
extern const QStringList OUTPUT_LOCK_CHOICES;       // "#SET_OUTPUT_LOCK"
extern const QStringList COLOR_RANGE_CHOICES;       // "#SET_COLOR_RANGE"
extern const QStringList COLOR_TEMP_CHOICES;        // "#SET_COLOR_TEMP"
extern const QStringList EDGE_ENHANCE_CHOICES;      // "#SET_EDGE_ENHANCE"
extern const QStringList ASPECT_RATIO_CHOICES;      // "#SET_ASPECT_RATIO"
extern const QStringList TEST_PATTERN_CHOICES;      // "#SET_TEST_PATTERNS" (7; "Off" last)
extern const QStringList INPUT_SELECT_CHOICES;      // "#SET_INPUT_SELECT"
extern const QStringList EDID_MODE_CHOICES;         // "#SET_EDID_MODE"
extern const QStringList ZARRICK_EDID_MODE_CHOICES; // "#SET_EDID_MODE" (Zarrick pages)
extern const QStringList CAVROSH_EDID_MODE_CHOICES; // "#SET_EDID_MODE" (Cavrosh pages)
extern const QStringList JOVARIS_EDID_MODE_CHOICES; // "#SET_EDID_MODE" (Jovaris page)
extern const QStringList NORRITH_EDID_MODE_CHOICES; // "#SET_EDID_MODE" (Norrith and Surrow pages)
extern const QStringList LUNMORA_EDID_MODE_CHOICES; // "#SET_EDID_MODE" (splitter; entry 0 is empty)
extern const QStringList INPUT_HDCP_CHOICES;        // "#SET_INPUT_HDCP"
extern const QStringList OUTPUT_HDCP_CHOICES;       // "#SET_OUTPUT_HDCP 1" ... "#SET_OUTPUT_HDCP 8"
extern const QStringList SYNC_POLARITY_CHOICES;     // "#SET_HORZ_SYNC_POLARITY", "#SET_VERT_SYNC_POLARITY"
extern const QStringList ZARRICK_INPUT_NAMES;       // the four HDMI input names of the Zarrick EDID page
extern const QStringList SDI_OUTPUT_RES_CHOICES;    // "#SET_OUTPUT_RES", 22 entries
extern const QStringList OUTPUT_RES_CHOICES;        // "#SET_OUTPUT_RES", 45 entries; "Bypass" 20, "Auto-Detect" 21
extern const QStringList OUTPUT_RES_CHOICES_2;      // a copy of OUTPUT_RES_CHOICES (second group of the scaler page)
extern const QStringList TEST_PATTERN_IMAGES;       // 6 images, in the order of TEST_PATTERN_CHOICES ("Off" has none)

// ---------------------------------------------------------------------------------------------
// 5. Messages and reply markers.
extern const QString MSG_CONFIG_NOT_SUPPORTED;
extern const QString MSG_FW_CHECKSUM_FAILED;
extern const QString MSG_FW_NO_COMMUNICATION;
extern const QString MSG_FW_INTERRUPTED;
extern const QString MSG_FW_WRONG_FILE;
extern const QString REPLY_INVALID; // "invalid": a reply containing it (lower-cased) was rejected
extern const QString REPLY_WRONG;   // "wrong": a reply containing it (lower-cased) marks a failed command

// ---------------------------------------------------------------------------------------------
// 6. Values kept by single modules.
extern const QString SERIAL_UPDATE_INSTRUCTIONS; // four steps, each ended by " \r\n" except the last
extern const QString STATISTIC_PRODUCTS;         // "products"

// Item-data role under which a combo box's item model keeps an item's flags (Qt::UserRole - 1).
constexpr int COMBO_ITEM_FLAGS_ROLE = 255;
extern const QVariant COMBO_ITEM_DISABLED; // item flags 0: greyed out, not selectable
extern const QVariant COMBO_ITEM_ENABLED;  // item flags 33 (Qt::ItemIsSelectable | Qt::ItemIsEnabled)

// Case-sensitive, QRegExp::RegExp syntax. Matching on a shared const QRegExp is for the GUI
// thread (QRegExp keeps its last match inside); another thread takes a copy.
extern const QRegExp BLANK_LINE_END;   // "\n\r?\n$"
extern const QRegExp BLANK_LINE_START; // "^\r?\n\r?\n"

// Working sets: each call returns a new, empty container owned by the caller (see the top).
using NameSet = QSet<QString>;
using HexImageRecordMap = QMap<quint32, quint8>; // absolute start address -> byte count, ascending
NameSet TIMING_NAMES();
NameSet AUDIO_FORMAT_NAMES();
HexImageRecordMap HEX_IMAGE_RECORDS();

// ---------------------------------------------------------------------------------------------
// The rules that go with the values, as pure functions.

// Choice lists: the MyButtonGroup parameter of `entry`, the decimal text of its first position
// in `choices` (exact, case-sensitive); the empty text when it is not there or is empty (an
// empty entry makes no button).
QString choiceParam(const QStringList& choices, const QString& entry);
// The number of buttons a MyButtonGroup makes from `choices`: its non-empty entries.
int choiceButtonCount(const QStringList& choices);

// Audio format code -> name: the name for 1 to 20, the empty text for any other code.
QString audioNameOfCode(int code);
// Audio format name -> code: the code 1-20 whose name equals `name` exactly (case-sensitive),
// tried in code order; 0 when none does.
int audioCodeOfName(const QString& name);

// Greatest common divisor of two positive integers; 0 when either is below 1. Reduces resolutions
// to aspect ratios (the tables here, the EDID decoder and encoder, the catalogue loader).
int gcd(int a, int b);

// Standard timing: the vertical size for the horizontal size `hSize` and the two aspect bits
// (0 = 16:10, 1 = 4:3, 2 = 5:4, 3 = 16:9): hSize * vRatio / hRatio, integer division.
// Aspect bits outside 0-3 give 0.
int standardTimingVerticalSize(int hSize, int aspectBits);
// Standard timing: the aspect bits (0-3) for a resolution, found by reducing it by its greatest
// common divisor and taking the first of rows 0-3 with that ratio; -1 when none matches or a
// side is below 1 (such a timing cannot be a standard timing).
int standardTimingAspectCode(int hActive, int vActive);
// Timing generator: the row of all five whose ratio equals the reduced resolution (first match
// in table order), -1 when none does or a side is below 1.
int aspectRatioRow(int hPixels, int vLines);
// Timing generator: the vertical sync width of that row, or `noMatchLines` when no row matches
// (CVT prescribes 10 lines then).
int aspectVSyncLines(int hPixels, int vLines, int noMatchLines = 10);

// EDID manufacturer id (bytes 8-9 of the base block, big-endian): three letters packed as
// 'A'-'Z' = 1-26 in 5-bit fields, bits 14-10, 9-5 and 4-0; bit 15 is always 0. Lower case is
// upper-cased first, so "vlm" and "VLM" both give 0x598D (byte 8 = 0x59, byte 9 = 0x8D).
// Anything but exactly three ASCII letters gives 0 (no id) and sets *ok to false: invalid input
// never produces bits outside 0x7FFF. *ok is set to true for a valid id.
quint16 packEdidManufacturerId(const QString& id, bool* ok = nullptr);
// The reverse, as the EDID decoder shows it: each 5-bit field c becomes the character 0x40 + c
// (1 gives "A", 26 "Z"; 0 and 27-31, which are no letters, give "@" and "[" to "_", as
// edid-decode shows them). Bit 15 is ignored.
QString unpackEdidManufacturerId(quint16 packed);

// The firmware-update page's group test: `model` is exactly one of FIRMWARE_GROUP_MODELS.
bool isFirmwareGroupModel(const QString& model);

// A serial port's description begins with the short identifier `id` (case-sensitive). An empty
// id matches nothing.
bool portDescriptionMatches(const QString& description, const QString& id);

// Reply markers: the lower-cased reply contains REPLY_INVALID / REPLY_WRONG.
bool replyIsInvalid(const QString& reply);
bool replyIsWrong(const QString& reply);

#endif // CONSTANTS_H
