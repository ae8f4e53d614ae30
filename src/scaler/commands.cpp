// Scaler controller: the command slots of the generic scaler pages. Every change the user makes
// goes out as one command over the serial link; the slot that sends it also chooses the one
// follow-up that reads the answer (the status bar, or the output-resolution read-back).
//
// The toggle buttons and the OSD time-out box are also set by the read-back chains; while a
// chain fills the page (`updating`), their slots send nothing, so a value read from the unit is
// never sent back to it. The button grids, the slider editors, the two system buttons and the
// resolution grid have no such guard: setting them from a reply emits nothing.
#include "scaler.h"

#include "constants.h"
#include "timingpreset.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

namespace {
const int commandWaitMs = 500;

QString onOff(bool checked)
{
    return checked ? QStringLiteral("1") : QStringLiteral("0");
}

bool isGenericScalerType(int type)
{
    return type == 4 || type == 5 || type == 6;
}
} // namespace

void Scaler::handleCommand(QString cmd, QString param)
{
    handleCommandWait(cmd, param, QString(), commandWaitMs);
    // A timing preset takes what it sent as held by the unit; a value the unit did not take must
    // go out again with the preset's next apply.
    if (auto* preset = qobject_cast<TimingPreset*>(sender())) {
        if (lastSendFailed || lastExchangeTimedOut || replyIsWrong(replyText))
            preset->commandFailed(cmd, param);
    }
}

void Scaler::handleCommandWait(QString cmd, QString param1, QString param2, int wait)
{
    qDebug() << "handleCommand " << cmd << param1 << param2;
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    connect(this, SIGNAL(commandComplete()), this, SLOT(showResult()));
    sendCommand(cmd, param1, param2, wait);

    // The unit takes the sharpness only with the edge enhancement on "User" (the fourth choice);
    // the controls follow the choice just made.
    if (isGenericScalerType(selectedDevice.type) && cmd == QLatin1String("#SET_EDGE_ENHANCE")) {
        const bool user = param1 == QLatin1String("3");
        ui->sharpnessSlider->setEnabled(user);
        ui->sharpnessText->setEnabled(user);
    }
}

// A new output resolution is answered with the resolution the unit settled on; that answer is
// read back into the page instead of being shown as a status message.
void Scaler::handleCustomCommand(QString cmd, QString param)
{
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    connect(this, SIGNAL(commandComplete()), this, SLOT(parseOutputResolution()));
    sendCommand(cmd, param, QString(), commandWaitMs);
}

void Scaler::displayNotifyToggled(bool checked)
{
    if (updating)
        return;
    handleCommandWait(QStringLiteral("#SET_DISPLAY_NOTIFY"), onOff(checked), QString(), commandWaitMs);
}

void Scaler::horizontalMirrorClicked(bool checked)
{
    if (updating)
        return;
    handleCommandWait(QStringLiteral("#SET_HORIZONTAL_MIRROR"), onOff(checked), QString(), commandWaitMs);
}

void Scaler::verticalMirrorClicked(bool checked)
{
    if (updating)
        return;
    handleCommandWait(QStringLiteral("#SET_VERTICAL_MIRROR"), onOff(checked), QString(), commandWaitMs);
}

// Unchecked means no time-out, which the unit takes as 0; the box only matters while checked.
void Scaler::osdTimeoutToggled(bool checked)
{
    if (updating)
        return;
    ui->osdTimeoutSpinBox->setEnabled(checked);
    const QString seconds = checked ? QString::number(ui->osdTimeoutSpinBox->value()) : QStringLiteral("0");
    handleCommandWait(QStringLiteral("#SET_OSD_TIMEOUT"), seconds, QString(), commandWaitMs);
}

void Scaler::osdTimeoutChanged()
{
    if (updating)
        return;
    handleCommandWait(QStringLiteral("#SET_OSD_TIMEOUT"), QString::number(ui->osdTimeoutSpinBox->value()), QString(),
                      commandWaitMs);
}

// Phase 0 is the unit's automatic phase. Switching it off sends nothing: the next value the user
// sets with the slider is the phase.
void Scaler::phaseAutoClicked(bool checked)
{
    if (updating)
        return;
    if (checked)
        handleCommandWait(QStringLiteral("#SET_PHASE"), QStringLiteral("0"), QString(), commandWaitMs);
    ui->phaseSlider->setEnabled(!checked);
    ui->phaseText->setEnabled(!checked);
}

void Scaler::factoryReset()
{
    handleCommandWait(QStringLiteral("#FACTORY_RESET"), QString(), QString(), commandWaitMs);
}

void Scaler::reboot()
{
    handleCommandWait(QStringLiteral("#REBOOT"), QString(), QString(), commandWaitMs);
}
