// Scaler controller: applying a settings file to a generic scaler.
//
// The file is checked whole before anything is sent (its root and doctype, the model it was
// written for, every value against its list or range, no control characters that could end a
// command line early). Every valid value then goes to the unit as its own command, whether or
// not the page already shows it, and each command's answer is checked; the user learns which
// values were skipped and which the unit did not take.
#include "scaler.h"

#include "constants.h"
#include "dialogs.h"
#include "myxmlmanager.h"
#include "regularfile.h"
#include "settingsfile.h"
#include "timingpreset.h"
#include "ui_mainui.h"

#include <QCheckBox>
#include <QDebug>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace {
// The unit answers a setting within a few hundred milliseconds.
const int importCommandWaitMs = 800;
// A settings file is a few kilobytes; anything far larger is not one.
const qint64 settingsFileLimit = 1024 * 1024;
} // namespace

void Scaler::importAllSettings()
{
    const QString fileName = Dialogs::getOpenFileName(this, QStringLiteral("Select File"),
                                                      myXMLManager::getLastSavedDirectory(),
                                                      QStringLiteral("Files (*.xml)"));
    if (fileName.isEmpty())
        return;
    myXMLManager::setLastSavedDirectory(fileName);

    pollTimer->stop();
    QList<QWidget*> held = {ui->ConfiguratorTabs,  ui->osdTimeoutButton, ui->osdTimeoutSpinBox,
                            ui->refreshSystem,     ui->displayNotify,    ui->scalerFactoryReset,
                            ui->scalerReboot,      ui->scalerImportSettings, ui->scalerExportSettings};
    held << ui->ConfiguratorTabs->tabBar();
    for (QWidget* w : qAsConst(held))
        w->setEnabled(false);
    auto finish = [&](bool ok, const QString& status, const QString& details) {
        for (QWidget* w : qAsConst(held))
            w->setEnabled(true);
        ui->statusBar->setPalette(ok ? infoPalette : errorPalette);
        ui->statusBar->showMessage(status);
        statusClearDeadline = monotonicNowMs() + 9900;
        QTimer::singleShot(10000, this, SLOT(clearStatus()));
        if (!details.isEmpty())
            Dialogs::warning(this, QStringLiteral("Import settings"), details);
        pollTimer->start(2000);
    };

    const RegularFileRead file = readRegularFile(fileName, settingsFileLimit);
    if (!file.ok()) {
        finish(false, QStringLiteral("Incorrect settings file."),
               QStringLiteral("%1 could not be read.\n\n%2").arg(fileName, file.error));
        return;
    }
    const ScalerSettingsFile::ImportPlan plan = ScalerSettingsFile::planImport(file.bytes, selectedDevice.type);
    if (!plan.fileError.isEmpty()) {
        finish(false, QStringLiteral("Incorrect settings file."), plan.fileError + QStringLiteral("\n\nNothing was sent."));
        return;
    }

    // Each command's answer is read here, not by a slot that might take another exchange's reply.
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    QStringList failed;
    for (int i = 0; i < plan.commands.size(); ++i) {
        const ScalerSettingsFile::Command& command = plan.commands.at(i);
        sendCommand(command.command, command.param1, command.param2, importCommandWaitMs);
        QString why;
        if (lastSendFailed)
            why = QStringLiteral("not sent");
        else if (lastExchangeTimedOut)
            why = QStringLiteral("no answer");
        else if (replyIsWrong(replyText))
            why = QStringLiteral("refused");
        if (!why.isEmpty())
            failed << QStringLiteral("%1 (%2)").arg(command.what, why);
        if (lastSendFailed) {
            // The link cannot be had; every later command would fail the same way.
            if (i + 1 < plan.commands.size())
                failed << QStringLiteral("%1 more settings (not sent)").arg(plan.commands.size() - i - 1);
            break;
        }
    }
    setAvailable();

    // The page shows what it read before; the presets are read again when their tabs are shown.
    for (TimingPreset* preset : qAsConst(presets))
        preset->setEnabledFlag(true);

    if (plan.problems.isEmpty() && failed.isEmpty()) {
        finish(true, QStringLiteral("Import settings successful."), QString());
        return;
    }
    QString details;
    if (!failed.isEmpty())
        details += QStringLiteral("The unit did not take:\n") + failed.join(QLatin1Char('\n'));
    if (!plan.problems.isEmpty()) {
        if (!details.isEmpty())
            details += QStringLiteral("\n\n");
        details += QStringLiteral("Skipped from the file:\n") + plan.problems.join(QLatin1Char('\n'));
    }
    finish(false, QStringLiteral("Import settings incomplete: not every setting was applied."), details);
}
