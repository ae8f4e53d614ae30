// EDID test and booster units: the booster tab's settings (equalizer, de-emphasis, DDC mode, CDR
// bypass, output mask), its two status queries and the factory reset.
#include "sorvaneinterface.h"

#include "constants.h"
#include "delay.h"
#include "dialogs.h"
#include "ui_mainui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBrowser>

namespace {

const QString invalidTitle = QStringLiteral("Invalid Command Error");
const QString invalidText = QStringLiteral("Command failed. Please try again later. If problem persists, restart unit.");
const QString timeoutStatus = QStringLiteral("No reply from the unit: the command timed out.");
// How long a setting's reply may take before it counts as lost, and how long a status query
// may keep talking.
const int commandReplyLimitMs = 2000;
const int statusReplyLimitMs = 3000;

QString failText(const QString& what)
{
    return QStringLiteral("%1 failed. Please try again later. If problem persists, restart unit.").arg(what);
}

} // namespace

struct SorvaneInterface::BoosterAction {
    QString command;    // template with %1
    int state;          // appstate while it runs
    QString failStatus; // status-bar text when the link stays busy
    QString failWhat;   // the message box's subject
    QComboBox* dropdown = nullptr;
    int* lastIndex = nullptr;
    QPushButton* button = nullptr;
};

void SorvaneInterface::equalizerSettingChanged(int index)
{
    runSetting({QStringLiteral("#eq %1\r"), BoosterCommand, QStringLiteral("Change Equalizer Failed."),
                QStringLiteral("Change equalizer"), ui->eqDropdown, &lastEqIndex, nullptr},
               index);
}

void SorvaneInterface::deemphasisSettingChanged(int index)
{
    runSetting({QStringLiteral("#de %1\r"), BoosterCommand, QStringLiteral("Change De-emphasis Failed."),
                QStringLiteral("Change de-emphasis"), ui->deemphasisDropdown, &lastDeIndex, nullptr},
               index);
}

void SorvaneInterface::ddcModeChanged(int index)
{
    runSetting({QStringLiteral("#ddcmode %1\r"), DdcCommand, QStringLiteral("Change DDC Mode Failed."),
                QStringLiteral("Change DDC mode"), ui->ddcmodeDropdown, &lastDdcIndex, nullptr},
               index);
}

void SorvaneInterface::cdrModeChanged()
{
    if (appstate == Refreshing)
        return;
    const bool on = ui->cdrCheckbox->isChecked();
    ui->deemphasisDropdown->setEnabled(on);
    ui->deemphasisLabel->setEnabled(on);
    runSetting({QStringLiteral("#cdr %1\r"), BoosterCommand, QStringLiteral("Change CDR Mode Failed."),
                QStringLiteral("Change CDR mode"), nullptr, nullptr, ui->cdrCheckbox},
               on ? 1 : 0);
}

void SorvaneInterface::videoOutputChanged()
{
    runSetting({QStringLiteral("#maskout %1\r"), BoosterCommand, QStringLiteral("Change Output Mask Failed."),
                QStringLiteral("Change output mask"), nullptr, nullptr, ui->maskCheckbox},
               ui->maskCheckbox->isChecked() ? 1 : 0);
}

void SorvaneInterface::runSetting(const BoosterAction& action, int argument)
{
    // The refresh sets these controls from the unit: nothing goes back to it.
    if (appstate == Refreshing || argument < 0)
        return;
    if (!waitForIdle()) {
        if (action.dropdown) {
            const QSignalBlocker quiet(action.dropdown);
            action.dropdown->setCurrentIndex(*action.lastIndex);
        }
        if (action.button)
            action.button->setChecked(!action.button->isChecked());
        communicationError(action.failStatus, failText(action.failWhat));
        return;
    }
    if (!port->isOpen())
        openPort();
    appstate = action.state;
    // The DDC mode counts from 1 on the unit.
    const int sent = action.dropdown == ui->ddcmodeDropdown ? argument + 1 : argument;
    commandReply.clear();
    edidStatus.clear();
    lineBuffer.clear();
    clearStatus();
    dropStaleInput();
    writeCommand(action.command.arg(sent));
    if (action.lastIndex)
        *action.lastIndex = argument;

    const bool answered =
        awaitReply(action.state == DdcCommand ? edidStatus : commandReply, 0, commandReplyLimitMs);
    staleInput.settle(answered);
    if (action.state == DdcCommand)
        finishCommand(edidStatus, 5000);
    else
        finishCommand(commandReply, 3000);
}

// Shows the unit's first reply line to a setting: a refusal in a box, silence as a time-out.
void SorvaneInterface::finishCommand(const QString& reply, int shownMs)
{
    if (reply.isEmpty())
        showStatus(timeoutStatus, errorPalette, 5000);
    else if (replyIsInvalid(reply))
        Dialogs::critical(ui->centralFrame, invalidTitle, invalidText);
    else
        showStatus(reply, successPalette, shownMs);
    appstate = Idle;
}

void SorvaneInterface::showEqStatus()
{
    runStatusQuery(QByteArrayLiteral("#eqstat\r"), QStringLiteral("Show Eq Status Failed."),
                   failText(QStringLiteral("Show eq status")));
}

void SorvaneInterface::showVideoStatus()
{
    runStatusQuery(QByteArrayLiteral("#vstat\r"), QStringLiteral("Show Video Status Failed."),
                   failText(QStringLiteral("Show video status")));
}

void SorvaneInterface::runStatusQuery(const QByteArray& command, const QString& failStatus, const QString& text)
{
    if (!waitForIdle()) {
        communicationError(failStatus, text);
        return;
    }
    if (!port->isOpen())
        openPort();
    appstate = StatusQuery;
    statusText.clear();
    lineBuffer.clear();
    dropStaleInput();
    port->write(command);
    // The status runs over several lines: it is complete once the unit has been quiet a while.
    staleInput.settle(awaitReply(statusText, 300, statusReplyLimitMs));
    finishStatusQuery();
}

void SorvaneInterface::finishStatusQuery()
{
    if (statusText.isEmpty()) {
        showStatus(timeoutStatus, errorPalette, 5000);
    } else if (replyIsInvalid(statusText)) {
        Dialogs::critical(ui->centralFrame, invalidTitle, invalidText);
        ui->boosterTextPanel->setText(QStringLiteral("Command Failed"));
    } else {
        ui->boosterTextPanel->setPlainText(statusText);
    }
    appstate = Idle;
    setEdidControlsEnabled(true);
}

void SorvaneInterface::setDefaults()
{
    if (Dialogs::question(this, QStringLiteral("Reset to Defaults"),
                          QStringLiteral("This will clear all the current settings and set them to the default values. "
                                         "Are you sure you want to proceed?"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton)
        != QMessageBox::Yes)
        return;
    if (!waitForIdle()) {
        communicationError(QStringLiteral("Set to Factory Defaults Failed."),
                           failText(QStringLiteral("Set to Factory Defaults")));
        return;
    }
    showStatus(QStringLiteral("Resetting to factory defaults..."), busyPalette);
    setEdidControlsEnabled(false);
    if (!port->isOpen())
        openPort();
    appstate = CopyOrDefaults;
    port->write("#fadefault\r");
    delay(2000);
    setEdidControlsEnabled(true);
    appstate = Idle;
}
