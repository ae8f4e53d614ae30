// Scaler controller: the frame of the generic scaler's read-back chains. A refresh slot starts a
// chain with its first query; each parse slot reads its reply and sends the next query; the last
// one gives the link back. Every way out of a chain (its last reply, a failed send, a unit that
// stops answering) leaves the pages enabled and `updating` cleared, so no page stays locked.
#include "scaler.h"

#include "constants.h"
#include "mybuttongroup.h"
#include "timingpreset.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>

bool Scaler::beginReadBack(const char* name, const char* parseSlot, const QString& query, const QString& arg)
{
    updating = true;
    qDebug() << "disable tabs" << name;
    ui->ConfiguratorTabs->setEnabled(false);
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    connect(this, SIGNAL(commandComplete()), this, parseSlot);
    sendCommand(query, arg, QString(), 500);
    if (!lastSendFailed)
        return true;
    // The sender has said why; only the pages are left to give back.
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    endReadBack();
    return false;
}

bool Scaler::chainNext(const char* parseSlot, const QString& query, const QString& arg)
{
    availability = AVAILABLE;
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    connect(this, SIGNAL(commandComplete()), this, parseSlot);
    sendCommand(query, arg, QString(), 500);
    if (!lastSendFailed)
        return true;
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    endReadBack();
    return false;
}

void Scaler::endReadBack()
{
    // Nothing may still read a later exchange's reply as this chain's.
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    setAvailable();
    updating = false;
}

void Scaler::abortReadBack(const QString& why)
{
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    endReadBack();
    showError(why);
}

bool Scaler::readBackReplyMissing()
{
    if (!lastExchangeTimedOut)
        return false;
    abortReadBack(noResponseMessage());
    return true;
}

bool Scaler::valueAfterKey(const QString& reply, const QString& key, QString* value)
{
    const QStringList pieces = reply.split(key, Qt::KeepEmptyParts, Qt::CaseInsensitive);
    if (pieces.size() != 2)
        return false;
    *value = pieces.at(1);
    return true;
}

// ---- The chains of the Output, System, Test Patterns, Timings and EDID pages ------------------
//
// Output:        #GET_FIRMWARE_VERSION, #GET_VIDEO_OUTPUT, then #GET_INPUT_SELECT as a chain of
//                its own
// System:        #GET_OSD_TIMEOUT, #GET_DISPLAY_NOTIFY, #GET_INPUT_RESOLUTION,
//                #GET_FIRMWARE_VERSION, #GET_EDID_MODE, #GET_INPUT_SELECT
// Test Patterns: #GET_TEST_PATTERNS
// Timings:       #GET_TIMING_PRESET n, once per preset until the page's Refresh
// EDID:          #GET_INPUT_SELECT (two-input scaler); #GET_EDID_MODE 0 / 1 for the export and
//                the window's "Refresh EDID modes"
//
// A reply that does not hold its value changes nothing and is reported; the chain goes on,
// except after the firmware version, which the rest of a chain is not read without.

