// Scaler controller: read-back of the Jovaris, Norrith and Surrow pages (routing, setup, VGA, EDID,
// system). Each page sends a fixed burst of queries through the family sender, one at a time,
// and sets its widgets from the replies, read by word position. A page's key query decides
// between the page and the connection-error box; any other reply of the wrong shape leaves its
// widgets alone.
//
// Values written into the slider/spin-box pairs here are written with their signals blocked:
// a read-back must never turn into a "#SET_" command.
#include "scaler.h"

#include "constants.h"
#include "dialogs.h"
#include "mybuttongroup.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>

namespace {

struct Models {
    bool jovaris = false;
    bool norrith = false;
    bool surrow = false;
};

Models modelsOf(const QString& product)
{
    Models m;
    m.jovaris = product.contains(MODEL_JOVARIS);
    m.norrith = product.contains(MODEL_NORRITH);
    m.surrow = product.contains(MODEL_SURROW);
    return m;
}

// A reply word read as a decimal number; anything else reads as 0.
int numberOf(const QString& word)
{
    bool ok = false;
    const int n = word.toInt(&ok, 10);
    return ok ? n : 0;
}

void setQuietly(QSlider* slider, QSpinBox* box, int value)
{
    if (slider) {
        const QSignalBlocker block(slider);
        slider->setValue(value);
    }
    if (box) {
        const QSignalBlocker block(box);
        box->setValue(value);
    }
}

void setChecked(std::initializer_list<QPushButton*> on, std::initializer_list<QPushButton*> off)
{
    for (QPushButton* b : off)
        b->setChecked(false);
    for (QPushButton* b : on)
        b->setChecked(true);
}

// The value of a stretch: the magnitude, negative unless its sign word is "+".
int signedValue(const QString& sign, const QString& magnitude)
{
    const int n = numberOf(magnitude);
    return sign == QLatin1String("+") ? n : -n;
}

} // namespace

QStringList Scaler::jovarisQuery(const QString& cmd, bool openFirst, bool closeAfter, bool expectSilence)
{
    const Family family = selectedFamily();
    const bool probedRate = family == Family::Jovaris || family == Family::Surrow;
    if (openFirst && probedRate && !jovarisRateInDoubt.isEmpty()) {
        // The unit went quiet at the saved rate last time (its rate may have been changed
        // behind our back): look for it, and keep the saved rate when nothing answers.
        const QString saved = jovarisRateInDoubt;
        jovarisRateInDoubt.clear();
        baudRateText.clear();
        if (!openPort(false))
            baudRateText = saved;
    }
    lastExchangeTimedOut = false;
    sendCommand(cmd, QString(), QString(), 500, openFirst, closeAfter);
    if (!expectSilence && probedRate && lastExchangeTimedOut && replyText.isEmpty() && !baudRateText.isEmpty())
        jovarisRateInDoubt = baudRateText;
    return readLine();
}

void Scaler::showJovarisConnectionError()
{
    const bool surrow = ui->productCombobox->currentText().contains(MODEL_SURROW);
    Dialogs::critical(ui->centralFrame, QStringLiteral("Connection Error"),
                      surrow ? QStringLiteral("Device is disconnected or RS232 mode is set to Pass-through.")
                             : QStringLiteral("Device is disconnected."));
}

// ---- Routing page -------------------------------------------------------------------------

