// Scaler controller: saving a generic scaler's settings to a file.
//
// The file is written only from values read from the unit during this export. The record is
// cleared first and every field the chains did not fill (a reply without its value, a unit that
// stopped answering) is named to the user instead of being saved: a file with another unit's
// values or the defaults in it would be applied later as if it were this unit's.
#include "scaler.h"

#include "dialogs.h"
#include "myxmlmanager.h"
#include "settingsfile.h"
#include "timescale.h"
#include "timingpreset.h"
#include "delay.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include <functional>
#include <limits>

namespace {

// A number field the chains have not filled yet; no unit reports it.
const qint16 unread = std::numeric_limits<qint16>::min();

// The whole read-back of an export; a unit that answers takes a few seconds.
const int exportReadLimitMs = 60000;

const QString unexpectedReply = QStringLiteral("Unexpected reply to ");

// The preset editor's values as the file keeps them, in the file's order. Numbers in the unit's
// notation (a point), whatever the user's locale.
QStringList presetValues(const TimingPreset* preset)
{
    QWidget* page = preset->value();
    auto text = [page](const char* name) {
        const auto* edit = page ? page->findChild<QLineEdit*>(QLatin1String(name)) : nullptr;
        return edit ? edit->text() : QString();
    };
    auto integer = [page](const char* name) {
        const auto* spin = page ? page->findChild<QSpinBox*>(QLatin1String(name)) : nullptr;
        return spin ? QString::number(spin->value()) : QString();
    };
    auto polarity = [page](const char* name) {
        const auto* frame = page ? page->findChild<QFrame*>(QLatin1String(name)) : nullptr;
        if (!frame)
            return QString();
        for (const QAbstractButton* button : frame->findChildren<QAbstractButton*>()) {
            if (button->isChecked())
                return button->text();
        }
        return QString();
    };
    const auto* refresh = page ? page->findChild<QDoubleSpinBox*>(QStringLiteral("vRefreshSpin")) : nullptr;
    return {text("pixelClockEdit"),  text("hScanRateEdit"),  integer("hSyncWidthSpin"), integer("hFrontPorchSpin"),
            integer("hActiveSpin"),  integer("hBackPorchSpin"), text("hTotalEdit"),    polarity("hPolarityFrame"),
            refresh ? QString::number(refresh->value(), 'f', 3) : QString(),
            integer("vSyncWidthSpin"), integer("vFrontPorchSpin"), integer("vActiveSpin"), integer("vBackPorchSpin"),
            text("vTotalEdit"),      polarity("vPolarityFrame")};
}

QString number(qint16 value)
{
    return value == unread ? QString() : QString::number(value);
}

// The record's value text of one element; empty when it was not read.
QString recordValue(const ScalerRecord& r, const QString& element, const QStringList& unreadSwitches)
{
    auto flag = [&](bool value) { return unreadSwitches.contains(element) ? QString() : QString::number(int(value)); };
    if (element == QLatin1String("outputResolution")) return r.outputResolution;
    if (element == QLatin1String("contrast")) return number(r.contrast);
    if (element == QLatin1String("brightness")) return number(r.brightness);
    if (element == QLatin1String("saturation")) return number(r.saturation);
    if (element == QLatin1String("hue")) return number(r.hue);
    if (element == QLatin1String("sharpness")) return number(r.sharpness);
    if (element == QLatin1String("outputLock")) return number(r.outputLock);
    if (element == QLatin1String("edidModeVGA")) return number(r.edidModeVGA);
    if (element == QLatin1String("edidModeHDMI")) return number(r.edidModeHDMI);
    if (element == QLatin1String("colorRange")) return r.colorRange;
    if (element == QLatin1String("edidMode")) return number(r.edidMode);
    if (element == QLatin1String("colorTemperature")) return r.colorTemperature;
    if (element == QLatin1String("colorBalanceRed")) return number(r.colorBalanceRed);
    if (element == QLatin1String("colorBalanceGreen")) return number(r.colorBalanceGreen);
    if (element == QLatin1String("colorBalanceBlue")) return number(r.colorBalanceBlue);
    if (element == QLatin1String("edgeEnhancement")) return r.edgeEnhancement;
    if (element == QLatin1String("underOverscan")) return number(r.underOverscan);
    if (element == QLatin1String("aspectRatio")) return r.aspectRatio;
    if (element == QLatin1String("horizontalMirror")) return flag(r.horizontalMirror);
    if (element == QLatin1String("verticalMirror")) return flag(r.verticalMirror);
    if (element == QLatin1String("horizontalShift")) return number(r.horizontalShift);
    if (element == QLatin1String("verticalShift")) return number(r.verticalShift);
    if (element == QLatin1String("phase")) return number(r.phase);
    if (element == QLatin1String("osdTimeout")) return number(r.osdTimeout);
    if (element == QLatin1String("displayNotify")) return flag(r.displayNotify);
    if (element == QLatin1String("testPattern")) return r.testPattern;
    if (element == QLatin1String("colorSpaces")) return r.colorSpaces;
    if (element == QLatin1String("outputModes")) return r.outputModes;
    return QString();
}

// A record that says "not read" in every field: numbers hold `unread`, texts are empty.
ScalerRecord unreadRecord()
{
    ScalerRecord r;
    for (qint16* field : {&r.outputLock, &r.contrast, &r.brightness, &r.saturation, &r.hue, &r.sharpness,
                          &r.colorBalanceRed, &r.colorBalanceGreen, &r.colorBalanceBlue, &r.underOverscan,
                          &r.horizontalShift, &r.verticalShift, &r.phase, &r.osdTimeout, &r.edidMode,
                          &r.edidModeVGA, &r.edidModeHDMI})
        *field = unread;
    return r;
}

// The elements a model's file carries: those it reports a value for. The two-input scaler
// reports no output colour space (its output line names the lock instead), so no value of its
// own could stand in that element.
QStringList exportedElements(int deviceType)
{
    QStringList elements;
    for (const QString& element : ScalerSettingsFile::settingElementsFor(deviceType)) {
        if (ScalerSettingsFile::modelHasValue(element, deviceType))
            elements << element;
    }
    return elements;
}

} // namespace

