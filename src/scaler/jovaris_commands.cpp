// Scaler controller: the commands of the Jovaris, Norrith and Surrow pages. Every button, slider
// and spin box of the five pages reaches handleJOVARIS_buttons(), which tells them apart by the
// sender object, sends one command, reports the result and runs the follow-up some commands need
// (progress while the unit restarts, re-reading pages, the EDID lock controls, the link's new
// rate). handleNORRITHCommand() serves the EDID-mode buttons.
//
// A slider and its spin box show one level. A change of either sends the new value once: the
// partner is moved with its signals blocked, so it never answers with a command of its own (which
// could carry the value from before the change). A level changed while the link is busy is sent
// as soon as the running command is done, so the unit ends on what the page shows.
//
// Success is read from the reply's content: an answer that came, and says nothing of a wrong
// command or an error.
#include "scaler.h"

#include "constants.h"
#include "delay.h"
#include "mybuttongroup.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <functional>
#include <QDebug>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaMethod>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>

namespace {

struct Models {
    bool jovaris = false;
    bool norrith = false;
    bool surrow = false;
};

Models modelsOf(const QString& product)
{
    return {product.contains(MODEL_JOVARIS), product.contains(MODEL_NORRITH), product.contains(MODEL_SURROW)};
}

struct LevelPair {
    QSlider* slider;
    QSpinBox* box;
    const char* prefix;
};

QList<LevelPair> levelPairs(Ui_MainUI* ui)
{
    return {
        {ui->routingSlider, ui->routingVolume, "#SET_VOL "},
        {ui->setupContrastSlider, ui->setupContrastValue, "#SET_CONTRAST "},
        {ui->setupBrightnessSlider, ui->setupBrightnessValue, "#SET_BRIGHTNESS "},
        {ui->setupSaturationSlider, ui->setupSaturationValue, "#SET_SATURATION "},
        {ui->setupSharpnessSlider, ui->setupSharpnessValue, "#SET_SHARPNESS "},
        {ui->vgaPSlider, ui->vgaPhase, "#SET_PHASE "},
        {ui->vgaCSlider, ui->vgaClock, "#SET_CLOCK "},
        {ui->vgaCBRSlider, ui->vgaCBR, "#SET_COLOR_BALANCE R "},
        {ui->vgaCBGSlider, ui->vgaCBG, "#SET_COLOR_BALANCE G "},
        {ui->vgaCBBSlider, ui->vgaCBB, "#SET_COLOR_BALANCE B "},
    };
}

void setChecked(std::initializer_list<QPushButton*> on, std::initializer_list<QPushButton*> off)
{
    for (QPushButton* b : off)
        b->setChecked(false);
    for (QPushButton* b : on)
        b->setChecked(true);
}

// Checks `sender` and unchecks the rest of its set.
void checkOneOf(QObject* sender, const QList<QPushButton*>& set)
{
    for (QPushButton* b : set)
        b->setChecked(b == sender);
}

// The unit answered, and not with a refusal.
bool replyConfirms(const QString& reply, bool timedOut)
{
    const QString text = reply.trimmed();
    return !timedOut && !text.isEmpty() && !replyIsWrong(text)
           && !text.contains(QLatin1String("error"), Qt::CaseInsensitive);
}

const QStringList baudRates {"115200", "57600", "38400", "19200", "9600", "4800", "2400"};

} // namespace

void Scaler::handleJOVARIS_buttons()
{
    // "Refresh EDID modes" stays routed here after another product is picked.
    const Family family = selectedFamily();
    if (family != Family::Jovaris && family != Family::Surrow && family != Family::Norrith)
        return;
    QObject* widget = sender();
    const int index = senderSignalIndex();
    const QByteArray signalName = widget && index >= 0 ? widget->metaObject()->method(index).name() : QByteArray();
    handleJovarisWidget(widget, signalName);
}

