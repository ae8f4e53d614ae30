// Scaler controller: read-back of the generic scaler's Picture and Adjust pages.
//
// "#GET_PICTURE_SETTINGS" and "#GET_VIDEO_SETTINGS" answer every value of their page at once, one
// line each, in an order fixed per model; line N is read with the key of place N whatever it
// holds, so a line that is missing or out of place is skipped rather than read into the wrong
// control. The per-value slots read the same keys one query at a time and chain themselves; the
// pages use the bulk queries, the per-value chains are offered for whoever starts them.
//
// Readings: picture values and the phase are unsigned, the scan and the shifts signed; a value
// that is not a number reads 0. The settings record keeps 16-bit numbers.
#include "scaler.h"

#include "mybuttongroup.h"
#include "myrangeeditor.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>

#include <limits>

namespace {

enum class Field {
    Contrast,
    Brightness,
    Saturation,
    Hue,
    ColorRange,
    ColorTemp,
    BalanceRed,
    BalanceGreen,
    BalanceBlue,
    EdgeEnhancement,
    Sharpness,
    UnderOverScan,
    AspectRatio,
    HorizontalMirror,
    VerticalMirror,
    HorizontalShift,
    VerticalShift,
    Phase,
    ColorSpace,
    OutputMode,
    OutputLock,
};

// Bulk: a line of a whole-page reply; every value goes to the settings record too. Single: the
// reply to one value's own query.
enum class Source { Bulk, Single };

QString keyOf(Field field)
{
    switch (field) {
    case Field::Contrast: return QStringLiteral("PICTURE CONTRAST IS ");
    case Field::Brightness: return QStringLiteral("PICTURE BRIGHTNESS IS ");
    case Field::Saturation: return QStringLiteral("PICTURE SATURATION IS ");
    case Field::Hue: return QStringLiteral("PICTURE HUE IS ");
    case Field::ColorRange: return QStringLiteral("PICTURE COLOR RANGE IS ");
    case Field::ColorTemp: return QStringLiteral("PICTURE COLOR TEMPERATURE IS ");
    case Field::BalanceRed: return QStringLiteral("PICTURE COLOR BALANCE RED CHANNEL IS ");
    case Field::BalanceGreen: return QStringLiteral("PICTURE COLOR BALANCE GREEN CHANNEL IS ");
    case Field::BalanceBlue: return QStringLiteral("PICTURE COLOR BALANCE BLUE CHANNEL IS ");
    case Field::EdgeEnhancement: return QStringLiteral("PICTURE EDGE ENHANCEMENT IS ");
    case Field::Sharpness: return QStringLiteral("PICTURE SHARPNESS IS ");
    case Field::UnderOverScan: return QStringLiteral("UNDER/OVER SCAN IS ");
    case Field::AspectRatio: return QStringLiteral("ASPECT RATIO IS ");
    case Field::HorizontalMirror: return QStringLiteral("HORIZONTAL MIRROR IS ");
    case Field::VerticalMirror: return QStringLiteral("VERTICAL MIRROR IS ");
    case Field::HorizontalShift: return QStringLiteral("HORIZONTAL SHIFT IS ");
    case Field::VerticalShift: return QStringLiteral("VERTICAL SHIFT IS ");
    case Field::Phase: return QStringLiteral("PHASE IS ");
    case Field::ColorSpace: return QStringLiteral("OUTPUT COLOR SPACE IS ");
    case Field::OutputMode: return QStringLiteral("OUTPUT MODE IS ");
    case Field::OutputLock: return QStringLiteral("OUTPUT IS ");
    }
    return QString();
}

// The picture reply's order per model: the 3GSDI scaler (type 4) has no colour range; the other
// two report it fifth. No order is known for any other type: only the first four lines are read.
QList<Field> pictureOrder(int type)
{
    QList<Field> order = {Field::Contrast, Field::Brightness, Field::Saturation, Field::Hue};
    if (type == 5 || type == 6)
        order.append(Field::ColorRange);
    if (type == 4 || type == 5 || type == 6) {
        order.append({Field::ColorTemp, Field::BalanceRed, Field::BalanceGreen, Field::BalanceBlue,
                      Field::EdgeEnhancement, Field::Sharpness});
    }
    return order;
}

const QList<Field>& adjustOrder()
{
    static const QList<Field> order = {Field::UnderOverScan,  Field::AspectRatio,     Field::HorizontalMirror,
                                       Field::VerticalMirror, Field::HorizontalShift, Field::VerticalShift,
                                       Field::Phase};
    return order;
}

// Unsigned decimal for a control; kept within int so a huge number only pins the slider.
int unsignedReading(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok)
        return 0;
    return int(qMin(value, uint(std::numeric_limits<int>::max())));
}

