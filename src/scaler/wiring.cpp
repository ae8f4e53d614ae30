// Scaler controller: the page wiring made at construction. The button grids and slider editors
// carry their command word; every page widget the controller serves is connected to its slot.
#include "scaler.h"

#include "constants.h"
#include "mybuttongroup.h"
#include "myrangeeditor.h"
#include "timingpreset.h"
#include "ui_mainui.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>

namespace {
const QString outputResCommand = QStringLiteral("#SET_OUTPUT_RES");
}

void Scaler::wirePages()
{
    // Output resolution: one grid per generic scaler; the selection builds the one in use.
    outputResHdmiGroup = new MyButtonGroup(OUTPUT_RES_CHOICES, ui->outputResolutionFrame, outputResCommand, this);
    outputResDviGroup = new MyButtonGroup(OUTPUT_RES_CHOICES_2, ui->outputResolutionFrame, outputResCommand, this);
    outputResSdiGroup = new MyButtonGroup(SDI_OUTPUT_RES_CHOICES, ui->outputResolutionFrame, outputResCommand, this);

    auto grid = [this](const QStringList& choices, QWidget* frame, const char* command) {
        auto* group = new MyButtonGroup(choices, frame, QString::fromLatin1(command), this);
        group->createButtons();
        connect(group, SIGNAL(sendCommand(QString, QString)), this, SLOT(handleCommand(QString, QString)));
        return group;
    };
    colorSpaceGroup = grid(OUTPUT_COLOR_CHOICES, ui->colorSpaceFrame, "#SET_OUTPUT_COLOR");
    outputModeGroup = grid(OUTPUT_MODE_CHOICES, ui->outputModeFrame, "#SET_OUTPUT_MODE");
    outputLockGroup = grid(OUTPUT_LOCK_CHOICES, ui->outputLockFrame, "#SET_OUTPUT_LOCK");
    outputLockGroup->setToolTips({QStringLiteral("The SDI output will not be synchronized to input video source."),
                                  QStringLiteral("The SDI output will use the HDMI input as a reference clock")});
    colorRangeGroup = grid(COLOR_RANGE_CHOICES, ui->colorRangeFrame, "#SET_COLOR_RANGE");
    colorTempGroup = grid(COLOR_TEMP_CHOICES, ui->colorTempFrame, "#SET_COLOR_TEMP");
    edgeEnhanceGroup = grid(EDGE_ENHANCE_CHOICES, ui->edgeEnhanceFrame, "#SET_EDGE_ENHANCE");
    aspectRatioGroup = grid(ASPECT_RATIO_CHOICES, ui->aspectRatioFrame, "#SET_ASPECT_RATIO");
    connect(ui->phaseAuto, SIGNAL(toggled(bool)), this, SLOT(phaseAutoClicked(bool)));
    connect(ui->horizontalMirror, SIGNAL(toggled(bool)), this, SLOT(horizontalMirrorClicked(bool)));
    connect(ui->verticalMirror, SIGNAL(toggled(bool)), this, SLOT(verticalMirrorClicked(bool)));
    testPatternGroup = grid(TEST_PATTERN_CHOICES, ui->testPatternFrame, "#SET_TEST_PATTERNS");

    // Slider editors; their text fields only take the unit's range.
    for (QLineEdit* edit : {ui->contrastText, ui->brightnessText, ui->saturationText, ui->hueText, ui->sharpnessText,
                            ui->redText, ui->greenText, ui->blueText})
        edit->setValidator(new QIntValidator(0, 100, edit));
    ui->scanText->setValidator(new QIntValidator(-50, 50, ui->scanText));
    ui->horizontalShiftText->setValidator(new QIntValidator(-100, 100, ui->horizontalShiftText));
    ui->verticalShiftText->setValidator(new QIntValidator(-100, 100, ui->verticalShiftText));
    ui->phaseText->setValidator(new QIntValidator(1, 64, ui->phaseText));
    auto editor = [this](QSlider* slider, QLineEdit* edit, const char* command) {
        auto* e = new MyRangeEditor(slider, edit, QString::fromLatin1(command), this);
        connect(e, SIGNAL(sendCommand(QString, QString)), this, SLOT(handleCommand(QString, QString)));
        return e;
    };
    contrastEditor = editor(ui->contrastSlider, ui->contrastText, "#SET_CONTRAST");
    brightnessEditor = editor(ui->brightnessSlider, ui->brightnessText, "#SET_BRIGHTNESS");
    saturationEditor = editor(ui->saturationSlider, ui->saturationText, "#SET_SATURATION");
    hueEditor = editor(ui->hueSlider, ui->hueText, "#SET_HUE");
    sharpnessEditor = editor(ui->sharpnessSlider, ui->sharpnessText, "#SET_SHARPNESS");
    redEditor = editor(ui->redSlider, ui->redText, "#SET_COLOR_BALANCE 0");
    greenEditor = editor(ui->greenSlider, ui->greenText, "#SET_COLOR_BALANCE 1");
    blueEditor = editor(ui->blueSlider, ui->blueText, "#SET_COLOR_BALANCE 2");
    scanEditor = editor(ui->scanSlider, ui->scanText, "#SET_UO_SCAN");
    horizontalShiftEditor = editor(ui->horizontalShiftSlider, ui->horizontalShiftText, "#SET_HORIZONTAL_SHIFT");
    verticalShiftEditor = editor(ui->verticalShiftSlider, ui->verticalShiftText, "#SET_VERTICAL_SHIFT");
    phaseEditor = editor(ui->phaseSlider, ui->phaseText, "#SET_PHASE");

    connect(ui->ConfiguratorTabs, SIGNAL(currentChanged(int)), this, SLOT(scalerTabChanged(int)));
    connect(ui->timingPresets, SIGNAL(currentChanged(int)), this, SLOT(presetTabChanged(int)));
    inputSelectGroup = grid(INPUT_SELECT_CHOICES, ui->inputselectframe, "#SET_INPUT_SELECT");

    // The preset tabs are added with the tab widget's signals blocked: building them reads nothing.
    ui->timingPresets->blockSignals(true);
    for (int i = 0; i < 6; ++i) {
        auto* preset = new TimingPreset(ui, i);
        presets.append(preset);
        // Until the preset builds its editor, its tab holds an empty page.
        QWidget* page = preset->value() ? preset->value() : new QWidget(ui->timingPresets);
        ui->timingPresets->addTab(page, QStringLiteral("Preset %1").arg(i + 1));
        connect(preset, SIGNAL(sendCommand(QString, QString)), this, SLOT(handleCommand(QString, QString)));
    }
    // The selected preset tab's white face is a rule of the application style sheet: a sheet of
    // its own here would restyle the whole preset subtree a second time at start-up.
    ui->timingPresets->blockSignals(false);

    connect(ui->osdTimeoutButton, SIGNAL(toggled(bool)), this, SLOT(osdTimeoutToggled(bool)));
    connect(ui->osdTimeoutSpinBox, SIGNAL(editingFinished()), this, SLOT(osdTimeoutChanged()));
    connect(ui->displayNotify, SIGNAL(toggled(bool)), this, SLOT(displayNotifyToggled(bool)));
    connect(ui->scalerFactoryReset, SIGNAL(clicked()), this, SLOT(factoryReset()));
    connect(ui->scalerReboot, SIGNAL(clicked()), this, SLOT(reboot()));
    connect(ui->refreshOutput, SIGNAL(clicked()), this, SLOT(refreshOutputData()));
    connect(ui->refreshPicture, SIGNAL(clicked()), this, SLOT(refreshPictureData()));
    connect(ui->refreshAdjust, SIGNAL(clicked()), this, SLOT(refreshAdjustData()));
    connect(ui->refreshSystem, SIGNAL(clicked()), this, SLOT(refreshSystemData()));
    connect(ui->refreshTestPatterns, SIGNAL(clicked()), this, SLOT(refreshTestPatternData()));
    connect(ui->refreshTimings, SIGNAL(clicked()), this, SLOT(refreshTimingData()));
    wireJovarisPages();
}