void Scaler::handleJovarisWidget(QObject* widget, const QByteArray& signalName)
{
    const QList<LevelPair> pairs = levelPairs(ui);
    const LevelPair* pair = nullptr;
    for (const LevelPair& p : pairs) {
        if (widget == p.slider || widget == p.box)
            pair = &p;
    }

    if (availability == OCCUPIED || availability == UPLOADING) {
        if (pair && signalName.contains("Changed")) {
            // The user's level is sent once the link is free again.
            jovarisPendingValue = widget;
            return;
        }
        if (pair && widget == pair->slider) {
            const QSignalBlocker block(pair->box);
            pair->box->setValue(pair->slider->sliderPosition());
            return;
        }
        showTimedStatus(QStringLiteral("Device busy!!"), errorPalette, 2000);
        qDebug() << "device OCCUPIED! return";
        return;
    }

    const Models m = modelsOf(ui->productCombobox->currentText());
    const bool sixModes = m.norrith || m.surrow;
    qDebug() << "handleJOVARIS_buttons:" << signalName << widget;

    auto* spinBox = qobject_cast<QSpinBox*>(widget);
    if (spinBox)
        spinBox->setEnabled(false);

    QString cmd;

    // Preparations that do not depend on the command.
    const QList<QPushButton*> rateButtons {ui->systemBR1, ui->systemBR2, ui->systemBR3, ui->systemBR4,
                                           ui->systemBR5, ui->systemBR6, ui->systemBR7};
    const QList<QPushButton*> inputModes {ui->inputModeNormal, ui->inputModeYPbPr, ui->inputModeComposite,
                                          ui->inputModeDvi};
    const QList<QWidget*> audioWidgets {ui->hDCPLabel_67, ui->dviAudioEmbedded, ui->dviAudioExternal};
    const int rateIndex = rateButtons.indexOf(qobject_cast<QPushButton*>(widget));
    if (rateIndex >= 0) {
        for (QPushButton* b : rateButtons)
            b->setChecked(false);
    }
    if (widget == ui->routingHDMI || widget == ui->routingDisplayport) {
        ui->hDCPLabel_62->hide();
        for (QPushButton* b : inputModes)
            b->hide();
        for (QWidget* w : audioWidgets)
            w->hide();
    }
    if (widget == ui->routingDvi || widget == ui->routingVGA) {
        if (m.surrow) {
            ui->hDCPLabel_62->show();
            for (QPushButton* b : inputModes)
                b->show();
        }
        for (QPushButton* b : inputModes)
            b->setChecked(false);
        ui->inputModeDvi->setEnabled(widget == ui->routingDvi);
        for (QWidget* w : audioWidgets)
            w->setVisible(widget == ui->routingDvi);
    }

    // Input-mode and DVI-audio queries of the routing buttons.
    auto readInputMode = [&](const QString& letter) {
        const QStringList reply = jovarisQuery(QStringLiteral("#GET_INPUT_MODE ") + letter, true, true);
        const int mode = QStringList {"0", "1", "2", "3"}.indexOf(reply.size() == 3 ? reply.at(2) : QString());
        if (mode >= 0)
            inputModes.at(mode)->setChecked(true);
    };
    const QList<QPushButton*> routes {ui->routingHDMI, ui->routingVGA, ui->routingDisplayport, ui->routingDvi};
    const QList<QPushButton*> resolutions {ui->setupres1, ui->setupres2, ui->setupres3, ui->setupres4, ui->setupres5,
                                           ui->setupres6, ui->setupres7, ui->setupres8, ui->setupres9};
    const QList<QPushButton*> pictureModes {ui->setupDynamic, ui->setupStandard, ui->setupVivid, ui->setupUser};
    const QList<QPushButton*> temps {ui->vgaWarm, ui->vgaMedium, ui->vgaCool, ui->vgaUser};
    const QList<QPushButton*> aspects {ui->vgaAspect1, ui->vgaAspect2, ui->vgaAspect3};
    const QList<QWidget*> adjusters {ui->vgaAdjustDown, ui->vgaAdjustLeft, ui->vgaAdjustRight, ui->vgaStretchV,
                                     ui->vgaStretchH};

    // Dispatch.
    auto* button = qobject_cast<QPushButton*>(widget);
    if (pair) {
        if (widget == pair->slider) {
            const int position = pair->slider->sliderPosition();
            if (signalName.contains("Changed")) {
                sliderMoving = false;
                cmd = QLatin1String(pair->prefix) + QString::number(pair->slider->value());
            } else {
                sliderMoving = true;
            }
            const QSignalBlocker block(pair->box);
            pair->box->setValue(position);
        } else {
            cmd = QLatin1String(pair->prefix) + QString::number(pair->box->value());
            const QSignalBlocker block(pair->slider);
            pair->slider->setValue(pair->box->value());
        }
    } else if (routes.contains(button)) {
        static const QStringList letters {"H", "V", "DP", "D"};
        checkOneOf(widget, routes);
        cmd = QStringLiteral("V ") + letters.at(routes.indexOf(button));
        if (widget == ui->routingVGA) {
            readInputMode(QStringLiteral("V"));
        } else if (widget == ui->routingDvi) {
            readInputMode(QStringLiteral("D"));
            const QStringList reply = jovarisQuery(QStringLiteral("#GET_DVI_AUDIO"), true, true);
            if (reply.size() == 2 && reply.at(1) == QLatin1String("1"))
                setChecked({ui->dviAudioEmbedded}, {ui->dviAudioExternal});
            else if (reply.size() == 2 && reply.at(1) == QLatin1String("2"))
                setChecked({ui->dviAudioExternal}, {ui->dviAudioEmbedded});
        }
    } else if (inputModes.contains(button)) {
        checkOneOf(widget, inputModes);
        const QString letter = ui->routingDvi->isChecked() ? QStringLiteral("D") : QStringLiteral("V");
        cmd = QStringLiteral("#SET_INPUT_MODE %1 %2").arg(letter).arg(inputModes.indexOf(button));
    } else if (widget == ui->dviAudioEmbedded || widget == ui->dviAudioExternal) {
        checkOneOf(widget, {ui->dviAudioEmbedded, ui->dviAudioExternal});
        cmd = widget == ui->dviAudioEmbedded ? QStringLiteral("#SET_DVI_AUDIO 1") : QStringLiteral("#SET_DVI_AUDIO 2");
    } else if (widget == ui->routingASDisable || widget == ui->routingASEnable) {
        checkOneOf(widget, {ui->routingASDisable, ui->routingASEnable});
        cmd = widget == ui->routingASEnable ? QStringLiteral("#SET_AUTO_SWITCH 1") : QStringLiteral("#SET_AUTO_SWITCH 0");
    } else if (widget == ui->routingMDisable || widget == ui->routingMEnable) {
        checkOneOf(widget, {ui->routingMDisable, ui->routingMEnable});
        cmd = widget == ui->routingMEnable ? QStringLiteral("#SET_MUTE 1") : QStringLiteral("#SET_MUTE 0");
    } else if (resolutions.contains(button)) {
        for (int i = 0; i < ui->gridLayout_50->count(); ++i) {
            if (auto* b = qobject_cast<QPushButton*>(ui->gridLayout_50->itemAt(i)->widget()))
                b->setChecked(false);
        }
        button->setChecked(true);
        cmd = QStringLiteral("#SET_OUTPUT_RES %1").arg(resolutions.indexOf(button) + 1);
    } else if (widget == ui->setupActive || widget == ui->setupOn) {
        checkOneOf(widget, {ui->setupActive, ui->setupOn});
        cmd = widget == ui->setupActive ? QStringLiteral("#SET_INPUT_HDCP 1") : QStringLiteral("#SET_INPUT_HDCP 2");
    } else if (pictureModes.contains(button)) {
        checkOneOf(widget, pictureModes);
        const bool user = ui->setupUser->isChecked();
        for (QWidget* w : QList<QWidget*> {ui->setupContrastSlider, ui->setupContrastValue, ui->setupBrightnessSlider,
                                           ui->setupBrightnessValue, ui->setupSaturationSlider, ui->setupSaturationValue,
                                           ui->setupSharpnessSlider, ui->setupSharpnessValue})
            w->setEnabled(user);
        cmd = QStringLiteral("#SET_PICTURE_MODE %1").arg(pictureModes.indexOf(button) + 1);
    } else if (widget == ui->vgaEnable || widget == ui->vgaDisable) {
        checkOneOf(widget, {ui->vgaEnable, ui->vgaDisable});
        for (QWidget* w : adjusters)
            w->setEnabled(ui->vgaDisable->isChecked());
        cmd = widget == ui->vgaEnable ? QStringLiteral("#SET_AUTO_SYNC 1") : QStringLiteral("#SET_AUTO_SYNC 0");
    } else if (widget == ui->vgaAutosync) {
        cmd = QStringLiteral("#AUTO_SYNC");
    } else if (temps.contains(button)) {
        checkOneOf(widget, temps);
        const bool user = ui->vgaUser->isChecked();
        for (QWidget* w : QList<QWidget*> {ui->vgaCBRSlider, ui->vgaCBR, ui->vgaCBGSlider, ui->vgaCBG, ui->vgaCBBSlider,
                                           ui->vgaCBB})
            w->setEnabled(user);
        cmd = QStringLiteral("#SET_COLOR_TEMP %1").arg(temps.indexOf(button) + 1);
    } else if (aspects.contains(button)) {
        checkOneOf(widget, aspects);
        cmd = QStringLiteral("#SET_ASPECT %1").arg(aspects.indexOf(button) + 1);
    } else if (widget == ui->vgaHorizontalPlus || widget == ui->vgaHorizontalMinus) {
        checkOneOf(widget, {ui->vgaHorizontalPlus, ui->vgaHorizontalMinus});
        cmd = widget == ui->vgaHorizontalPlus ? QStringLiteral("#SET_POLARITY H +") : QStringLiteral("#SET_POLARITY H -");
    } else if (widget == ui->vgaVerticalPlus || widget == ui->vgaVerticalMinus) {
        checkOneOf(widget, {ui->vgaVerticalPlus, ui->vgaVerticalMinus});
        cmd = widget == ui->vgaVerticalPlus ? QStringLiteral("#SET_POLARITY V +") : QStringLiteral("#SET_POLARITY V -");
    } else if (widget == ui->vgaAdjustDown || widget == ui->vgaAdjustLeft || widget == ui->vgaAdjustRight) {
        const QString side = widget == ui->vgaAdjustDown ? QStringLiteral("D")
                             : widget == ui->vgaAdjustLeft ? QStringLiteral("L")
                                                           : QStringLiteral("R");
        cmd = QStringLiteral("#SET_IMAGE_ADJ %1 %2").arg(side).arg(spinBox->value());
    } else if (widget == ui->vgaStretchH || widget == ui->vgaStretchV) {
        const int value = spinBox->value();
        cmd = QStringLiteral("#SET_IMAGE_STRETCH %1 %2 %3")
                  .arg(widget == ui->vgaStretchH ? QStringLiteral("W") : QStringLiteral("H"),
                       value < 0 ? QStringLiteral("-") : QStringLiteral("+"))
                  .arg(qAbs(value));
    } else if (widget == ui->systemFR) {
        cmd = QStringLiteral("#FACTORY_RESET");
    } else if (widget == ui->systemReboot) {
        cmd = QStringLiteral("#REBOOT");
    } else if (widget == ui->systemPT || widget == ui->systemCFR) {
        checkOneOf(widget, {ui->systemPT, ui->systemCFR});
        cmd = widget == ui->systemPT ? QStringLiteral("#SET_RS232_MODE 1") : QStringLiteral("#SET_RS232_MODE 2");
    } else if (widget == ui->irmodePass || widget == ui->irmodeControl) {
        checkOneOf(widget, {ui->irmodePass, ui->irmodeControl});
        cmd = widget == ui->irmodePass ? QStringLiteral("#SET_IR_MODE 1") : QStringLiteral("#SET_IR_MODE 2");
    } else if (rateIndex >= 0) {
        button->setChecked(true);
        cmd = QStringLiteral("#SET_RS232_BAUD %1").arg(rateIndex);
    } else if (widget == ui->refreshEDIDModes) {
        cmd = QStringLiteral("#GET_EDID_MODE");
    } else if (widget && (widget == edidLockButton || widget == edidUnlockButton)) {
        const bool lock = widget == edidLockButton;
        edidLockButton->setChecked(lock);
        edidUnlockButton->setChecked(!lock);
        cmd = lock ? QStringLiteral("#SET_EDID_LOCK 1") : QStringLiteral("#SET_EDID_LOCK 0");
    }

    if (!cmd.isEmpty()) {
        if (m.surrow && cmd.startsWith(QLatin1String("V ")))
            cmd.replace(0, 1, QStringLiteral("R"));
        QStringList reply = jovarisQuery(cmd, true, true);
        bool confirmed = replyConfirms(replyText, lastExchangeTimedOut);
        bool progressRan = false;

        if (cmd.startsWith(QLatin1String("V ")) || cmd.startsWith(QLatin1String("R "))) {
            auto* box = new QMessageBox(QMessageBox::NoIcon, QString(), QStringLiteral("Please wait.."),
                                        QMessageBox::NoButton);
            box->setModal(false);
            box->show();
            QTimer::singleShot(TimeScale::ms(2000), box, [box] {
                box->hide();
                box->deleteLater();
            });
            connect(this, &QObject::destroyed, box, [box] { delete box; });
        }
        const bool factoryReset = cmd.contains(QLatin1String("FACTORY_RESET"));
        if (factoryReset) {
            // The unit comes back at its factory rate; unless it said so, nothing is known about
            // its rate, and the next open looks for it.
            if (confirmed)
                baudRateText = m.jovaris && !sixModes ? QStringLiteral("115200") : QStringLiteral("19200");
            else if (!baudRateText.isEmpty())
                jovarisRateInDoubt = baudRateText;
        }
        auto progress = [this](int steps, const std::function<bool(int)>& step) {
            QProgressDialog dialog(QStringLiteral("Please wait..."), QString(), 0, steps, this);
            dialog.setCancelButton(nullptr);
            dialog.setWindowModality(Qt::WindowModal);
            dialog.show();
            for (int i = 0; i < steps; ++i) {
                dialog.setValue(i);
                delay(100);
                if (step && step(i))
                    break;
            }
            dialog.setValue(steps);
            dialog.close();
        };
        if (cmd.contains(QLatin1String("SET_OUTPUT_RES"))) {
            progress(100, nullptr);
            progressRan = true;
        }
        if (factoryReset || cmd.contains(QLatin1String("REBOOT"))) {
            progress(200, [&](int i) {
                if (i == 0 || i % 20 != 0)
                    return false;
                const QStringList version = jovarisQuery(QStringLiteral("#GET_FIRMWARE_VERSION"), true, true, true);
                return sixModes ? version.size() == 1 && !version.at(0).isEmpty() : version.size() == 3;
            });
            progressRan = true;
        }
        if (factoryReset) {
            refreshJOVARIS_routingPage();
            refreshJOVARIS_systemPage();
        }
        if (cmd.contains(QLatin1String("SET_AUTO_SYNC 0")) && sixModes) {
            reply = jovarisQuery(QStringLiteral("#GET_IMAGE_STRETCH 0"), true, true);
            if (reply.size() == 7) {
                auto signedValue = [](const QString& sign, const QString& magnitude) {
                    const int n = magnitude.toInt();
                    return sign == QLatin1String("+") ? n : -n;
                };
                const QSignalBlocker blockH(ui->vgaStretchH);
                const QSignalBlocker blockV(ui->vgaStretchV);
                ui->vgaStretchH->setValue(signedValue(reply.at(2), reply.at(3)));
                ui->vgaStretchV->setValue(signedValue(reply.at(5), reply.at(6)));
            }
            reply = jovarisQuery(QStringLiteral("#GET_IMAGE_ADJ 0"), true, true);
            if (reply.size() == 4) {
                const QList<QSpinBox*> boxes {ui->vgaAdjustDown, ui->vgaAdjustLeft, ui->vgaAdjustRight};
                for (int i = 0; i < 3; ++i) {
                    const QSignalBlocker block(boxes.at(i));
                    boxes.at(i)->setValue(reply.at(i + 1).toInt());
                }
            }
            confirmed = replyConfirms(replyText, lastExchangeTimedOut);
        }

        if (progressRan) {
            showTimedStatus(QStringLiteral("Done."), okPalette, 4000);
        } else if (confirmed) {
            showTimedStatus(QStringLiteral("Setting updated."), okPalette, 2000);
            if (m.surrow && cmd.contains(QLatin1String("#SET_RS232_MODE 2"))) {
                availability = AVAILABLE;
                refreshJOVARIS_systemPage();
                setAvailable();
                return;
            }
            if (m.surrow && cmd.contains(QLatin1String("#SET_RS232_MODE 1"))) {
                setEnabledWidgetsInLayout(ui->gridLayout_52, false);
                ui->systemPT->setEnabled(true);
                ui->systemCFR->setEnabled(true);
                setAvailable();
                return;
            }
            if (cmd.contains(QLatin1String("#GET_EDID_MODE")) && reply.size() == 2) {
                const QStringList modes = sixModes ? NORRITH_EDID_MODE_CHOICES : JOVARIS_EDID_MODE_CHOICES;
                bool ok = false;
                const int mode = reply.at(1).toInt(&ok, 10);
                if (edidModeGroup && ok && mode >= 1 && mode <= modes.size())
                    edidModeGroup->setCheckedByText(modes.at(mode - 1));
                showJovarisEdidMode(reply.at(1), false);
            }
            if (rateIndex >= 0) {
                baudRateText = baudRates.at(rateIndex);
                qDebug() << "baudrate===" << baudRateText;
            }
        } else {
            showError(QStringLiteral("Failed updating. Try to power cycle device."));
        }
    }

    if (spinBox && !spinBox->isEnabled()) {
        spinBox->setEnabled(true);
        spinBox->setFocus();
    }
    setAvailable();
    qDebug() << "set available";

    if (QObject* pending = jovarisPendingValue) {
        jovarisPendingValue = nullptr;
        handleJovarisWidget(pending, QByteArrayLiteral("valueChanged"));
    }
}