namespace {
const QString firmwareQuery = QStringLiteral("#GET_FIRMWARE_VERSION");
const QString videoOutputQuery = QStringLiteral("#GET_VIDEO_OUTPUT");
const QString inputSelectQuery = QStringLiteral("#GET_INPUT_SELECT");
const QString osdTimeoutQuery = QStringLiteral("#GET_OSD_TIMEOUT");
const QString displayNotifyQuery = QStringLiteral("#GET_DISPLAY_NOTIFY");
const QString inputResolutionQuery = QStringLiteral("#GET_INPUT_RESOLUTION");
const QString edidModeQuery = QStringLiteral("#GET_EDID_MODE");
const QString testPatternsQuery = QStringLiteral("#GET_TEST_PATTERNS");
const QString timingPresetQuery = QStringLiteral("#GET_TIMING_PRESET");

// A setting's value is a short name or number; anything longer is not a value of this unit.
const int valueLimit = 64;

// The value after `key` up to the end of its line, trimmed; false for a reply without the key
// (or with it twice), an empty value or one too long to be a setting.
bool readValue(const QString& reply, const QString& key, QString* value)
{
    QString rest;
    if (!Scaler::valueAfterKey(reply, key, &rest))
        return false;
    const int lineEnd = rest.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (lineEnd >= 0)
        rest.truncate(lineEnd);
    rest = rest.trimmed();
    if (rest.isEmpty() || rest.size() > valueLimit)
        return false;
    *value = rest;
    return true;
}

// The lines of a multi-line reply, empty ones dropped.
QStringList replyLines(const QString& reply)
{
    return reply.split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
}

// A number the record keeps in 16 bits.
bool readShort(const QString& text, qint16* number)
{
    bool ok = false;
    const short n = text.toShort(&ok, 10);
    if (ok)
        *number = n;
    return ok;
}

// 0 for "Internal", 1 for "Custom" (letter case ignored; "Custom" wins when both stand in the
// reply); false when neither does.
bool readEdidMode(const QString& reply, qint16* mode)
{
    bool found = false;
    if (reply.contains(QLatin1String("Internal"), Qt::CaseInsensitive)) {
        *mode = 0;
        found = true;
    }
    if (reply.contains(QLatin1String("Custom"), Qt::CaseInsensitive)) {
        *mode = 1;
        found = true;
    }
    return found;
}

// The timing lines of a preset reply: "key = value" with one of the unit's timing keys.
bool holdsPresetTiming(const QString& reply)
{
    static const QStringList keys = {
        QStringLiteral("Hor Scan"),     QStringLiteral("Hor Active"),   QStringLiteral("Hor Ft Porch"),
        QStringLiteral("Hor Sync W"),   QStringLiteral("Hor Bk Porch"), QStringLiteral("Hor Total"),
        QStringLiteral("Hor Polarity"), QStringLiteral("Pixel Clk"),    QStringLiteral("Ver Refresh"),
        QStringLiteral("Ver Active"),   QStringLiteral("Ver Ft Porch"), QStringLiteral("Ver Sync W"),
        QStringLiteral("Ver Bk Porch"), QStringLiteral("Ver Total"),    QStringLiteral("Ver Polarity")};
    for (const QString& line : replyLines(reply)) {
        const QStringList pieces = line.trimmed().split(QStringLiteral(" = "));
        if (pieces.size() != 2)
            continue;
        for (const QString& key : keys) {
            if (pieces.at(0).contains(key))
                return true;
        }
    }
    return false;
}

bool isTwoInputScaler(const Device& device)
{
    return device.name == NAME_SCALER_HDMI_VGA_TO_3GSDI;
}
} // namespace

void Scaler::readBackReplyUnread(const QString& query)
{
    qDebug() << "read-back: no value in the reply to" << query << replyText.left(200);
    showError(QStringLiteral("Unexpected reply to %1").arg(query));
}

bool Scaler::takeFirmwareVersion()
{
    replyText = replyText.trimmed();
    const QString key = QStringLiteral("FIRMWARE VERSION IS V");
    QString version;
    if (!readValue(replyText, key, &version)) {
        qDebug() << "parts size not 2 return" << replyText.split(key, Qt::KeepEmptyParts, Qt::CaseInsensitive).size();
        abortReadBack(QStringLiteral("Unexpected reply to %1").arg(firmwareQuery));
        return false;
    }
    ui->versionInfo->setPlainText(replyText);
    ui->updateCurrentFirmware->setTextFormat(Qt::PlainText);
    ui->updateCurrentFirmware->setText(version);
    emit setFirmwareColorSignal();
    return true;
}

// ---- Refresh slots ----------------------------------------------------------------------------

void Scaler::refreshOutputData()
{
    beginReadBack("refreshOutputData", SLOT(parseFirmwareVersionOutputData()), firmwareQuery);
}

void Scaler::refreshSystemData()
{
    beginReadBack("refreshSystemData", SLOT(parseOSDTimeout()), osdTimeoutQuery);
}

void Scaler::refreshTestPatternData()
{
    beginReadBack("refreshTestPatternData", SLOT(parseTestPatterns()), testPatternsQuery);
}

void Scaler::refreshInputSelected()
{
    beginReadBack("refreshInputSelected", SLOT(parseInputSelected()), inputSelectQuery);
}