// Every widget of the Jovaris and Norrith pages goes to handleJOVARIS_buttons(), which tells them
// apart by the sender.
void Scaler::wireJovarisPages()
{
    const char* const jovarisSlot = SLOT(handleJOVARIS_buttons());
    auto clicks = [&](std::initializer_list<QWidget*> buttons) {
        for (QWidget* b : buttons)
            connect(b, SIGNAL(clicked()), this, jovarisSlot);
    };
    auto values = [&](std::initializer_list<QWidget*> boxes) {
        for (QWidget* b : boxes)
            connect(b, SIGNAL(valueChanged(int)), this, jovarisSlot);
    };
    auto sliderPair = [&](QSlider* slider, QWidget* box) {
        connect(slider, SIGNAL(sliderMoved(int)), this, jovarisSlot);
        connect(slider, SIGNAL(valueChanged(int)), this, jovarisSlot);
        if (box)
            values({box});
    };

    clicks({ui->routingASDisable, ui->routingASEnable, ui->routingHDMI, ui->routingMDisable, ui->routingMEnable,
            ui->routingVGA});
    sliderPair(ui->routingSlider, ui->routingVolume);
    clicks({ui->setupres1, ui->setupres2, ui->setupres3, ui->setupres4, ui->setupres5, ui->setupres6, ui->setupres7,
            ui->setupres8, ui->setupres9, ui->setupActive, ui->setupOn, ui->setupDynamic, ui->setupStandard,
            ui->setupVivid, ui->setupUser});
    sliderPair(ui->setupContrastSlider, ui->setupContrastValue);
    sliderPair(ui->setupBrightnessSlider, ui->setupBrightnessValue);
    sliderPair(ui->setupSaturationSlider, ui->setupSaturationValue);
    sliderPair(ui->setupSharpnessSlider, ui->setupSharpnessValue);
    clicks({ui->systemFR, ui->systemReboot, ui->vgaEnable, ui->vgaDisable, ui->vgaAutosync, ui->vgaWarm, ui->vgaMedium,
            ui->vgaCool, ui->vgaUser, ui->vgaAspect1, ui->vgaAspect2, ui->vgaAspect3, ui->vgaHorizontalPlus,
            ui->vgaHorizontalMinus, ui->vgaVerticalPlus, ui->vgaVerticalMinus});
    values({ui->vgaAdjustDown, ui->vgaAdjustLeft, ui->vgaAdjustRight, ui->vgaStretchH, ui->vgaStretchV});
    sliderPair(ui->vgaPSlider, ui->vgaPhase);
    sliderPair(ui->vgaCSlider, ui->vgaClock);
    sliderPair(ui->vgaCBRSlider, ui->vgaCBR);
    sliderPair(ui->vgaCBGSlider, ui->vgaCBG);
    sliderPair(ui->vgaCBBSlider, ui->vgaCBB);
    clicks({ui->systemPT, ui->systemCFR, ui->systemBR1, ui->systemBR2, ui->systemBR3, ui->systemBR4, ui->systemBR5,
            ui->systemBR6, ui->systemBR7, ui->routingDisplayport, ui->routingDvi, ui->inputModeNormal,
            ui->inputModeYPbPr, ui->inputModeComposite, ui->inputModeDvi, ui->dviAudioEmbedded,
            ui->dviAudioExternal, ui->irmodePass, ui->irmodeControl});
}
