#include "edidformbinder.h"

#include "audioformatmodel.h"
#include "constants.h"
#include "timingmodel.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <array>

namespace EdidFormBinder {

namespace {

// Sets a toggle without emitting anything. A button of an exclusive group cannot be unchecked
// directly; the group lets go of it for the moment.
void setToggle(QAbstractButton* b, bool on)
{
    if (b->isChecked() == on)
        return;
    const QSignalBlocker blocker(b);
    QButtonGroup* group = b->group();
    if (!on && group && group->exclusive()) {
        group->setExclusive(false);
        b->setChecked(false);
        group->setExclusive(true);
    } else {
        b->setChecked(on);
    }
}

void setText(QLineEdit* e, const QString& text)
{
    if (e->text() == text)
        return;
    const QSignalBlocker blocker(e);
    e->setText(text);
}

void setIndex(QComboBox* box, int index)
{
    if (index < 0 || index >= box->count() || box->currentIndex() == index)
        return;
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(index);
}

// One exclusive choice: button k stands for value k + 1 of the enum (value 0 is Unset).
template <typename Enum, size_t N>
void applyChoice(Enum value, const std::array<QAbstractButton*, N>& buttons)
{
    const int v = int(value);
    for (size_t k = 0; k < N; ++k) {
        if (int(k) + 1 != v)
            setToggle(buttons[k], false);
    }
    if (v >= 1 && v <= int(N))
        setToggle(buttons[size_t(v - 1)], true);
}

template <typename Enum, size_t N>
Enum readChoice(const std::array<QAbstractButton*, N>& buttons)
{
    for (size_t k = 0; k < N; ++k) {
        if (buttons[k]->isChecked())
            return Enum(int(k) + 1);
    }
    return Enum(0);
}

std::array<QAbstractButton*, 2> signalTypeButtons(Ui_MainUI* ui) { return {ui->analogRadio, ui->digitalRadio}; }
std::array<QAbstractButton*, 3> interfaceButtons(Ui_MainUI* ui) { return {ui->dviRadio, ui->hdmiRadio, ui->dpRadio}; }
std::array<QAbstractButton*, 5> depthButtons(Ui_MainUI* ui)
{
    return {ui->eightBitsPPC, ui->tenBitsPPC, ui->twelveBitsPPC, ui->fourteenBitsPPC, ui->sixteenBitsPPC};
}
std::array<QAbstractButton*, 4> levelButtons(Ui_MainUI* ui)
{
    return {ui->signalLevel1, ui->signalLevel2, ui->signalLevel3, ui->signalLevel4};
}
std::array<QAbstractButton*, 2> setupButtons(Ui_MainUI* ui) { return {ui->videoSetup1, ui->videoSetup2}; }
std::array<QAbstractButton*, 4> colorTypeButtons(Ui_MainUI* ui)
{
    return {ui->monochromeGrayscale, ui->rgbColor, ui->nonrgbColor, ui->undefinedColor};
}
std::array<QAbstractButton*, 2> sizeButtons(Ui_MainUI* ui) { return {ui->edidSize128, ui->edidSize256}; }

std::array<QLineEdit*, 8> chromaticityFields(Ui_MainUI* ui)
{
    return {ui->redX, ui->redY, ui->greenX, ui->greenY, ui->blueX, ui->blueY, ui->whiteX, ui->whiteY};
}
std::array<QString*, 8> chromaticityValues(EdidState* s)
{
    return {&s->redX, &s->redY, &s->greenX, &s->greenY, &s->blueX, &s->blueY, &s->whiteX, &s->whiteY};
}

struct Toggle
{
    QAbstractButton* button;
    bool* value;
};

// Every plain toggle of the pages with the state member it shows.
QList<Toggle> toggles(Ui_MainUI* ui, EdidState* s)
{
    return {
        {ui->separateSync, &s->separateSync},
        {ui->compositeSyncHoriz, &s->compositeSyncHoriz},
        {ui->compositeSyncGreen, &s->compositeSyncGreen},
        {ui->serrationVertSync, &s->serrationVertSync},
        {ui->standbyMode, &s->standbyMode},
        {ui->suspendMode, &s->suspendMode},
        {ui->activeOff, &s->activeOff},
        {ui->ycbcr422Checkbox, &s->ycbcr422},
        {ui->underscan, &s->underscan},
        {ui->basicAudio, &s->basicAudio},
        {ui->speakerFL, &s->speakerFL},
        {ui->speakerFR, &s->speakerFR},
        {ui->speakerLFE, &s->speakerLFE},
        {ui->speakerFC, &s->speakerFC},
        {ui->speakerRL, &s->speakerRL},
        {ui->speakerRR, &s->speakerRR},
        {ui->speakerRC, &s->speakerRC},
        {ui->speakerFLC, &s->speakerFLC},
        {ui->speakerFRC, &s->speakerFRC},
        {ui->speakerRLC, &s->speakerRLC},
        {ui->speakerRRC, &s->speakerRRC},
        {ui->speakerFLW, &s->speakerFLW},
        {ui->speakerFRW, &s->speakerFRW},
        {ui->speakerFLH, &s->speakerFLH},
        {ui->speakerFRH, &s->speakerFRH},
        {ui->speakerTC, &s->speakerTC},
        {ui->speakerFCH, &s->speakerFCH},
        {ui->supportsAI, &s->supportsAI},
        {ui->hdmi48bitspixel, &s->dc48bit},
        {ui->hdmi36bitspixel, &s->dc36bit},
        {ui->hdmi30bitspixel, &s->dc30bit},
        {ui->hdmiYCrCb444, &s->dcY444},
        {ui->supportsDVI, &s->dviDual},
        {ui->graphicsContent, &s->graphicsContent},
        {ui->photoContent, &s->photoContent},
        {ui->cinemaContent, &s->cinemaContent},
        {ui->gameContent, &s->gameContent},
        {ui->threeDPresent, &s->threeDPresent},
        {ui->colorimetry0, &s->colorimetry[0]},
        {ui->colorimetry1, &s->colorimetry[1]},
        {ui->colorimetry2, &s->colorimetry[2]},
        {ui->colorimetry3, &s->colorimetry[3]},
        {ui->colorimetry4, &s->colorimetry[4]},
        {ui->colorimetry5, &s->colorimetry[5]},
        {ui->colorimetry6, &s->colorimetry[6]},
        {ui->colorimetry7, &s->colorimetry[7]},
        {ui->colorimetry8, &s->colorimetry[8]},
        {ui->enableHDR, &s->enableHdr},
        {ui->hdroption1, &s->hdrSdr},
        {ui->hdroption2, &s->hdrHdr},
        {ui->hdroption3, &s->hdrSmpte2084},
    };
}

struct TextField
{
    QLineEdit* edit;
    QString* value;
};

QList<TextField> textFields(Ui_MainUI* ui, EdidState* s)
{
    return {
        {ui->displaySize, &s->displaySize},
        {ui->monitorName, &s->monitorName},
        {ui->maxTMDSClock, &s->maxTmdsClock},
        {ui->latencyProgressiveVideo, &s->latencyProgressiveVideo},
        {ui->latencyProgressiveAudio, &s->latencyProgressiveAudio},
        {ui->latencyInterlacedVideo, &s->latencyInterlacedVideo},
        {ui->latencyInterlacedAudio, &s->latencyInterlacedAudio},
        {ui->contentMaxLuminance, &s->contentMaxLuminance},
        {ui->contentMaxFrameAvgLuminance, &s->contentMaxFrameAvgLuminance},
        {ui->contentMinLuminance, &s->contentMinLuminance},
    };
}

std::array<QLineEdit*, 4> addressFields(Ui_MainUI* ui) { return {ui->addressA, ui->addressB, ui->addressC, ui->addressD}; }

std::array<QPushButton*, 16> vicButtons(Ui_MainUI* ui)
{
    return {ui->firstVIC,      ui->secondVIC,     ui->thirdVIC,      ui->fourthVIC,
            ui->fifthVIC,      ui->sixthVIC,      ui->seventhVIC,    ui->eighthVIC,
            ui->ninthVIC,      ui->tenthVIC,      ui->eleventhVIC,   ui->twelfthVIC,
            ui->thirteenthVIC, ui->fourteenthVIC, ui->fifteenthVIC,  ui->sixteenthVIC};
}

// The eight 3D format buttons with their bit of a 3D structure word.
struct FormatButton
{
    QAbstractButton* button;
    int bit;
};
QList<FormatButton> formatButtons(Ui_MainUI* ui)
{
    return {{ui->framePacking, 0x001},   {ui->fieldAlternative, 0x002}, {ui->lineAlternative, 0x004},
            {ui->sideBySideFull, 0x008}, {ui->depth, 0x010},            {ui->depthGraphics, 0x020},
            {ui->topAndBottom, 0x040},   {ui->sideBySideHalf, 0x100}};
}

} // namespace

QString formatTimingText(const Timing& t)
{
    QString a;
    if (t.hActive != 0 && t.vActive != 0) {
        const int lines = t.ip ? t.vActive * 2 : t.vActive;
        const QString aspect =
            t.hAspect != 0 ? QStringLiteral("(%1:%2)").arg(t.hAspect).arg(t.vAspect) : QString();
        a = QString::number(t.hActive) + QLatin1Char('x') + QString::number(lines)
            + (t.ip ? QLatin1Char('i') : QLatin1Char('p')) + aspect;
        const int spaces = 19 - QString::number(t.hActive).size() - QString::number(lines).size() - aspect.size();
        a += QString(qMax(0, spaces), QLatin1Char(' '));
    } else {
        a = QString(19, QLatin1Char(' '));
    }
    QString b;
    if (t.fieldRate != 0) {
        const QString rate = QString::number(t.fieldRate);
        b = rate + QStringLiteral("Hz") + QString(qMax(0, 6 - rate.size()), QLatin1Char(' '));
    } else {
        b = QString(8, QLatin1Char(' '));
    }
    return a + b;
}

QString timingName(const Timing& t)
{
    if (!t.name.isEmpty()) {
        if (t.type.trimmed().isEmpty())
            return QStringLiteral("Custom  ") + t.name;
        return t.type + QLatin1Char(' ') + t.name;
    }
    QString kind;
    if (t.type.isNull())
        kind = QString(8, QLatin1Char(' '));
    else if (t.type.size() > 7)
        kind = t.type.left(6) + QChar(0x2026) + QLatin1Char(' ');
    else
        kind = t.type.leftJustified(8, QLatin1Char(' '));
    const QString vic = t.vic != 0 ? QString::number(t.vic).leftJustified(7, QLatin1Char(' ')) : QString(7, QLatin1Char(' '));
    return kind + vic + formatTimingText(t);
}

QString vicSlotLabel(const Timing& t)
{
    return QStringLiteral("%1").arg(t.vic, -4) + formatTimingText(t);
}

int vicSlotCount(Ui_MainUI* ui)
{
    return qBound(0, ui->vic3Ddropdown->count() - 1, 16);
}

int vicOfSlot(Ui_MainUI* ui, int slot)
{
    if (slot < 0 || slot >= 16)
        return 0;
    const QString text = vicButtons(ui)[size_t(slot)]->text();
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0).toInt();
}