void Scaler::refreshEDIDModeVGA()
{
    beginReadBack("refreshEDIDModeVGA", SLOT(parseEDIDModeVGA()), edidModeQuery, QStringLiteral("0"));
}

void Scaler::refreshEDIDModeHDMI()
{
    beginReadBack("refreshEDIDModeHDMI", SLOT(parseEDIDModeHDMI()), edidModeQuery, QStringLiteral("1"));
}

void Scaler::refreshEDIDMode()
{
    // The two-input scaler has a mode per input: its EDID page reads the one chosen in the
    // EDID source list.
    if (isTwoInputScaler(selectedDevice)) {
        multiEDIDModeSet();
        return;
    }
    beginReadBack("refreshEDIDMode", SLOT(parseEDIDMode()), edidModeQuery);
}

// The link is not forced free here: sendCommand() waits for an exchange still holding it.
void Scaler::doFirmwareVersionShort()
{
    qDebug() << "doFirmwareVersionShort";
    beginReadBack("doFirmwareVersionShort", SLOT(parseFirmwareVersion()), firmwareQuery);
}

void Scaler::refreshTimingData()
{
    for (TimingPreset* preset : qAsConst(presets))
        preset->setEnabledFlag(true);
    presetTabChanged(ui->timingPresets->currentIndex());
}

// A preset is read the first time its tab is shown after start-up or after the page's Refresh.
// One whose read failed is due again, so opening its tab once more retries it.
void Scaler::presetTabChanged(int index)
{
    TimingPreset* preset = presets.value(index);
    if (!preset || !preset->isEnabledFlag())
        return;
    preset->setEnabledFlag(false);
    presetBeingRead = index;
    if (!beginReadBack("presetTabChanged", SLOT(parsePresetSettings()), timingPresetQuery, QString::number(index))) {
        preset->setEnabledFlag(true);
        presetBeingRead = -1;
    }
}

// ---- Parse slots ------------------------------------------------------------------------------

void Scaler::parseFirmwareVersionOutputData()
{
    if (readBackReplyMissing() || !takeFirmwareVersion())
        return;
    chainNext(SLOT(parseOutputData()), videoOutputQuery);
}

void Scaler::parseFirmwareVersion()
{
    if (readBackReplyMissing() || !takeFirmwareVersion())
        return;
    chainNext(SLOT(parseEDIDMode()), edidModeQuery);
}

// One value per line, in a fixed order; line N is read with the key of line N whatever it
// holds. The second line is the colour space on the HDMI-output scaler, the output lock on the
// two-input one, and means nothing on the DVI one.
void Scaler::parseOutputData()
{
    if (readBackReplyMissing())
        return;
    replyText = replyText.trimmed();
    const QStringList lines = replyLines(replyText);
    bool allRead = true;
    QString value;

    if (readValue(lines.value(0), QStringLiteral("OUTPUT RESOLUTION IS "), &value)) {
        ui->scalerOutputRes->setText(value);
        if (currentOutputResGroup)
            currentOutputResGroup->setCheckedByText(value);
        qDebug() << "TRACE OUTPUT RES" << value;
        settings->outputResolution = value;
    } else {
        allRead = false;
    }

    if (selectedDevice.type == 6) {
        if (readValue(lines.value(1), QStringLiteral("OUTPUT COLOR SPACE IS "), &value)) {
            colorSpaceGroup->setCheckedByText(value);
            settings->colorSpaces = value;
        } else {
            allRead = false;
        }
    } else if (selectedDevice.type == 4) {
        qint16 lock = 0;
        if (readValue(lines.value(1), QStringLiteral("OUTPUT IS "), &value) && Scaler::outputLockReading(value, &lock)) {
            outputLockGroup->setCheckedByText(value);
            settings->outputLock = lock;
        } else {
            allRead = false;
        }
    }

    if (readValue(lines.value(2), QStringLiteral("OUTPUT MODE IS "), &value)) {
        outputModeGroup->setCheckedByText(value);
        settings->outputModes = value;
    } else {
        allRead = false;
    }

    if (!allRead)
        readBackReplyUnread(videoOutputQuery);
    endReadBack();
    refreshInputSelected();
}