int signedReading(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

// What the settings record keeps: a signed 16-bit number, 0 for anything that is none.
qint16 recordReading(const QString& text)
{
    bool ok = false;
    const short value = text.toShort(&ok, 10);
    return ok ? qint16(value) : qint16(0);
}

// The phase is read unsigned; one that does not fit the record's 16 bits is kept as 0.
qint16 recordPhase(const QString& text)
{
    const int value = unsignedReading(text);
    return value <= std::numeric_limits<qint16>::max() ? qint16(value) : qint16(0);
}

bool isOff(const QString& value)
{
    return value.toLower() == QLatin1String("off");
}

// The unit reports the scan as a percentage ("12%"); the number is what comes before the sign.
QString scanNumber(const QString& value)
{
    return value.section(QLatin1Char('%'), 0, 0).trimmed();
}

QStringList replyLines(const QString& reply)
{
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    return reply.split(lineEnd, Qt::SkipEmptyParts);
}

// Shows one value read from the unit in its control and, where it belongs there, in the record.
// Nothing here emits a command: the editors and grids are set without sending, and the three
// checkable buttons run slots that stay silent while `updating` is set.
void applyValue(Scaler& s, Ui_MainUI* ui, Field field, const QString& value, Source source)
{
    ScalerRecord& record = *s.settings;
    const bool bulk = source == Source::Bulk;
    auto pictureNumber = [&](MyRangeEditor* editor, qint16* cached) {
        editor->setValue(unsignedReading(value));
        if (bulk)
            *cached = recordReading(value);
    };
    auto signedNumber = [&](MyRangeEditor* editor, qint16* cached, const QString& number) {
        const int reading = isOff(value) ? 0 : signedReading(number);
        editor->setValue(reading);
        if (bulk)
            *cached = isOff(value) ? qint16(0) : recordReading(number);
    };
    auto choice = [&](MyButtonGroup* group, QString* cached, bool cachedAlways) {
        group->setCheckedByText(value);
        if (bulk || cachedAlways)
            *cached = value;
    };
    auto mirror = [&](QPushButton* button, bool* cached) {
        button->setChecked(!isOff(value));
        *cached = !isOff(value);
    };

    switch (field) {
    case Field::Contrast: pictureNumber(s.contrastEditor, &record.contrast); break;
    case Field::Brightness: pictureNumber(s.brightnessEditor, &record.brightness); break;
    case Field::Saturation: pictureNumber(s.saturationEditor, &record.saturation); break;
    case Field::Hue: pictureNumber(s.hueEditor, &record.hue); break;
    case Field::Sharpness: pictureNumber(s.sharpnessEditor, &record.sharpness); break;
    case Field::BalanceRed: pictureNumber(s.redEditor, &record.colorBalanceRed); break;
    case Field::BalanceGreen: pictureNumber(s.greenEditor, &record.colorBalanceGreen); break;
    case Field::BalanceBlue: pictureNumber(s.blueEditor, &record.colorBalanceBlue); break;
    case Field::ColorRange: choice(s.colorRangeGroup, &record.colorRange, false); break;
    case Field::ColorTemp:
        if (bulk && s.selectedDevice.type == 4)
            qDebug() << "TRACE PICTURE COLOR " << value;
        choice(s.colorTempGroup, &record.colorTemperature, false);
        break;
    case Field::EdgeEnhancement:
        choice(s.edgeEnhanceGroup, &record.edgeEnhancement, false);
        // Only "User" lets the unit take a sharpness; the edge-enhancement command enables the
        // controls when the user picks it, so a "User" read back leaves them as they are.
        if (bulk && value.toLower() != QLatin1String("user")) {
            ui->sharpnessSlider->setEnabled(false);
            ui->sharpnessText->setEnabled(false);
        }
        break;
    case Field::UnderOverScan: signedNumber(s.scanEditor, &record.underOverscan, scanNumber(value)); break;
    case Field::AspectRatio: choice(s.aspectRatioGroup, &record.aspectRatio, false); break;
    case Field::HorizontalMirror: mirror(ui->horizontalMirror, &record.horizontalMirror); break;
    case Field::VerticalMirror: mirror(ui->verticalMirror, &record.verticalMirror); break;
    case Field::HorizontalShift: signedNumber(s.horizontalShiftEditor, &record.horizontalShift, value); break;
    case Field::VerticalShift: signedNumber(s.verticalShiftEditor, &record.verticalShift, value); break;
    case Field::Phase: {
        // Phase 0 is the unit's automatic phase: the slider has nothing to set meanwhile.
        const bool automatic = value.toLower() == QLatin1String("auto");
        s.phaseEditor->setValue(automatic ? 0 : unsignedReading(value));
        ui->phaseSlider->setEnabled(!automatic);
        ui->phaseText->setEnabled(!automatic);
        ui->phaseAuto->setChecked(automatic);
        record.phase = automatic ? qint16(0) : recordPhase(value);
        break;
    }
    case Field::ColorSpace: choice(s.colorSpaceGroup, &record.colorSpaces, true); break;
    case Field::OutputMode: choice(s.outputModeGroup, &record.outputModes, true); break;
    case Field::OutputLock: {
        qint16 lock = 0;
        if (Scaler::outputLockReading(value, &lock)) {
            s.outputLockGroup->setCheckedByText(value);
            record.outputLock = lock;
        }
        break;
    }
    }
}

// Reads `field` from `text` (one line, or a whole one-value reply); a text that does not hold
// its key exactly once changes nothing.
void readField(Scaler& s, Ui_MainUI* ui, const QString& text, Field field, Source source)
{
    QString value;
    if (Scaler::valueAfterKey(text, keyOf(field), &value))
        applyValue(s, ui, field, value.trimmed(), source);
}

// A one-value reply: the whole trimmed reply holds the one key. `updating` is held while the
// value is shown, also when the chain was started without a refresh slot, so the mirror
// buttons do not send what was just read.
void readSingleValue(Scaler& s, Ui_MainUI* ui, Field field)
{
    s.replyText = s.replyText.trimmed();
    s.updating = true;
    readField(s, ui, s.replyText, field, Source::Single);
}

// The lines of a whole-page reply, read by place.
void readLines(Scaler& s, Ui_MainUI* ui, const QList<Field>& order)
{
    s.replyText = s.replyText.trimmed();
    s.updating = true;
    const QStringList lines = replyLines(s.replyText);
    qDebug() << "lines.size() = " << lines.size();
    for (int i = 0; i < lines.size() && i < order.size(); ++i)
        readField(s, ui, lines.at(i), order.at(i), Source::Bulk);
}

} // namespace