bool Scaler::exportToXML(QString fileName, QString* error)
{
    ui->ConfiguratorTabs->setEnabled(true);
    ScalerSettingsFile::Content content;
    for (const QString& element : exportedElements(selectedDevice.type))
        content.settings << qMakePair(element, recordValue(*settings, element, QStringList()));
    for (const TimingPreset* preset : qAsConst(presets))
        content.presets << ScalerSettingsFile::Preset{preset->presetIndex(), presetValues(preset)};
    return ScalerSettingsFile::writeFile(fileName, content, error);
}

void Scaler::exportAllSettings()
{
    pollTimer->stop();
    const QString shortName = ScalerSettingsFile::shortName(selectedDevice.name);
    const QString proposed = ScalerSettingsFile::proposedFileName(myXMLManager::getLastSavedDirectory(),
                                                                  selectedDevice.name, ScalerSettingsFile::now());
    const QString fileName =
        Dialogs::getSaveFileName(this, QStringLiteral("Select File to Save As"), proposed, QStringLiteral("Files (*.XML)"));
    myXMLManager::setLastSavedDirectory(fileName);
    if (fileName.isEmpty()) {
        pollTimer->start(2000);
        return;
    }
    const QStringList elements = exportedElements(selectedDevice.type);
    if (elements.isEmpty()) {
        showError(QStringLiteral("Settings not saved: select a generic scaler first."));
        pollTimer->start(2000);
        return;
    }

    // Everything the chains say on the status bar while they read: a reply without its value
    // names its query; anything else (no answer, a port that will not open) ends the read.
    QStringList unreadQueries;
    QString failure;
    const QMetaObject::Connection watch =
        connect(ui->statusBar, &QStatusBar::messageChanged, this, [&](const QString& message) {
            if (message.startsWith(unexpectedReply))
                unreadQueries << message.mid(unexpectedReply.size()).trimmed();
            else if (!message.isEmpty() && failure.isEmpty())
                failure = message;
        });

    *settings = unreadRecord();
    for (TimingPreset* preset : qAsConst(presets))
        preset->setEnabledFlag(true);

    QElapsedTimer clock;
    clock.start();
    const int limitMs = TimeScale::ms(exportReadLimitMs);
    bool timedOut = false;
    QString firstReply;
    // One read-back at a time: each waits for the one before to hand the link back, and the
    // whole export for no longer than its limit.
    auto run = [&](const std::function<void()>& start) {
        if (!failure.isEmpty() || timedOut)
            return;
        ui->ConfiguratorTabs->setEnabled(false);
        start();
        // The sender has waited for the first query's reply; its parse slot runs a little later.
        firstReply = replyText;
        while (updating && clock.elapsed() < limitMs) {
            delay(TimeScale::ms(50));
            ui->ConfiguratorTabs->setEnabled(false);
        }
        if (updating) {
            timedOut = true;
            abortReadBack(QStringLiteral("The unit took too long to answer."));
        }
    };
    ui->ConfiguratorTabs->setEnabled(false);
    // The output chain goes on into the input's own read before it lets go of `updating`.
    run([this] { refreshOutputData(); });
    run([this] { refreshPictureData(); });
    run([this] { refreshAdjustData(); });
    // The mirrors are switches, which no "not read" value can mark: their lines in the reply to
    // the Adjust query say whether they were read.
    QStringList unreadSwitches;
    for (const auto& mirror : {qMakePair(QStringLiteral("horizontalMirror"), QStringLiteral("HORIZONTAL MIRROR IS ")),
                               qMakePair(QStringLiteral("verticalMirror"), QStringLiteral("VERTICAL MIRROR IS "))}) {
        QString value;
        if (!valueAfterKey(firstReply, mirror.second, &value))
            unreadSwitches << mirror.first;
    }
    run([this] { refreshSystemData(); });
    run([this] { refreshTestPatternData(); });
    if (elements.contains(QLatin1String("edidModeVGA")))
        run([this] { refreshEDIDModeVGA(); });
    if (elements.contains(QLatin1String("edidModeHDMI")))
        run([this] { refreshEDIDModeHDMI(); });
    // Each preset into its own editor, one after another; the tab shown does not matter.
    for (int i = 0; i < presets.size(); ++i)
        run([this, i] { presetTabChanged(i); });
    {
        const QSignalBlocker block(ui->timingPresets);
        ui->timingPresets->setCurrentIndex(0);
    }
    disconnect(watch);
    if (updating)
        abortReadBack(QStringLiteral("The unit took too long to answer."));
    ui->ConfiguratorTabs->setEnabled(true);

    // What could not be read is named; nothing is saved then.
    QStringList missing;
    if (unreadQueries.contains(QLatin1String("#GET_DISPLAY_NOTIFY")))
        unreadSwitches << QStringLiteral("displayNotify");
    if (!failure.isEmpty() || timedOut)
        unreadSwitches << QStringLiteral("horizontalMirror") << QStringLiteral("verticalMirror")
                       << QStringLiteral("displayNotify");
    for (const QString& element : elements) {
        if (recordValue(*settings, element, unreadSwitches).isEmpty())
            missing << element;
    }
    for (const TimingPreset* preset : qAsConst(presets)) {
        if (preset->isEnabledFlag())
            missing << QStringLiteral("timing preset %1").arg(preset->presetIndex() + 1);
    }

    if (timedOut || !failure.isEmpty() || !missing.isEmpty()) {
        QString why = timedOut ? QStringLiteral("The unit took too long to answer.")
                               : !failure.isEmpty() ? failure : QString();
        qDebug() << "export refused:" << why << missing;
        showError(QStringLiteral("Settings not saved: not every setting could be read from the unit."));
        QString text = QStringLiteral("The settings were not saved, because not every setting could be read from %1.")
                           .arg(shortName);
        if (!why.isEmpty())
            text += QStringLiteral("\n\n") + why;
        if (!missing.isEmpty())
            text += QStringLiteral("\n\nNot read: ") + missing.join(QStringLiteral(", ")) + QLatin1Char('.');
        Dialogs::warning(this, QStringLiteral("Export settings"), text);
        pollTimer->start(2000);
        return;
    }

    QString error;
    if (!exportToXML(fileName, &error)) {
        showError(QStringLiteral("Settings could not be saved."));
        Dialogs::warning(this, QStringLiteral("Export settings"),
                         QStringLiteral("The settings could not be saved to %1.\n\n%2").arg(fileName, error));
        pollTimer->start(2000);
        return;
    }
    ui->statusBar->setPalette(infoPalette);
    ui->statusBar->showMessage(QStringLiteral("Settings saved to file."));
    statusClearDeadline = monotonicNowMs() + 9900;
    QTimer::singleShot(10000, this, SLOT(clearStatus()));
    pollTimer->start(2000);
}