// The EDID upload and lock controls follow the unit's EDID mode: only the custom mode takes an
// upload and a lock.
void Scaler::showJovarisEdidMode(const QString& mode, bool customByContains)
{
    const Models m = modelsOf(ui->productCombobox->currentText());
    QString custom;
    if (m.norrith || m.surrow)
        custom = QStringLiteral("6");
    else if (m.jovaris)
        custom = QStringLiteral("4");
    const bool isCustom = !custom.isEmpty() && (customByContains ? mode.contains(custom) : mode == custom);

    ui->uploadFilename->clear();
    ui->uploadToDropdown->setEnabled(isCustom);
    ui->uploadBrowse->setEnabled(isCustom);
    ui->uploadButton->setEnabled(isCustom);
    setLockButtonsEnabled(isCustom);
    if (!isCustom || !edidLockButton || !edidUnlockButton)
        return;
    const QStringList lock = jovarisQuery(QStringLiteral("#GET_EDID_LOCK"), true, true);
    if (lock.size() == 2 && lock.at(1) == QLatin1String("1"))
        setChecked({edidLockButton}, {edidUnlockButton});
    else if (lock.size() == 2 && lock.at(1) == QLatin1String("0"))
        setChecked({edidUnlockButton}, {edidLockButton});
}

void Scaler::handleNORRITHCommand(QString cmd, QString param)
{
    qDebug() << "handleNORRITHCommand:" << cmd << param;
    updating = true;
    bool ok = false;
    const int position = param.toInt(&ok, 10);
    // The mode number is the button's position counted from 1.
    const QStringList reply = jovarisQuery(cmd + QLatin1Char(' ') + QString::number((ok ? position : 0) + 1), true, true);
    if (!replyConfirms(replyText, lastExchangeTimedOut)) {
        showError(QStringLiteral("Command failed. Restart unit and try again."));
        setAvailable();
        return;
    }
    showTimedStatus(QStringLiteral("Setting updated"), okPalette, 2000);
    showJovarisEdidMode(reply.size() > 1 ? reply.at(1) : QString(), true);
    setAvailable();
}