// ---- Pages --------------------------------------------------------------------------------------

void Scaler::refreshPictureData()
{
    beginReadBack("refreshPictureData", SLOT(parsePictureData()), QStringLiteral("#GET_PICTURE_SETTINGS"));
}

void Scaler::refreshAdjustData()
{
    beginReadBack("refreshAdjustData", SLOT(parseAdjustData()), QStringLiteral("#GET_VIDEO_SETTINGS"));
}

void Scaler::parsePictureData()
{
    if (readBackReplyMissing())
        return;
    readLines(*this, ui, pictureOrder(selectedDevice.type));
    endReadBack();
}

// The input decides which adjustments apply (the phase only to VGA), so the chain ends with it.
void Scaler::parseAdjustData()
{
    if (readBackReplyMissing())
        return;
    readLines(*this, ui, adjustOrder());
    endReadBack();
    refreshInputSelected();
}

// ---- One value at a time ------------------------------------------------------------------------

void Scaler::parseContrast()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::Contrast);
    chainNext(SLOT(parseBrightness()), QStringLiteral("#GET_BRIGHTNESS"));
}

void Scaler::parseBrightness()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::Brightness);
    chainNext(SLOT(parseSaturation()), QStringLiteral("#GET_SATURATION"));
}

void Scaler::parseSaturation()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::Saturation);
    chainNext(SLOT(parseHue()), QStringLiteral("#GET_HUE"));
}