void Scaler::refreshJOVARIS_routingPage()
{
    const Models m = modelsOf(ui->productCombobox->currentText());
    const bool jovaris = !m.norrith && !m.surrow;
    ui->updatePlxInstall_2->setEnabled(false);
    ui->updatePlxInstall_3->setEnabled(false);
    ui->firmwareFolder->setText(QString());
    updating = true;
    ui->ConfiguratorTabs->setEnabled(false);
    setChecked({}, {ui->routingHDMI, ui->routingVGA});
    ui->ConfiguratorTabs->setTabText(2, m.surrow ? QStringLiteral("DVI/VGA") : QStringLiteral("VGA"));
    ui->label_123->setText(m.surrow ? QStringLiteral("DVI/VGA Picture Settings") : QStringLiteral("VGA Picture Settings"));

    const QList<QWidget*> inputWidgets {ui->hDCPLabel_62, ui->inputModeNormal, ui->inputModeYPbPr,
                                        ui->inputModeComposite, ui->inputModeDvi};
    const QList<QWidget*> audioWidgets {ui->hDCPLabel_67, ui->dviAudioEmbedded, ui->dviAudioExternal};
    bool vgaFound = false;
    bool dviFound = false;

    QStringList reply = jovarisQuery(QStringLiteral("S"), true, false);
    if (reply.size() == 2) {
        setEnabledWidgetsInLayout(ui->gridLayout_48, true);
        setChecked({}, {ui->routingHDMI, ui->routingVGA, ui->routingDisplayport, ui->routingDvi});
        for (QWidget* w : inputWidgets + audioWidgets)
            w->hide();
        const QString input = reply.at(1);
        if (input == QLatin1String("H")) {
            ui->routingHDMI->setChecked(true);
        } else if (input == QLatin1String("V")) {
            vgaFound = true;
            ui->routingVGA->setChecked(true);
            if (m.surrow) {
                for (QWidget* w : QList<QWidget*> {ui->hDCPLabel_62, ui->inputModeNormal, ui->inputModeYPbPr, ui->inputModeComposite})
                    w->show();
            }
        } else if (input == QLatin1String("DP")) {
            ui->routingDisplayport->setChecked(true);
        } else if (input == QLatin1String("D")) {
            dviFound = true;
            ui->routingDvi->setChecked(true);
            for (QWidget* w : inputWidgets + audioWidgets)
                w->show();
        }
    }

    reply = jovarisQuery(QStringLiteral("#GET_FIRMWARE_VERSION"), false, false);
    // An empty reply is one empty word: it must not blank the version shown.
    const int versionWords = jovaris ? 3 : 1;
    if (reply.size() == versionWords) {
        const QString version = reply.at(jovaris ? 1 : 0).section(QLatin1Char('\n'), 0, 0).trimmed().toUpper();
        if (!version.isEmpty()) {
            ui->updateCurrentFirmware_2->setText(version);
            ui->versionInfo->setText(version);
        }
    }

    reply = jovarisQuery(QStringLiteral("#GET_AUTO_SWITCH"), false, false);
    if (reply.size() != 2) {
        setEnabledWidgetsInLayout(ui->gridLayout_48, false);
        setAvailable();
        showJovarisConnectionError();
        return;
    }
    if (reply.at(1) == QLatin1String("0"))
        setChecked({ui->routingASDisable}, {ui->routingASEnable});
    else if (reply.at(1) == QLatin1String("1"))
        setChecked({ui->routingASEnable}, {ui->routingASDisable});

    if (m.surrow) {
        setChecked({}, {ui->inputModeNormal, ui->inputModeYPbPr, ui->inputModeComposite, ui->inputModeDvi});
        ui->inputModeDvi->setEnabled(dviFound);
        if (dviFound || vgaFound) {
            reply = jovarisQuery(dviFound ? QStringLiteral("#GET_INPUT_MODE D") : QStringLiteral("#GET_INPUT_MODE V"),
                                 false, false);
            if (reply.size() == 3) {
                const QList<QPushButton*> modes {ui->inputModeNormal, ui->inputModeYPbPr, ui->inputModeComposite,
                                                 ui->inputModeDvi};
                const int index = QStringList {"0", "1", "2", "3"}.indexOf(reply.at(2));
                if (index >= 0)
                    modes.at(index)->setChecked(true);
            }
        }
        if (dviFound) {
            reply = jovarisQuery(QStringLiteral("#GET_DVI_AUDIO"), false, false);
            if (reply.size() == 2 && reply.at(1) == QLatin1String("1"))
                setChecked({ui->dviAudioEmbedded}, {ui->dviAudioExternal});
            else if (reply.size() == 2 && reply.at(1) == QLatin1String("2"))
                setChecked({ui->dviAudioExternal}, {ui->dviAudioEmbedded});
        }
    }
    if (!jovaris) {
        setAvailable();
        return;
    }

    reply = jovarisQuery(QStringLiteral("#GET_VOL"), false, false);
    if (reply.size() == 2)
        setQuietly(ui->routingSlider, ui->routingVolume, numberOf(reply.at(1)));
    reply = jovarisQuery(QStringLiteral("#GET_MUTE"), false, true);
    if (reply.size() == 2 && reply.at(1) == QLatin1String("0"))
        setChecked({ui->routingMDisable}, {ui->routingMEnable});
    else if (reply.size() == 2 && reply.at(1) == QLatin1String("1"))
        setChecked({ui->routingMEnable}, {ui->routingMDisable});
    ui->statusBar->clearMessage();
    setAvailable();
}