// The end of the Output, Adjust, System and EDID chains. "VGA" and "HDMI" are looked for as
// they stand (capitals); a reply with both ends in the HDMI state. Only the two-input scaler has
// an HDMI input: on the others "HDMI" names no input and is passed over.
void Scaler::parseInputSelected()
{
    if (readBackReplyMissing())
        return;
    replyText = replyText.trimmed();
    endReadBack();

    bool understood = false;
    auto pickEdidSource = [this](int entry) {
        if (entry < ui->selectEDIDFromDevice->count())
            ui->selectEDIDFromDevice->setCurrentIndex(entry);
    };
    if (replyText.contains(QLatin1String("VGA"))) {
        understood = true;
        pickEdidSource(1);
        inputSelectGroup->setCheckedByText(QStringLiteral("VGA"));
        ui->outputLockFrame->setEnabled(false);
        ui->phaseAuto->setEnabled(true);
        if (!ui->phaseAuto->isChecked()) {
            ui->phaseText->setEnabled(true);
            ui->phaseSlider->setEnabled(true);
        }
    }
    if (isTwoInputScaler(selectedDevice) && replyText.contains(QLatin1String("HDMI"))) {
        understood = true;
        pickEdidSource(2);
        inputSelectGroup->setCheckedByText(QStringLiteral("HDMI"));
        ui->outputLockFrame->setEnabled(true);
        ui->phaseAuto->setEnabled(false);
        ui->phaseText->setEnabled(false);
        ui->phaseSlider->setEnabled(false);
    }
    if (!understood)
        readBackReplyUnread(inputSelectQuery);
}

// "OSD TIMEOUT IS OFF" or "OSD TIMEOUT IS <n> SECONDS". A value in another form still means the
// time-out is on; the seconds are taken only from the exact form.
void Scaler::parseOSDTimeout()
{
    if (readBackReplyMissing())
        return;
    replyText = replyText.trimmed();
    QString value;
    if (!readValue(replyText, QStringLiteral("OSD TIMEOUT IS "), &value)) {
        readBackReplyUnread(osdTimeoutQuery);
    } else if (value.contains(QLatin1String("OFF"))) {
        ui->osdTimeoutButton->setChecked(false);
        ui->osdTimeoutSpinBox->setEnabled(false);
        settings->osdTimeout = 0;
    } else {
        ui->osdTimeoutButton->setChecked(true);
        ui->osdTimeoutSpinBox->setEnabled(true);
        static const QRegularExpression seconds(QStringLiteral("\\AOSD TIMEOUT IS (\\d+) SECONDS\\z"));
        const QRegularExpressionMatch match = seconds.match(replyText);
        qint16 timeout = 0;
        if (match.hasMatch() && readShort(match.captured(1), &timeout)) {
            qDebug() << "captured = " << timeout;
            ui->osdTimeoutSpinBox->setValue(timeout);
            settings->osdTimeout = timeout;
        }
    }
    chainNext(SLOT(parseDisplayNotify()), displayNotifyQuery);
}

// "OFF" switches the notice off; only the word "ON" switches it on, so a reply that says
// neither leaves button and record alone.
void Scaler::parseDisplayNotify()
{
    if (readBackReplyMissing())
        return;
    replyText = replyText.trimmed();
    static const QRegularExpression onWord(QStringLiteral("\\bON\\b"));
    if (replyText.contains(QLatin1String("OFF"))) {
        ui->displayNotify->setChecked(false);
        settings->displayNotify = false;
    } else if (onWord.match(replyText).hasMatch()) {
        ui->displayNotify->setChecked(true);
        settings->displayNotify = true;
    } else {
        readBackReplyUnread(displayNotifyQuery);
    }
    chainNext(SLOT(parseInputResolution()), inputResolutionQuery);
}

void Scaler::parseInputResolution()
{
    if (readBackReplyMissing())
        return;
    replyText = replyText.trimmed();
    QString value;
    if (readValue(replyText, QStringLiteral("INPUT RESOLUTION IS "), &value))
        ui->scalerInputRes->setText(value);
    else
        readBackReplyUnread(inputResolutionQuery);
    chainNext(SLOT(parseFirmwareVersion()), firmwareQuery);
}