void Scaler::parseHue()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::Hue);
    chainNext(SLOT(parseSharpness()), QStringLiteral("#GET_SHARPNESS"));
}

// The colour range exists on the two VGA-input models only. For a type with no known picture
// order the chain ends here, pages given back.
void Scaler::parseSharpness()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::Sharpness);
    if (selectedDevice.type == 5 || selectedDevice.type == 6)
        chainNext(SLOT(parseColorRange()), QStringLiteral("#GET_COLOR_RANGE"));
    else if (selectedDevice.type == 4)
        chainNext(SLOT(parseColorTemp()), QStringLiteral("#GET_COLOR_TEMP"));
    else
        endReadBack();
}

void Scaler::parseColorRange()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::ColorRange);
    chainNext(SLOT(parseColorTemp()), QStringLiteral("#GET_COLOR_TEMP"));
}

void Scaler::parseColorTemp()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::ColorTemp);
    chainNext(SLOT(parseColorBalanceRed()), QStringLiteral("#GET_COLOR_BALANCE"), QStringLiteral("0"));
}

void Scaler::parseColorBalanceRed()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::BalanceRed);
    chainNext(SLOT(parseColorBalanceGreen()), QStringLiteral("#GET_COLOR_BALANCE"), QStringLiteral("1"));
}

void Scaler::parseColorBalanceGreen()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::BalanceGreen);
    chainNext(SLOT(parseColorBalanceBlue()), QStringLiteral("#GET_COLOR_BALANCE"), QStringLiteral("2"));
}

void Scaler::parseColorBalanceBlue()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::BalanceBlue);
    chainNext(SLOT(parseEdgeEnhancement()), QStringLiteral("#GET_EDGE_ENHANCE"));
}

void Scaler::parseEdgeEnhancement()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::EdgeEnhancement);
    endReadBack();
}

void Scaler::parseUnderOverScan()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::UnderOverScan);
    chainNext(SLOT(parseAspectRatio()), QStringLiteral("#GET_ASPECT_RATIO"));
}

void Scaler::parseAspectRatio()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::AspectRatio);
    chainNext(SLOT(parseHorizontalMirror()), QStringLiteral("#GET_HORIZONTAL_MIRROR"));
}

void Scaler::parseHorizontalMirror()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::HorizontalMirror);
    chainNext(SLOT(parseVerticalMirror()), QStringLiteral("#GET_VERTICAL_MIRROR"));
}

void Scaler::parseVerticalMirror()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::VerticalMirror);
    chainNext(SLOT(parseHorizontalShift()), QStringLiteral("#GET_HORIZONTAL_SHIFT"));
}

void Scaler::parseHorizontalShift()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::HorizontalShift);
    chainNext(SLOT(parseVerticalShift()), QStringLiteral("#GET_VERTICAL_SHIFT"));
}

void Scaler::parseVerticalShift()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::VerticalShift);
    endReadBack();
}

void Scaler::parseColorSpace()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::ColorSpace);
    chainNext(SLOT(parseOutputMode()), QStringLiteral("#GET_OUTPUT_MODE"));
}

void Scaler::parseOutputMode()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::OutputMode);
    endReadBack();
}

void Scaler::parseOutputLock()
{
    if (readBackReplyMissing())
        return;
    readSingleValue(*this, ui, Field::OutputLock);
    endReadBack();
}