bool addVicSlot(Ui_MainUI* ui, const Timing& t)
{
    if (t.type != TIMING_TYPE_CEA)
        return false;
    const int n = ui->vic3Ddropdown->count();
    if (n < 1 || n > 16)
        return false;
    const QString label = vicSlotLabel(t);
    QPushButton* b = vicButtons(ui)[size_t(n - 1)];
    b->setText(label);
    b->show();
    const QSignalBlocker blocker(ui->vic3Ddropdown);
    ui->vic3Ddropdown->addItem(label);
    return true;
}

void clearVicSlots(Ui_MainUI* ui)
{
    {
        const QSignalBlocker blocker(ui->vic3Ddropdown);
        while (ui->vic3Ddropdown->count() > 1)
            ui->vic3Ddropdown->removeItem(ui->vic3Ddropdown->count() - 1);
    }
    for (QPushButton* b : vicButtons(ui)) {
        const QSignalBlocker blocker(b);
        b->setText(QString());
        b->setChecked(false);
        b->setEnabled(false);
        b->hide();
    }
}

void applyInterfaceChoices(const EdidState& state, Ui_MainUI* ui)
{
    applyChoice(state.signalType, signalTypeButtons(ui));
    applyChoice(state.digitalInterface, interfaceButtons(ui));
    applyChoice(state.colorBitDepth, depthButtons(ui));
    applyChoice(state.edidSize, sizeButtons(ui));
    setToggle(ui->rgb444Checkbox, state.rgb444);
    setToggle(ui->ycbcr444Checkbox, state.ycbcr444);
}