void Scaler::parseEDIDMode()
{
    if (readBackReplyMissing())
        return;
    replyText = replyText.trimmed();
    qint16 mode = 0;
    if (readEdidMode(replyText, &mode)) {
        qDebug() << (mode == 0 ? "Internal EDID Mode" : "Custom EDID Mode");
        edidModeGroup->setCheckedByText(EDID_MODE_CHOICES.at(mode));
        settings->edidMode = mode;
    } else {
        readBackReplyUnread(edidModeQuery);
    }
    if (!isTwoInputScaler(selectedDevice))
        ui->scalerEDIDBox->setEnabled(true);
    chainNext(SLOT(parseInputSelected()), inputSelectQuery);
}

void Scaler::parseEDIDModeVGA()
{
    finishEdidModeRead(0, &settings->edidModeVGA);
}

void Scaler::parseEDIDModeHDMI()
{
    finishEdidModeRead(1, &settings->edidModeHDMI);
}

// The last step of the two-input scaler's VGA (0) or HDMI (1) EDID mode read.
void Scaler::finishEdidModeRead(int input, qint16* field)
{
    if (readBackReplyMissing())
        return;
    replyText = replyText.trimmed();
    qint16 mode = 0;
    if (readEdidMode(replyText, &mode)) {
        qDebug() << (mode == 0 ? "Internal EDID Mode" : "Custom EDID Mode") << (input == 0 ? "VGA" : "HDMI");
        *field = mode;
    } else {
        readBackReplyUnread(edidModeQuery + QLatin1Char(' ') + QString::number(input));
    }
    endReadBack();
}

void Scaler::parseTestPatterns()
{
    if (readBackReplyMissing())
        return;
    replyText = replyText.trimmed();
    QString value;
    if (readValue(replyText, QStringLiteral("TEST PATTERNS IS "), &value)) {
        testPatternGroup->setCheckedByText(value);
        settings->testPattern = value;
    } else {
        readBackReplyUnread(testPatternsQuery);
    }
    endReadBack();
}

// The reply fills the preset that was asked, even when another preset tab has been opened since.
void Scaler::parsePresetSettings()
{
    const int index = presetBeingRead;
    presetBeingRead = -1;
    TimingPreset* preset = presets.value(index);
    const QString query = QStringLiteral("%1 %2").arg(timingPresetQuery).arg(index);
    if (lastExchangeTimedOut) {
        if (preset)
            preset->setEnabledFlag(true);
        readBackReplyMissing();
        return;
    }
    replyText = replyText.trimmed();
    if (preset && holdsPresetTiming(replyText)) {
        preset->setTimingFields(replyText);
    } else {
        if (preset)
            preset->setEnabledFlag(true);
        readBackReplyUnread(query);
    }
    endReadBack();
}

// The follow-up of an output-resolution command (connected by its command slot); it ends no
// chain. The unit confirms with the new resolution, or says why it refused.
void Scaler::parseOutputResolution()
{
    replyText = replyText.trimmed();
    if (!lastExchangeTimedOut) {
        QString value;
        if (!readValue(replyText, QStringLiteral("OUTPUT RESOLUTION IS "), &value)) {
            readValue(replyText, QStringLiteral("OUTPUT RESOLUTION SET TO "), &value);
            if (replyIsWrong(replyText))
                showError(QStringLiteral("Command failed."));
            else if (!replyText.isEmpty())
                showStatus(replyText);
        }
        if (!value.isEmpty()) {
            ui->scalerOutputRes->setText(value);
            if (currentOutputResGroup)
                currentOutputResGroup->setCheckedByText(value);
        }
    }
    availability = AVAILABLE;
}

// The output lock as the settings file keeps it: the position of the unit's word in the lock
// choices ("Free Run" 0, "HDMI" 1), or the number when the unit answers with one.
bool Scaler::outputLockReading(const QString& value, qint16* lock)
{
    if (readShort(value, lock))
        return true;
    for (int i = 0; i < OUTPUT_LOCK_CHOICES.size(); ++i) {
        if (OUTPUT_LOCK_CHOICES.at(i).compare(value, Qt::CaseInsensitive) == 0) {
            *lock = qint16(i);
            return true;
        }
    }
    return false;
}