// ---- EDID page ----------------------------------------------------------------------------

void Scaler::refreshJOVARIS_edidPage()
{
    const Models m = modelsOf(ui->productCombobox->currentText());
    const bool analog = ui->routingVGA->isChecked() || (m.surrow && ui->routingDvi->isChecked());
    const QStringList modes = (m.norrith || m.surrow) ? NORRITH_EDID_MODE_CHOICES : JOVARIS_EDID_MODE_CHOICES;

    updating = true;
    ui->label_93->hide();
    ui->scalerEDIDFrame->setFixedHeight(100);
    if (m.surrow && analog) {
        if (edidModeGroup) {
            edidModeGroup->clearButtons();
            edidModeGroup->deleteLater();
            edidModeGroup = nullptr;
        }
    } else {
        replaceEdidModeGroup(modes, ui->scalerEDIDFrame);
        connect(edidModeGroup, SIGNAL(sendCommand(QString, QString)), this, SLOT(handleNORRITHCommand(QString, QString)));
    }

    if (analog) {
        edidLockButton = nullptr;
        edidUnlockButton = nullptr;
        while (QLayoutItem* item = ui->lockedidLayout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        ui->previewDownloadFrame->setEnabled(false);
        ui->sorvaneBox->setEnabled(false);
        ui->scalerEDIDBox->setEnabled(false);
        ui->label_109->setText(m.surrow
                                   ? QStringLiteral("EDID management is not available when VGA or DVI input is selected.")
                                   : QStringLiteral("EDID management is not available when VGA input is selected."));
        return;
    }
    ui->previewDownloadFrame->setEnabled(true);
    ui->sorvaneBox->setEnabled(true);
    ui->scalerEDIDBox->setEnabled(true);
    ui->label_109->clear();
    rebuildLockButtons(SLOT(handleJOVARIS_buttons()));

    ui->ConfiguratorTabs->setEnabled(false);
    ui->label_92->show();
    ui->refreshEDIDModes->show();

    const QList<QWidget*> unitWidgets {ui->updateDLComp_2, ui->updatePlxInstall_2, ui->updateBrowse_2,
                                       ui->updatePlxInstall_3, ui->downloadButton, ui->openEDIDFromDevice,
                                       ui->uploadBrowse, ui->uploadButton, ui->refreshEDIDModes};
    const QStringList reply = jovarisQuery(QStringLiteral("#GET_EDID_MODE"), true, true);
    if (reply.size() != 2) {
        for (QWidget* w : unitWidgets)
            w->setEnabled(false);
        if (edidModeGroup)
            edidModeGroup->clearButtons();
        ui->copyButton->setEnabled(false);
        setLockButtonsEnabled(false);
        showJovarisConnectionError();
        setAvailable();
        return;
    }
    for (QWidget* w : unitWidgets)
        w->setEnabled(true);
    ui->copyButton->setEnabled(true);
    setLockButtonsEnabled(true);
    // A mode outside the model's list checks nothing.
    const int mode = numberOf(reply.at(1));
    if (edidModeGroup && mode >= 1 && mode <= modes.size())
        edidModeGroup->setCheckedByText(modes.at(mode - 1));

    const QString custom = (m.norrith || m.surrow) ? QStringLiteral("6") : QStringLiteral("4");
    if (reply.at(1) == custom) {
        setLockButtonsEnabled(true);
        ui->uploadToDropdown->setEnabled(true);
        ui->uploadBrowse->setEnabled(true);
        ui->uploadFilename->clear();
        const QStringList lock = jovarisQuery(QStringLiteral("#GET_EDID_LOCK"), true, true);
        if (lock.size() == 2 && lock.at(1) == QLatin1String("1"))
            edidLockButton->setChecked(true);
        else if (lock.size() == 2 && lock.at(1) == QLatin1String("0"))
            edidUnlockButton->setChecked(true);
    } else {
        ui->uploadToDropdown->setEnabled(false);
        ui->uploadBrowse->setEnabled(false);
        ui->uploadButton->setEnabled(false);
        setLockButtonsEnabled(false);
        ui->uploadFilename->clear();
    }

    finishEdidPageRefresh({QStringLiteral("Custom - User")}, SLOT(handleJOVARIS_buttons()));
}

// ---- Setup page ---------------------------------------------------------------------------

void Scaler::refreshJOVARIS_setupPage()
{
    const Models m = modelsOf(ui->productCombobox->currentText());
    const bool analog = ui->routingVGA->isChecked() || (m.surrow && ui->routingDvi->isChecked());
    const QList<QPushButton*> resolutions {ui->setupres1, ui->setupres2, ui->setupres3, ui->setupres4, ui->setupres5,
                                           ui->setupres6, ui->setupres7, ui->setupres8, ui->setupres9};
    const QList<QPushButton*> pictureModes {ui->setupDynamic, ui->setupStandard, ui->setupVivid, ui->setupUser};

    updating = true;
    ui->ConfiguratorTabs->setEnabled(false);
    setChecked({}, {ui->setupActive, ui->setupOn});
    for (QPushButton* b : resolutions + pictureModes)
        b->setChecked(false);

    QStringList reply = jovarisQuery(QStringLiteral("#GET_INPUT_HDCP"), true, true);
    if (reply.size() != 2) {
        setEnabledWidgetsInLayout(ui->gridLayout_49, false);
        setAvailable();
        showJovarisConnectionError();
        return;
    }
    setEnabledWidgetsInLayout(ui->gridLayout_49, true);
    if (reply.at(1) == QLatin1String("1"))
        ui->setupActive->setChecked(true);
    else if (reply.at(1) == QLatin1String("2"))
        ui->setupOn->setChecked(true);

    const QList<QWidget*> levels {ui->setupContrastSlider, ui->setupContrastValue, ui->setupBrightnessSlider,
                                  ui->setupBrightnessValue, ui->setupSaturationSlider, ui->setupSaturationValue,
                                  ui->setupSharpnessSlider, ui->setupSharpnessValue};
    for (QPushButton* b : pictureModes + resolutions)
        b->setEnabled(analog);
    for (QWidget* w : levels)
        w->setEnabled(analog);
    if (!analog) {
        setAvailable();
        return;
    }

    reply = jovarisQuery(QStringLiteral("#GET_OUTPUT_RES"), true, true);
    if (reply.size() == 2) {
        const int n = numberOf(reply.at(1));
        if (QString::number(n) == reply.at(1) && n >= 1 && n <= resolutions.size())
            resolutions.at(n - 1)->setChecked(true);
    }
    if (m.jovaris && !m.surrow) {
        setAvailable();
        return;
    }

    reply = jovarisQuery(QStringLiteral("#GET_PICTURE_MODE"), true, false);
    if (reply.size() == 2) {
        const int index = QStringList {"1", "2", "3", "4"}.indexOf(reply.at(1));
        if (index >= 0)
            pictureModes.at(index)->setChecked(true);
        for (QWidget* w : levels)
            w->setEnabled(ui->setupUser->isChecked());
    }
    const struct {
        const char* query;
        QSlider* slider;
        QSpinBox* box;
        bool close;
    } levelQueries[] = {
        {"#GET_CONTRAST", ui->setupContrastSlider, ui->setupContrastValue, false},
        {"#GET_BRIGHTNESS", ui->setupBrightnessSlider, ui->setupBrightnessValue, false},
        {"#GET_SATURATION", ui->setupSaturationSlider, ui->setupSaturationValue, false},
        {"#GET_SHARPNESS", ui->setupSharpnessSlider, ui->setupSharpnessValue, true},
    };
    for (const auto& q : levelQueries) {
        reply = jovarisQuery(QString::fromLatin1(q.query), false, q.close);
        if (reply.size() == 2)
            setQuietly(q.slider, q.box, numberOf(reply.at(1)));
    }
    setAvailable();
}

// ---- System page --------------------------------------------------------------------------

void Scaler::refreshJOVARIS_systemPage()
{
    const Models m = modelsOf(ui->productCombobox->currentText());
    const QList<QPushButton*> rates {ui->systemBR1, ui->systemBR2, ui->systemBR3, ui->systemBR4,
                                     ui->systemBR5, ui->systemBR6, ui->systemBR7};
    updating = true;
    ui->ConfiguratorTabs->setEnabled(false);
    for (QPushButton* b : rates)
        b->setChecked(false);

    // A Surrow in pass-through answers nothing: only the mode pair stays usable.
    auto passThroughOnly = [this] {
        setEnabledWidgetsInLayout(ui->gridLayout_52, false);
        ui->systemPT->setEnabled(true);
        ui->systemCFR->setEnabled(true);
        setChecked({ui->systemPT}, {ui->systemCFR});
    };

    QStringList reply = jovarisQuery(QStringLiteral("#GET_RS232_MODE"), true, true);
    if (reply.size() != 2) {
        setEnabledWidgetsInLayout(ui->gridLayout_52, false);
        if (m.surrow)
            passThroughOnly();
        showJovarisConnectionError();
        setAvailable();
        return;
    }
    setEnabledWidgetsInLayout(ui->gridLayout_52, true);
    if (reply.at(1) == QLatin1String("1")) {
        if (m.surrow) {
            passThroughOnly();
            setAvailable();
            return;
        }
        setChecked({ui->systemPT}, {ui->systemCFR});
    } else if (reply.at(1) == QLatin1String("2")) {
        setChecked({ui->systemCFR}, {ui->systemPT});
    }

    if (m.surrow) {
        ui->systemCFR->setText(QStringLiteral("Control the Sender"));
        for (QWidget* w : {static_cast<QWidget*>(ui->hDCPLabel_68), static_cast<QWidget*>(ui->irmodePass),
                           static_cast<QWidget*>(ui->irmodeControl)})
            w->show();
        ui->irmodePass->setEnabled(true);
        ui->irmodeControl->setEnabled(true);
        reply = jovarisQuery(QStringLiteral("#GET_IR_MODE"), true, true);
        if (reply.size() == 2 && reply.at(1) == QLatin1String("1"))
            setChecked({ui->irmodePass}, {ui->irmodeControl});
        else if (reply.size() == 2 && reply.at(1) == QLatin1String("2"))
            setChecked({ui->irmodeControl}, {ui->irmodePass});
    } else {
        ui->systemCFR->setText(QStringLiteral("Control from Receiver"));
        for (QWidget* w : {static_cast<QWidget*>(ui->hDCPLabel_68), static_cast<QWidget*>(ui->irmodePass),
                           static_cast<QWidget*>(ui->irmodeControl)})
            w->hide();
    }
    if (m.norrith && !m.surrow) {
        setAvailable();
        return;
    }

    reply = jovarisQuery(QStringLiteral("#GET_RS232_BAUD"), true, true);
    if (reply.size() == 2) {
        const int index = QStringList {"0", "1", "2", "3", "4", "5", "6"}.indexOf(reply.at(1));
        if (index >= 0)
            rates.at(index)->setChecked(true);
    }
    setAvailable();
}

// ---- VGA page -----------------------------------------------------------------------------

void Scaler::refreshJOVARIS_vgaPage()
{
    const Models m = modelsOf(ui->productCombobox->currentText());
    const bool vga = ui->routingVGA->isChecked();
    const bool dvi = ui->routingDvi->isChecked();
    const bool jovaris = m.jovaris && !m.surrow;

    if (!(vga || (m.surrow && dvi))) {
        setEnabledWidgetsInLayout(ui->gridLayout_51, false);
        return;
    }
    const QList<QWidget*> balance {ui->vgaCBRSlider, ui->vgaCBR, ui->vgaCBGSlider, ui->vgaCBG, ui->vgaCBBSlider, ui->vgaCBB};
    const QList<QPushButton*> temps {ui->vgaWarm, ui->vgaMedium, ui->vgaCool, ui->vgaUser};
    const QList<QPushButton*> aspects {ui->vgaAspect1, ui->vgaAspect2, ui->vgaAspect3};
    if (!vga) {
        setEnabledWidgetsInLayout(ui->gridLayout_51, false);
        for (QWidget* w : balance)
            w->setEnabled(true);
        for (QPushButton* b : temps + aspects)
            b->setEnabled(true);
    } else {
        setEnabledWidgetsInLayout(ui->gridLayout_51, true);
    }
    updating = true;
    ui->ConfiguratorTabs->setEnabled(false);

    auto keyQueryFailed = [this] {
        setEnabledWidgetsInLayout(ui->gridLayout_51, false);
        showJovarisConnectionError();
        setAvailable();
    };
    QStringList reply;
    if (vga) {
        reply = jovarisQuery(QStringLiteral("#GET_AUTO_SYNC"), true, true);
        if (reply.size() != 2) {
            keyQueryFailed();
            return;
        }
        if (reply.at(1) == QLatin1String("1"))
            setChecked({ui->vgaEnable}, {ui->vgaDisable});
        else if (reply.at(1) == QLatin1String("0"))
            setChecked({ui->vgaDisable}, {ui->vgaEnable});
        reply = jovarisQuery(QStringLiteral("#GET_PHASE"), true, true);
        if (reply.size() == 2)
            setQuietly(ui->vgaPSlider, ui->vgaPhase, numberOf(reply.at(1)));
        reply = jovarisQuery(QStringLiteral("#GET_CLOCK"), true, true);
        if (reply.size() == 2)
            setQuietly(ui->vgaCSlider, ui->vgaClock, numberOf(reply.at(1)));
    }
    if (jovaris) {
        setAvailable();
        return;
    }

    reply = jovarisQuery(QStringLiteral("#GET_COLOR_BALANCE 0"), true, true);
    if (reply.size() != 4) {
        keyQueryFailed();
        return;
    }
    setQuietly(ui->vgaCBRSlider, ui->vgaCBR, numberOf(reply.at(1)));
    setQuietly(ui->vgaCBGSlider, ui->vgaCBG, numberOf(reply.at(2)));
    setQuietly(ui->vgaCBBSlider, ui->vgaCBB, numberOf(reply.at(3)));

    reply = jovarisQuery(QStringLiteral("#GET_COLOR_TEMP"), true, true);
    if (reply.size() == 2) {
        for (QPushButton* b : temps)
            b->setChecked(false);
        const int index = QStringList {"1", "2", "3", "4"}.indexOf(reply.at(1));
        if (index >= 0)
            temps.at(index)->setChecked(true);
        for (QWidget* w : balance)
            w->setEnabled(ui->vgaUser->isChecked());
    }
    reply = jovarisQuery(QStringLiteral("#GET_ASPECT"), true, true);
    if (reply.size() == 2) {
        for (QPushButton* b : aspects)
            b->setChecked(false);
        const int index = QStringList {"1", "2", "3"}.indexOf(reply.at(1));
        if (index >= 0)
            aspects.at(index)->setChecked(true);
    }
    if (!vga) {
        setAvailable();
        return;
    }

    reply = jovarisQuery(QStringLiteral("#GET_POLARITY 0"), true, true);
    if (reply.size() == 5) {
        setChecked({}, {ui->vgaHorizontalPlus, ui->vgaHorizontalMinus, ui->vgaVerticalPlus, ui->vgaVerticalMinus});
        (reply.at(2) == QLatin1String("+") ? ui->vgaHorizontalPlus : ui->vgaHorizontalMinus)->setChecked(true);
        (reply.at(4) == QLatin1String("+") ? ui->vgaVerticalPlus : ui->vgaVerticalMinus)->setChecked(true);
    }
    reply = jovarisQuery(QStringLiteral("#GET_IMAGE_ADJ 0"), true, true);
    if (reply.size() == 4) {
        setQuietly(nullptr, ui->vgaAdjustDown, numberOf(reply.at(1)));
        setQuietly(nullptr, ui->vgaAdjustLeft, numberOf(reply.at(2)));
        setQuietly(nullptr, ui->vgaAdjustRight, numberOf(reply.at(3)));
    }
    reply = jovarisQuery(QStringLiteral("#GET_IMAGE_STRETCH 0"), true, true);
    if (reply.size() == 7) {
        setQuietly(nullptr, ui->vgaStretchH, signedValue(reply.at(2), reply.at(3)));
        setQuietly(nullptr, ui->vgaStretchV, signedValue(reply.at(5), reply.at(6)));
    }
    const bool manual = ui->vgaDisable->isChecked();
    for (QWidget* w : {ui->vgaAdjustDown, ui->vgaAdjustLeft, ui->vgaAdjustRight, ui->vgaStretchV, ui->vgaStretchH})
        w->setEnabled(manual);
    setAvailable();
}