void readInterfaceChoices(Ui_MainUI* ui, EdidState* s)
{
    s->signalType = readChoice<EdidState::SignalType>(signalTypeButtons(ui));
    s->digitalInterface = readChoice<EdidState::DigitalInterface>(interfaceButtons(ui));
    s->colorBitDepth = readChoice<EdidState::ColorBitDepth>(depthButtons(ui));
    s->edidSize = readChoice<EdidState::EdidSize>(sizeButtons(ui));
    s->rgb444 = ui->rgb444Checkbox->isChecked();
    s->ycbcr444 = ui->ycbcr444Checkbox->isChecked();
}

void applyStateToForm(const EdidState& state, Ui_MainUI* ui, TimingModel* timings, AudioFormatModel* audio)
{
    // The helpers take the members by pointer; applying only reads them.
    EdidState s = state;

    applyInterfaceChoices(s, ui);
    applyChoice(s.signalLevel, levelButtons(ui));
    applyChoice(s.videoSetup, setupButtons(ui));
    applyChoice(s.colorType, colorTypeButtons(ui));
    for (const Toggle& t : toggles(ui, &s))
        setToggle(t.button, *t.value);
    for (const TextField& f : textFields(ui, &s))
        setText(f.edit, *f.value);

    setIndex(ui->aspectRatio, s.aspectRatio);
    setIndex(ui->hdmiImageSize, s.hdmiImageSize);
    // The preset first: choosing one fills the eight fields, which then get the state's values.
    setIndex(ui->chromaticityDropdown, s.chromaticityPreset);
    const auto fields = chromaticityFields(ui);
    const auto values = chromaticityValues(&s);
    for (size_t i = 0; i < fields.size(); ++i)
        setText(fields[i], *values[i]);

    const auto address = addressFields(ui);
    for (size_t i = 0; i < address.size(); ++i)
        setText(address[i], s.hdmiVsdbPresent ? QString::number(s.physicalAddress[i]) : QString());

    if (s.maxTmdsClockAuto)
        setToggle(ui->maxTMDSClockAuto, true);

    // The audio formats' frame follows basic audio, as the flags byte says.
    ui->audioFormatFrame->setEnabled(s.basicAudio);

    if (timings) {
        timings->clear();
        for (int i = 0; i < s.timings.size(); ++i)
            timings->insertTiming(i, s.timings.at(i));
    }
    if (audio) {
        audio->clear();
        for (int i = 0; i < s.audioFormats.size(); ++i)
            audio->insertFormat(i, s.audioFormats.at(i));
    }

    // The 3D page: the VIC slots, the all-VIC structure on "MULTI" and the VICs it applies to.
    clearVicSlots(ui);
    for (const Timing& t : s.vicSlots)
        addVicSlot(ui, t);
    {
        const QSignalBlocker blocker(ui->vic3Ddropdown);
        ui->vic3Ddropdown->setCurrentIndex(0);
    }
    const auto buttons = vicButtons(ui);
    for (int i = 0; i < 16; ++i) {
        setToggle(buttons[size_t(i)], s.threeDMask != -1 && (s.threeDMask >> i & 1));
        // On "MULTI" the VIC buttons choose the VICs the all-VIC structure applies to.
        buttons[size_t(i)]->setEnabled(true);
    }
    const int all = s.threeDStructureAll == -1 ? 0 : s.threeDStructureAll;
    for (const FormatButton& f : formatButtons(ui))
        setToggle(f.button, all & f.bit);
}

void readStateFromForm(Ui_MainUI* ui, const TimingModel* timings, const AudioFormatModel* audio, EdidState* base)
{
    EdidState& s = *base;
    readInterfaceChoices(ui, &s);
    s.signalLevel = readChoice<EdidState::SignalLevel>(levelButtons(ui));
    s.videoSetup = readChoice<EdidState::VideoSetup>(setupButtons(ui));
    s.colorType = readChoice<EdidState::ColorType>(colorTypeButtons(ui));
    for (const Toggle& t : toggles(ui, &s))
        *t.value = t.button->isChecked();
    for (const TextField& f : textFields(ui, &s))
        *f.value = f.edit->text();
    s.monitorNameSet = !s.monitorName.isEmpty();

    s.aspectRatio = ui->aspectRatio->currentIndex();
    s.hdmiImageSize = ui->hdmiImageSize->currentIndex();
    s.chromaticityPreset = ui->chromaticityDropdown->currentIndex();
    const auto fields = chromaticityFields(ui);
    const auto values = chromaticityValues(&s);
    for (size_t i = 0; i < fields.size(); ++i)
        *values[i] = fields[i]->text();

    const auto address = addressFields(ui);
    for (size_t i = 0; i < address.size(); ++i)
        s.physicalAddress[i] = address[i]->text().toInt();

    s.maxTmdsClockAuto = ui->maxTMDSClockAuto->isChecked();

    if (timings) {
        s.timings.clear();
        for (int row = 0; row < timings->rowCount(); ++row)
            s.timings.append(timings->getTiming(row));
        // The detailed timings head the table.
        s.dtdCount = 0;
        while (s.dtdCount < s.timings.size() && s.timings.at(s.dtdCount).dtd)
            ++s.dtdCount;
    }
    if (audio) {
        s.audioFormats.clear();
        for (int row = 0; row < audio->rowCount(); ++row)
            s.audioFormats.append(audio->formatAt(row));
    }

    // The VIC slots, by their VIC: the slot the base had for it, else the table row of that CEA
    // timing (a slot whose row is gone keeps its number only).
    const QList<Timing> before = s.vicSlots;
    s.vicSlots.clear();
    for (int i = 0; i < vicSlotCount(ui); ++i) {
        const int vic = vicOfSlot(ui, i);
        Timing slot;
        bool found = false;
        for (const Timing& t : before) {
            if (t.vic == vic) {
                slot = t;
                found = true;
                break;
            }
        }
        for (int k = 0; !found && k < s.timings.size(); ++k) {
            if (s.timings.at(k).type == TIMING_TYPE_CEA && s.timings.at(k).vic == vic) {
                slot = s.timings.at(k);
                found = true;
            }
        }
        if (!found) {
            slot.type = TIMING_TYPE_CEA;
            slot.vic = vic;
        }
        s.vicSlots.append(slot);
    }
}

} // namespace EdidFormBinder
