// The EDID editor's core: construction and page state, edit mode, clearing and undo, encoding and
// decoding of the current EDID, the ".bin" file and the description view.
#include "edidmanagement.h"

#include "audioformatmodel.h"
#include "cataloguepicklists.h"
#include "customaudiodialog.h"
#include "customtimingdialog.h"
#include "dialogs.h"
#include "edidencoder.h"
#include "edidfile.h"
#include "edidformbinder.h"
#include "edidrules.h"
#include "myxmlmanager.h"
#include "mydoublevalidator.h"
#include "timingmodel.h"
#include "ui_mainui.h"

#include <QButtonGroup>
#include <QDebug>
#include <QFileInfo>
#include <QHeaderView>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

namespace {

// Sets a toggle as a user's program would: its signals run. A button of an exclusive group is
// let go by its group for the moment, so it can be unchecked.
void setToggle(QAbstractButton* b, bool on)
{
    QButtonGroup* group = b->group();
    if (!on && b->isChecked() && group && group->exclusive()) {
        group->setExclusive(false);
        b->setChecked(false);
        group->setExclusive(true);
        return;
    }
    b->setChecked(on);
}

QString hexBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ')).toUpper();
}

} // namespace

// ---- construction --------------------------------------------------------------------------------

EdidManagement::EdidManagement(Ui_MainUI* ui, QList<EdidEntry>* monitorList)
    : QWidget(nullptr)
    , ui(ui)
    , monitorList(monitorList)
{
    connect(ui->saveEDID, &QToolButton::clicked, this, &EdidManagement::saveEDID);
    connect(ui->editEDID, &QToolButton::clicked, this, &EdidManagement::editEDID);

    // The wizard and expert modes switch these.
    for (QWidget* w : {static_cast<QWidget*>(ui->edidTypeLabel), static_cast<QWidget*>(ui->generalLabel),
                       static_cast<QWidget*>(ui->timingsLabel), static_cast<QWidget*>(ui->colorLabel),
                       static_cast<QWidget*>(ui->audioLabel), static_cast<QWidget*>(ui->hdmiLabel),
                       static_cast<QWidget*>(ui->threeDLabel), static_cast<QWidget*>(ui->wizardBack),
                       static_cast<QWidget*>(ui->wizardNext), static_cast<QWidget*>(ui->wizardPage)})
        w->hide();
    ui->combohdmi30bitspixel->setEnabled(false);
    ui->combohdmi36bitspixel->setEnabled(false);
    ui->combohdmi48bitspixel->setEnabled(false);

    auto indexChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    for (QComboBox* box : {ui->combohdmi30bitspixel, ui->combohdmi36bitspixel, ui->combohdmi48bitspixel})
        connect(box, indexChanged, this, &EdidManagement::checkColorDepthDropdowns);
    for (QPushButton* b : {ui->digitalRadio, ui->analogRadio})
        connect(b, &QPushButton::clicked, this, &EdidManagement::videoInterfaceChanged);
    for (QPushButton* b : {ui->dpRadio, ui->hdmiRadio, ui->dviRadio})
        connect(b, &QPushButton::clicked, this, &EdidManagement::digitalVideoInterfaceChanged);
    connect(ui->edidSize128, &QPushButton::toggled, this, &EdidManagement::edidSizeChanged);
    connect(ui->aspectRatio, indexChanged, this, &EdidManagement::edidFileEdited);
    connect(ui->timingDropdown, &QComboBox::textActivated, this, &EdidManagement::addTimingToEDID);
    connect(ui->createYourOwnTiming, &QPushButton::clicked, this, &EdidManagement::createYourOwnTiming);
    connect(ui->removeTiming, &QPushButton::clicked, this, &EdidManagement::removeTiming);
    connect(ui->clearTimingTable, &QPushButton::clicked, this, &EdidManagement::clearTimingTable);
    connect(ui->moveTimingUp, &QPushButton::clicked, this, &EdidManagement::moveUp);
    connect(ui->moveTimingDown, &QPushButton::clicked, this, &EdidManagement::moveDown);
    connect(ui->audioDropdown, &QComboBox::textActivated, this, &EdidManagement::addAudioToEDID);
    connect(ui->createYourOwnAudioFormat, &QPushButton::clicked, this, &EdidManagement::createYourOwnAudioFormat);
    connect(ui->removeAudio, &QPushButton::clicked, this, &EdidManagement::removeAudio);
    connect(ui->clearAudioTable, &QPushButton::clicked, this, &EdidManagement::clearAudioTable);
    connect(ui->moveAudioUp, &QPushButton::clicked, this, &EdidManagement::moveUp);
    connect(ui->moveAudioDown, &QPushButton::clicked, this, &EdidManagement::moveDown);
    connect(ui->editTiming, &QPushButton::clicked, this, &EdidManagement::editTiming);
    connect(ui->editAudio, &QPushButton::clicked, this, &EdidManagement::editAudio);
    connect(ui->horizontalPixels, indexChanged, this,
            [this](int i) { horizontalPixelsChanged(this->ui->horizontalPixels->itemText(i)); });
    connect(ui->verticalLines, indexChanged, this,
            [this](int i) { verticalLinesChanged(this->ui->verticalLines->itemText(i)); });
    connect(ui->refreshRate, indexChanged, this,
            [this](int i) { refreshRateChanged(this->ui->refreshRate->itemText(i)); });
    connect(ui->scanType, indexChanged, this, [this](int i) { scanTypeChanged(this->ui->scanType->itemText(i)); });
    connect(ui->basicAudio, &QPushButton::toggled, this, &EdidManagement::audioSettingChanged);
    connect(ui->managementTabs, &QTabWidget::currentChanged, this, &EdidManagement::managementTabChanged);
    connect(ui->maxTMDSClockAuto, &QPushButton::toggled, this, &EdidManagement::maxTMDSOptionChanged);
    for (QPushButton* b : {ui->hdmi48bitspixel, ui->hdmi36bitspixel, ui->hdmi30bitspixel})
        connect(b, &QPushButton::clicked, this, &EdidManagement::clickHandlerColorDepth);
    connect(ui->chromaticityDropdown, indexChanged, this, &EdidManagement::chromaticitySelected);
    connect(ui->storeChromaticity, &QPushButton::clicked, this, &EdidManagement::storeChromaticity);
    connect(ui->removeChromaticity, &QPushButton::clicked, this, &EdidManagement::removeChromaticity);
    for (QLineEdit* e : {ui->redX, ui->redY, ui->greenX, ui->greenY, ui->blueX, ui->blueY, ui->whiteX, ui->whiteY})
        connect(e, &QLineEdit::textChanged, this, &EdidManagement::chromaticityValueChanged);
    connect(ui->threeDPresent, &QPushButton::toggled, this, &EdidManagement::threeDOptionChanged);
    connect(ui->enableHDR, &QPushButton::toggled, this, &EdidManagement::enableHDRChanged);
    connect(ui->vic3Ddropdown, indexChanged, this, &EdidManagement::vic3DdropdownIndexChanged);
    for (QPushButton* b : {ui->framePacking, ui->fieldAlternative, ui->lineAlternative, ui->sideBySideFull,
                           ui->depth, ui->depthGraphics, ui->topAndBottom, ui->sideBySideHalf})
        connect(b, &QPushButton::clicked, this, &EdidManagement::threeDTxFormatToggled);
    for (QPushButton* b : {ui->speakerFLH, ui->speakerFRH, ui->speakerFLW, ui->speakerFRW, ui->speakerFL,
                           ui->speakerFR, ui->speakerFLC, ui->speakerFRC, ui->speakerFCH, ui->speakerFC,
                           ui->speakerTC, ui->speakerLFE, ui->speakerRL, ui->speakerRR, ui->speakerRLC,
                           ui->speakerRRC, ui->speakerRC})
        connect(b, &QPushButton::clicked, this, &EdidManagement::speakerAllocChanged);
    connect(ui->undoEDID, &QToolButton::clicked, this, &EdidManagement::undoEDID);
    connect(ui->undoEDIDAll, &QToolButton::clicked, this, &EdidManagement::undoEDIDAll);

    suppressHistory = false;
    editMode = false;

    const QList<QPushButton*> editButtons = {
        ui->digitalRadio,      ui->dpRadio,          ui->hdmiRadio,          ui->dviRadio,
        ui->analogRadio,       ui->edidSize128,      ui->edidSize256,        ui->signalLevel1,
        ui->signalLevel2,      ui->signalLevel3,     ui->signalLevel4,       ui->videoSetup1,
        ui->videoSetup2,       ui->separateSync,     ui->compositeSyncHoriz, ui->compositeSyncGreen,
        ui->serrationVertSync, ui->standbyMode,      ui->suspendMode,        ui->activeOff,
        ui->underscan,         ui->rgb444Checkbox,   ui->ycbcr444Checkbox,   ui->ycbcr422Checkbox,
        ui->eightBitsPPC,      ui->tenBitsPPC,       ui->twelveBitsPPC,      ui->fourteenBitsPPC,
        ui->sixteenBitsPPC,    ui->hdmi48bitspixel,  ui->hdmi36bitspixel,    ui->hdmi30bitspixel,
        ui->hdmiYCrCb444,      ui->monochromeGrayscale, ui->rgbColor,        ui->nonrgbColor,
        ui->undefinedColor,    ui->basicAudio,       ui->enableHDR,          ui->hdroption1,
        ui->hdroption2,        ui->hdroption3,       ui->supportsAI,         ui->supportsDVI,
        ui->graphicsContent,   ui->photoContent,     ui->cinemaContent,      ui->gameContent,
        ui->threeDPresent};
    for (QPushButton* b : editButtons) {
        if (b->isCheckable())
            connect(b, &QPushButton::clicked, this, &EdidManagement::edidFileEdited);
    }
    const QList<QLineEdit*> editFields = {
        ui->monitorName,        ui->displaySize,  ui->maxTMDSClock, ui->redX,
        ui->redY,               ui->greenX,       ui->greenY,       ui->blueX,
        ui->blueY,              ui->whiteX,       ui->whiteY,       ui->latencyInterlacedAudio,
        ui->latencyProgressiveAudio, ui->latencyInterlacedVideo, ui->latencyProgressiveVideo,
        ui->contentMaxFrameAvgLuminance, ui->contentMaxLuminance, ui->contentMinLuminance,
        ui->addressA,           ui->addressB,     ui->addressC,     ui->addressD};
    for (QLineEdit* e : editFields)
        connect(e, &QLineEdit::textChanged, this, &EdidManagement::edidFileEdited);

    videoInterfaceChanged();

    for (QLineEdit* e : {ui->redX, ui->redY, ui->greenX, ui->greenY, ui->blueX, ui->blueY, ui->whiteX, ui->whiteY})
        e->setValidator(new MyDoubleValidator(0, 0.9999, 4, this));
    ui->displaySize->setValidator(new MyDoubleValidator(0, 141.98, 2, this));
    for (QLineEdit* e : {ui->latencyInterlacedAudio, ui->latencyInterlacedVideo, ui->latencyProgressiveAudio,
                         ui->latencyProgressiveVideo})
        e->setValidator(editorIntValidator(0, 500, this));
    for (QLineEdit* e : {ui->addressA, ui->addressB, ui->addressC, ui->addressD})
        e->setValidator(editorIntValidator(0, 15, this));
    for (QLineEdit* e : {ui->contentMaxFrameAvgLuminance, ui->contentMaxLuminance, ui->contentMinLuminance})
        e->setValidator(editorIntValidator(0, 255, this));
    ui->maxTMDSClock->setValidator(editorIntValidator(165, 1275, this));

    timingModel = new TimingModel();
    ui->timingTable->setModel(timingModel);
    for (QTableView* table : {ui->timingTable, ui->audioTable}) {
        table->setLocale(editorNumberLocale()); // the tables show numbers as the fields take them
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    for (int column = TimingModel::EstablishedColumn; column <= TimingModel::SubsamplingColumn; ++column)
        ui->timingTable->hideColumn(column);
    ui->timingTable->resizeColumnsToContents();
    connect(ui->timingTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &EdidManagement::timingRowChanged);
    connect(timingModel, &TimingModel::nativeChanged, this, &EdidManagement::edidFileEdited);
    connect(timingModel, &TimingModel::tmdsPromotion, this, &EdidManagement::tmdsPromotion);

    audioModel = new AudioFormatModel();
    ui->audioTable->setModel(audioModel);
    // An opened EDID brings its rows without a resize: each column follows its contents, so no
    // format name or frequency list is squeezed to an ellipsis.
    ui->audioTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->audioTable->resizeColumnsToContents();
    connect(ui->audioTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &EdidManagement::audioFormatRowChanged);

    enableEditButtons(false);
    for (QToolButton* b : {ui->showAsText, ui->saveEDID, ui->saveToDevice, ui->editEDID, ui->undoEDID, ui->undoEDIDAll})
        b->setEnabled(false);

    vicButtons = {ui->firstVIC,      ui->secondVIC,     ui->thirdVIC,     ui->fourthVIC,
                  ui->fifthVIC,      ui->sixthVIC,      ui->seventhVIC,   ui->eighthVIC,
                  ui->ninthVIC,      ui->tenthVIC,      ui->eleventhVIC,  ui->twelfthVIC,
                  ui->thirteenthVIC, ui->fourteenthVIC, ui->fifteenthVIC, ui->sixteenthVIC};
    for (QPushButton* b : vicButtons)
        connect(b, &QPushButton::clicked, this, &EdidManagement::vicMaskToggled);
    resetVICButtons();

    edidData.clear();
    descriptionText.clear();
    showDiffMode = true;
    // The timing catalogue, the largest, is read when first needed (ensureTimingCatalogue).
    loadAudioFormats();
    loadChromaticities();

    managementTabChanged(ui->managementTabs->currentIndex());

    // The custom timing and audio dialogs are built when first opened (timingDialog(),
    // audioDialog()): few sessions open them, and building and styling them is a good part of
    // start-up.

    editingTiming = false;
}

EdidManagement::~EdidManagement()
{
    // The dialogs belong to the form when it goes first.
    delete timingDialogGuard.data();
    delete audioDialogGuard.data();
    delete timingModel;
    delete audioModel;
}

CustomTimingDialog* EdidManagement::timingDialog()
{
    if (!customTimingDialog) {
        customTimingDialog = new CustomTimingDialog(ui->centralFrame);
        customTimingDialog->setTimingNames(&timingCatalogue.customNames);
        customTimingDialog->setCatalogueFile(CatalogueFiles::path(QStringLiteral("timings.xml")));
        timingDialogGuard = customTimingDialog;
    }
    return customTimingDialog;
}

CustomAudioDialog* EdidManagement::audioDialog()
{
    if (!customAudioDialog) {
        customAudioDialog = new CustomAudioDialog(ui->centralFrame);
        customAudioDialog->setAudioFormatNames(&audioCatalogue.names);
        customAudioDialog->setCatalogueFile(CatalogueFiles::path(QStringLiteral("audio.xml")));
        audioDialogGuard = customAudioDialog;
    }
    return customAudioDialog;
}

// ---- catalogues ------------------------------------------------------------------------------------

const TimingCatalogue& EdidManagement::timings()
{
    ensureTimingCatalogue();
    return timingCatalogue;
}

// The timing catalogue is read the first time something needs it: a decode, the timings page,
// edit mode or the custom timing dialog. Start-up does not pay for it.
void EdidManagement::ensureTimingCatalogue()
{
    if (!timingCatalogueRead)
        loadTimings();
}

void EdidManagement::loadTimings()
{
    timingCatalogueRead = true;
    QString error;
    if (!loadTimingCatalogue(CatalogueFiles::path(QStringLiteral("timings.xml")), &timingCatalogue, &error))
        qDebug() << Q_FUNC_INFO << error;
    timingIndexByName.clear();
    for (int i = 0; i < timingCatalogue.timings.size(); ++i)
        timingIndexByName.insert(EdidFormBinder::timingName(timingCatalogue.timings.at(i)), i);
    CataloguePickLists::fillFilterList(ui->horizontalPixels, timingCatalogue.horizontalPixels);
    CataloguePickLists::fillFilterList(ui->verticalLines, timingCatalogue.verticalLines);
    CataloguePickLists::fillFilterList(ui->refreshRate, timingCatalogue.refreshRates);
    hPixelsFilter = ui->horizontalPixels->currentText();
    vLinesFilter = ui->verticalLines->currentText();
    refreshRateFilter = ui->refreshRate->currentText();
    scanTypeFilter = ui->scanType->currentText();
    populateTimingDropdown();
}

void EdidManagement::populateTimingDropdown()
{
    TimingFilter filter;
    filter.horizontalPixels = hPixelsFilter.isEmpty() ? QStringLiteral("Any") : hPixelsFilter;
    filter.verticalLines = vLinesFilter.isEmpty() ? QStringLiteral("Any") : vLinesFilter;
    filter.refreshRate = refreshRateFilter.isEmpty() ? QStringLiteral("Any") : refreshRateFilter;
    filter.scanType = scanTypeFilter.isEmpty() ? QStringLiteral("Any") : scanTypeFilter;
    CataloguePickLists::fillTimingList(ui->timingDropdown, timingCatalogue.timings, filter,
                                       &EdidFormBinder::timingName);
}

void EdidManagement::loadAudioFormats()
{
    QString error;
    if (!loadAudioCatalogue(CatalogueFiles::path(QStringLiteral("audio.xml")), &audioCatalogue, &error))
        qDebug() << Q_FUNC_INFO << error;
    audioIndexByName.clear();
    for (int i = 0; i < audioCatalogue.formats.size(); ++i)
        audioIndexByName.insert(audioCatalogue.formats.at(i).name, i);
    CataloguePickLists::fillAudioList(ui->audioDropdown, audioCatalogue.formats);
}

void EdidManagement::loadChromaticities()
{
    QString error;
    if (!loadChromaticityCatalogue(CatalogueFiles::path(QStringLiteral("chromaticity.xml")), &chromaticityCatalogue,
                                   &error))
        qDebug() << Q_FUNC_INFO << error;
    CataloguePickLists::fillChromaticityList(ui->chromaticityDropdown, chromaticityCatalogue.sets);
}

// ---- page state ------------------------------------------------------------------------------------

void EdidManagement::managementTabChanged(int tabIndex)
{
    if (tabIndex == 2)
        ensureTimingCatalogue();
    currentTable = tabIndex == 2 ? ui->timingTable : tabIndex == 4 ? ui->audioTable : nullptr;
}

// The interface rules run only here, when the user picks an interface (and when the form is
// reset): what an EDID states is never overruled by a later refresh.
void EdidManagement::videoInterfaceChanged()
{
    if (!ui->digitalRadio->isChecked() && !ui->analogRadio->isChecked())
        return;
    EdidState s;
    EdidFormBinder::readInterfaceChoices(ui, &s);
    EdidRules::applyInterfaceChange(&s, editMode, edidData.size());
    EdidFormBinder::applyInterfaceChoices(s, ui);
    updateInterfacePageState();
}

void EdidManagement::digitalVideoInterfaceChanged()
{
    videoInterfaceChanged();
}

void EdidManagement::updateInterfacePageState()
{
    const bool digital = ui->digitalRadio->isChecked();
    const bool analog = !digital && ui->analogRadio->isChecked();
    if (!digital && !analog)
        return;
    const bool hdmi = digital && ui->hdmiRadio->isChecked();
    const bool dvi = digital && ui->dviRadio->isChecked();

    ui->digitalFrame->setEnabled(digital);
    ui->digitalColorBox->setEnabled(digital);
    ui->analogFrame->setEnabled(analog);
    ui->analogColorBox->setEnabled(analog);
    for (QWidget* w : {static_cast<QWidget*>(ui->hdmi), static_cast<QWidget*>(ui->hdmiColorBox),
                       static_cast<QWidget*>(ui->hdmiImageSize), static_cast<QWidget*>(ui->hdmiImageSizeLabel),
                       static_cast<QWidget*>(ui->threeD), static_cast<QWidget*>(ui->audioLatencyFrame),
                       static_cast<QWidget*>(ui->HDR)})
        w->setEnabled(hdmi);
    // HDMI and DVI fix the colour depth; DisplayPort lets the user choose it.
    ui->colorBitDepthFrame->setEnabled(digital && !hdmi && !dvi);
    ui->audioFormat->setEnabled(digital && !dvi);
    // HDMI and DisplayPort need the extension; DVI and analog may have one or not.
    ui->edidSizeBox->setEnabled(analog || dvi);
    ui->underscan->setEnabled(!ui->edidSize128->isChecked());
    ui->enableHDR->setEnabled(hdmi);
    enableHDRChanged(hdmi && ui->enableHDR->isChecked());
    ui->threeDFrame->setEnabled(hdmi && ui->threeDPresent->isChecked() && EdidFormBinder::vicSlotCount(ui) > 0);
}

void EdidManagement::edidSizeChanged(bool oneBlock)
{
    ui->underscan->setEnabled(!oneBlock);
    if (oneBlock)
        setToggle(ui->underscan, false);
}

void EdidManagement::enable420CapabilityMap(bool setTo)
{
    Q_UNUSED(setTo)
}

void EdidManagement::enable420VideoBlock(bool setTo)
{
    Q_UNUSED(setTo)
}

void EdidManagement::enableHDRChanged(bool checked)
{
    for (QWidget* w : {static_cast<QWidget*>(ui->hdroption1), static_cast<QWidget*>(ui->hdroption2),
                       static_cast<QWidget*>(ui->hdroption3), static_cast<QWidget*>(ui->contentMaxLuminance),
                       static_cast<QWidget*>(ui->contentMaxFrameAvgLuminance),
                       static_cast<QWidget*>(ui->contentMinLuminance)})
        w->setEnabled(checked);
}

// ---- edit mode ---------------------------------------------------------------------------------------

void EdidManagement::enableEditButtons(bool enabled)
{
    editMode = enabled;
    for (QWidget* w : {static_cast<QWidget*>(ui->edidType), static_cast<QWidget*>(ui->general),
                       static_cast<QWidget*>(ui->filterLabel), static_cast<QWidget*>(ui->filterTimingBox),
                       static_cast<QWidget*>(ui->selectTimingLabel), static_cast<QWidget*>(ui->selectTimingBox),
                       static_cast<QWidget*>(ui->color), static_cast<QWidget*>(ui->basicAudio),
                       static_cast<QWidget*>(ui->audioLatencyFrame)})
        w->setEnabled(enabled);
    const bool hdmi = ui->digitalRadio->isChecked() && ui->hdmiRadio->isChecked();
    ui->hdmi->setEnabled(enabled && hdmi);
    ui->threeD->setEnabled(enabled && hdmi);
    if (ui->digitalRadio->isChecked() && (ui->hdmiRadio->isChecked() || ui->dpRadio->isChecked())
        && ui->basicAudio->isChecked()) {
        for (QWidget* w : {static_cast<QWidget*>(ui->speakerAllocLabel), static_cast<QWidget*>(ui->speakerAllocBox),
                           static_cast<QWidget*>(ui->selectAudioLabel), static_cast<QWidget*>(ui->selectAudioBox)})
            w->setEnabled(enabled);
    } else {
        ui->audioFormatFrame->setEnabled(false);
    }

    if (enabled) {
        ensureTimingCatalogue(); // the pick lists become usable
        ui->clearTimingTable->setEnabled(timingModel->rowCount() > 0);
        ui->clearAudioTable->setEnabled(audioModel->rowCount() > 0);
        timingModel->setEditMode(1);
        const QModelIndex timingRow = ui->timingTable->currentIndex();
        if (timingRow.isValid())
            timingRowChanged(timingRow, QModelIndex());
        const QModelIndex audioRow = ui->audioTable->currentIndex();
        if (audioRow.isValid())
            audioFormatRowChanged(audioRow, QModelIndex());
        if (ui->hdmiRadio->isChecked())
            ui->enableHDR->setEnabled(true);
    } else {
        for (QWidget* w : {static_cast<QWidget*>(ui->moveTimingUp), static_cast<QWidget*>(ui->moveTimingDown),
                           static_cast<QWidget*>(ui->editTiming), static_cast<QWidget*>(ui->removeTiming),
                           static_cast<QWidget*>(ui->clearTimingTable), static_cast<QWidget*>(ui->enableHDR),
                           static_cast<QWidget*>(ui->hdroption1), static_cast<QWidget*>(ui->hdroption2),
                           static_cast<QWidget*>(ui->hdroption3), static_cast<QWidget*>(ui->contentMaxLuminance),
                           static_cast<QWidget*>(ui->contentMaxFrameAvgLuminance),
                           static_cast<QWidget*>(ui->contentMinLuminance)})
            w->setEnabled(false);
        timingModel->setEditMode(0);
    }
}

void EdidManagement::updateTableButtons(bool enable)
{
    if (!currentTable)
        return;
    if (currentTable->objectName() == QLatin1String("timingTable")) {
        for (QWidget* w : {ui->moveTimingUp, ui->moveTimingDown, ui->editTiming, ui->removeTiming, ui->clearTimingTable})
            w->setEnabled(enable);
    } else if (currentTable->objectName() == QLatin1String("audioTable")) {
        for (QWidget* w : {ui->moveAudioUp, ui->moveAudioDown, ui->editAudio, ui->removeAudio, ui->clearAudioTable})
            w->setEnabled(enable);
    }
}

void EdidManagement::editEDID()
{
    QString name = edidName;
    if (ui->loadedEDID->text().contains(QLatin1String("Viewing File")))
        name = QStringLiteral("File: ") + QFileInfo(edidName).baseName();
    Dialogs::information(ui->centralFrame, QStringLiteral("Editing EDID"),
                         QStringLiteral("Now editing new EDID file based on currently selected EDID (") + name
                             + QLatin1Char(')'));
    ui->loadedEDID->setText(QStringLiteral("Editing %1").arg(name));
    // Blocks past the first extension are not edited; saving says so.
    sourceExtraBlocks = qMax(0, edidData.size() / 128 - 2);
    history.clear();
    resumeEditing();
    history = {edidData};
}

void EdidManagement::resumeEditing()
{
    downgradeTo420();
    importEDID();
    ui->editEDID->setEnabled(false);
    ui->saveEDID->setEnabled(true);
    ui->saveToDevice->setEnabled(true);
    populateColorDepthDropdowns();
    enableEditButtons(true);
    ui->speakerAllocBox->setStyleSheet(QString());
}

// ---- clearing ------------------------------------------------------------------------------------------

void EdidManagement::clearEDID()
{
    loading = true;

    ui->saveEDID->setEnabled(true);
    ui->saveToDevice->setEnabled(true);

    setToggle(ui->digitalRadio, true);
    setToggle(ui->hdmiRadio, true);
    videoInterfaceChanged();

    for (QPushButton* b : {ui->signalLevel1, ui->videoSetup1, ui->compositeSyncHoriz, ui->serrationVertSync})
        setToggle(b, true);
    setToggle(ui->standbyMode, false);
    setToggle(ui->suspendMode, false);
    setToggle(ui->activeOff, true);
    setToggle(ui->underscan, false);

    ui->displaySize->clear();
    ui->aspectRatio->setCurrentIndex(0);
    ui->monitorName->clear();

    for (QPushButton* b : {ui->rgb444Checkbox, ui->ycbcr444Checkbox, ui->monochromeGrayscale})
        setToggle(b, true);
    for (QPushButton* b : {ui->ycbcr422Checkbox, ui->hdmi48bitspixel, ui->hdmi36bitspixel, ui->hdmi30bitspixel,
                           ui->hdmiYCrCb444})
        setToggle(b, false);
    setToggle(ui->maxTMDSClockAuto, true);
    ui->maxTMDSClock->clear();

    if (ui->chromaticityDropdown->count() > 1)
        ui->chromaticityDropdown->setCurrentIndex(1);
    ui->storeChromaticity->setEnabled(false);
    ui->removeChromaticity->setEnabled(false);

    timingModel->clear();
    ui->timingTable->resizeColumnsToContents();
    updateTableButtons(false);
    clearVICButtons();
    edidFileEdited();

    audioModel->clear();
    ui->audioTable->resizeColumnsToContents();
    updateTableButtons(false);
    edidFileEdited();

    setToggle(ui->basicAudio, false);
    setToggle(ui->speakerFL, true);
    setToggle(ui->speakerFR, true);
    for (QPushButton* b : {ui->speakerFLH, ui->speakerFRH, ui->speakerFLW, ui->speakerFRW, ui->speakerFLC,
                           ui->speakerFRC, ui->speakerRL, ui->speakerRR, ui->speakerRLC, ui->speakerRRC,
                           ui->speakerFCH, ui->speakerFC, ui->speakerTC, ui->speakerLFE, ui->speakerRC})
        setToggle(b, false);

    for (QLineEdit* e : {ui->addressA, ui->addressB, ui->addressC, ui->addressD})
        e->setText(QString());

    setToggle(ui->supportsAI, false);
    setToggle(ui->supportsDVI, false);
    for (QLineEdit* e : {ui->latencyProgressiveAudio, ui->latencyInterlacedAudio, ui->latencyProgressiveVideo,
                         ui->latencyInterlacedVideo})
        e->clear();

    for (QPushButton* b : {ui->graphicsContent, ui->photoContent, ui->cinemaContent, ui->gameContent})
        setToggle(b, false);

    ui->vic3Ddropdown->setCurrentIndex(0);
    for (QPushButton* b : {ui->threeDPresent, ui->framePacking, ui->fieldAlternative, ui->lineAlternative,
                           ui->sideBySideFull, ui->depth, ui->depthGraphics, ui->topAndBottom, ui->sideBySideHalf})
        setToggle(b, false);

    for (QPushButton* b : {ui->hdroption1, ui->hdroption2, ui->hdroption3})
        setToggle(b, false);
    for (QLineEdit* e : {ui->contentMaxLuminance, ui->contentMaxFrameAvgLuminance, ui->contentMinLuminance})
        e->clear();
    for (QWidget* w : {static_cast<QWidget*>(ui->hdroption1), static_cast<QWidget*>(ui->hdroption2),
                       static_cast<QWidget*>(ui->hdroption3), static_cast<QWidget*>(ui->contentMaxLuminance),
                       static_cast<QWidget*>(ui->contentMaxFrameAvgLuminance),
                       static_cast<QWidget*>(ui->contentMinLuminance)})
        w->setEnabled(false);
    setToggle(ui->enableHDR, false);

    resetVICButtons();

    parsedState.minVRate = parsedState.maxVRate = 0;
    parsedState.minHRate = parsedState.maxHRate = 0;
    parsedState.maxPixelClock = 0;

    if (descriptionView) {
        descriptionScroll = descriptionView->verticalScrollBar()->value();
        descriptionView->clear();
    }
    diffs.clear();
}

void EdidManagement::resetParsedLists()
{
    parsedState.yuv420CapabilityVics.clear();
    parsedState.hfVsdbPresent = false;
    parsedState.hfVsdbVersion = 0;
    parsedState.hfVsdbFlags6 = 0;
    parsedState.hfVsdbFlags7 = 0;
    parsedState.hfVsdbMaxTmdsRate = 0;
    parsedState.hfVsdbTail.clear();
    parsedState.hdrStaticMetaDataSupport = false;
    parsedState.hdrStaticMetaData.clear();
}

// ---- history -------------------------------------------------------------------------------------------

void EdidManagement::edidFileEdited()
{
    editRefused = false;
    const bool recording = !suppressHistory && !loading && !descriptionText.isEmpty();
    if (recording) {
        // An edit the EDID cannot hold is refused here, with the reason, and undone on the form.
        const QString problem = edidEncodableError(formState());
        if (!problem.isEmpty()) {
            editRefused = true;
            Dialogs::warning(ui->centralFrame, QStringLiteral("Editing EDID"), problem);
            restoreLastGoodForm();
            return;
        }
    }
    refreshEditView();
    if (recording) {
        history.append(edidData);
        ui->undoEDID->setEnabled(true);
        ui->undoEDIDAll->setEnabled(true);
        qDebug().noquote() << "APPEND TRUE DATA:" << hexBytes(edidData);
    }
    qDebug().noquote() << "APPENDED HISTORY SIZE: " + QString::number(history.size());
}

void EdidManagement::restoreLastGoodForm()
{
    if (!haveLastGoodState)
        return;
    parsedState = lastGoodState;
    EdidFormBinder::applyStateToForm(parsedState, ui, timingModel, audioModel);
    updateInterfacePageState();
    enableEditButtons(editMode);
    ui->timingTable->resizeColumnsToContents();
}

void EdidManagement::undoEDID()
{
    if (history.size() < 2) {
        qDebug() << "Empty history error.";
        return;
    }
    if (history.size() == 2) {
        ui->undoEDID->setEnabled(false);
        ui->undoEDIDAll->setEnabled(false);
    }
    history.removeLast();
    edidData = history.last();
    displayEDID(QString());
    resumeEditing();
}

void EdidManagement::undoEDIDAll()
{
    if (history.size() < 2) {
        qDebug() << "Empty history error.";
        return;
    }
    edidData = history.first();
    history = {edidData};
    displayEDID(QString());
    resumeEditing();
    ui->undoEDID->setEnabled(false);
    ui->undoEDIDAll->setEnabled(false);
}

void EdidManagement::resetHistory()
{
    history = {edidData};
}

void EdidManagement::refreshEDID()
{
    updateEDID();
    timingModel->clear();
    clearVICButtons();
    parseEDID();
    loading = false;
    refreshing = false;
    setEDIDText();
}

// ---- encoding and decoding -------------------------------------------------------------------------

EdidState EdidManagement::formState() const
{
    EdidState s = parsedState;
    EdidFormBinder::readStateFromForm(ui, timingModel, audioModel, &s);
    return s;
}

QString EdidManagement::encodeForm()
{
    EdidState s = formState();
    const EdidEncodeResult r = encodeEdid(s);
    if (!r.ok()) {
        qDebug() << Q_FUNC_INFO << "not encoded:" << r.error;
        return r.error;
    }
    edidData = r.bytes;
    // The table shows where each row landed.
    for (int row = 0; row < r.placements.size() && row < timingModel->rowCount(); ++row) {
        const EdidTimingPlacement& p = r.placements.at(row);
        const struct
        {
            int column;
            bool on;
        } cells[] = {{TimingModel::EstablishedColumn, p.established}, {TimingModel::StandardColumn, p.standard},
                     {TimingModel::VideoBlockColumn, p.videoBlock},   {TimingModel::DtdColumn, p.dtd},
                     {TimingModel::HdmiBlockColumn, p.hdmiBlock}};
        for (const auto& c : cells)
            timingModel->setCheckState(row, c.column, c.on ? Qt::Checked : Qt::Unchecked);
        if (row < s.timings.size()) {
            Timing& t = s.timings[row];
            t.established = p.established;
            t.standard = p.standard;
            t.videoBlock = p.videoBlock;
            t.dtd = p.dtd;
            t.hdmiBlock = p.hdmiBlock;
        }
    }
    lastGoodState = s;
    haveLastGoodState = true;
    return QString();
}

void EdidManagement::updateEDID()
{
    encodeForm();
}

void EdidManagement::initNewEDID()
{
    resetParsedLists();
    parsedState = newEdidState();
    sourceExtraBlocks = 0;
    const EdidEncodeResult r = encodeEdid(parsedState);
    edidData = r.ok() ? r.bytes : QByteArray();
}

EdidDecodeContext EdidManagement::decodeContext()
{
    EdidDecodeContext context;
    context.timings = &timings();
    context.audio = &audioCatalogue;
    context.editMode = editMode;
    QWidget* parent = ui->centralFrame;
    context.checksumWarning = [parent] {
        Dialogs::warning(parent, QStringLiteral("Invalid EDID"),
                         QStringLiteral("EDID has an incorrect checksum. Please verify if the EDID has any errors."));
    };
    context.keepHdrStaticMetadata = [parent] {
        return Dialogs::question(parent, QString(), QStringLiteral("Would you like to maintain the HDR Static Metdata?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
            == QMessageBox::Yes;
    };
    return context;
}

void EdidManagement::parseEDID()
{
    checksumReported = false;
    EdidState state;
    QString error;
    descriptionText = decodeEdid(edidData, decodeContext(), loading ? &state : nullptr, &error);
    if (!error.isEmpty()) {
        descriptionText = error + QLatin1Char('\n');
        return;
    }
    if (loading) {
        // An EDID whose interface no rule named (a digital EDID 1.3 whose first extension is not
        // CTA-861) still shows the size it has.
        if (state.edidSize == EdidState::EdidSize::Unset)
            state.edidSize = edidData.size() >= 256 ? EdidState::EdidSize::Blocks2 : EdidState::EdidSize::Blocks1;
        parsedState = state;
        EdidFormBinder::applyStateToForm(parsedState, ui, timingModel, audioModel);
        updateInterfacePageState();
        computeTMDSClockAndRangeLimits();
        maxTMDSCalculation();
        populateColorDepthDropdowns();
    }
    ui->timingTable->resizeColumnsToContents();
}

// ---- files and the description view ----------------------------------------------------------------

void EdidManagement::setEdidData(const QByteArray& bytes)
{
    edidData = bytes;
}

void EdidManagement::setTextEdit(QTextEdit* view)
{
    descriptionView = view;
}

void EdidManagement::displayEDID(QString name)
{
    edidName = name;
    clearEDID();
    resetParsedLists();
    loading = true;
    editMode = false;
    parseEDID();
    refreshing = false;
    setEDIDText();
    ui->editEDID->setEnabled(true);
    ui->saveEDID->setEnabled(false);
    ui->saveToDevice->setEnabled(false);
    enableEditButtons(false);
    if (ui->basicAudio->isChecked())
        ui->speakerAllocBox->setStyleSheet(
            QStringLiteral("QGroupBox#speakerAllocBox > QPushButton:disabled:checked {border:3px solid #808080;}"));
    ui->timingTable->resizeColumnsToContents();
    lastGoodState = formState();
    haveLastGoodState = true;
}

namespace {
// The comparison of two descriptions, line by line.
QList<Diff> compareDescriptions(const QString& before, const QString& after)
{
    QList<Diff> d = diff_main(before, after, true);
    diff_cleanupSemantic(d);
    return d;
}
} // namespace

void EdidManagement::importEDID()
{
    const QString old = descriptionText;
    qDebug() << "BEFORE!!!";
    const QString problem = encodeForm();
    if (!problem.isEmpty())
        Dialogs::warning(ui->centralFrame, QStringLiteral("Editing EDID"), problem);
    // The tables are emptied, so the decode must fill them again whatever state the caller left.
    timingModel->clear();
    clearVICButtons();
    loading = true;
    parseEDID();
    loading = false;
    setEDIDText();
    qDebug() << "AFTER!!!";
    diffs = compareDescriptions(old, descriptionText);
    if (showDiffMode)
        showDiff();
    else
        setEDIDText();
}

void EdidManagement::refreshEditView()
{
    if (suppressHistory || loading || descriptionText.isEmpty())
        return;
    const QString old = descriptionText;
    updateEDID();
    parseEDID();
    diffs = compareDescriptions(old, descriptionText);
    refreshing = true;
    if (showDiffMode)
        showDiff();
    else
        setEDIDText();
}

void EdidManagement::showDiff()
{
    if (diffs.isEmpty() || !descriptionView)
        return;
    descriptionScroll = descriptionView->verticalScrollBar()->value();
    descriptionView->clear();
    QTextCursor cursor(descriptionView->document());
    for (const Diff& d : diffs) {
        QTextCharFormat format;
        format.setFont(QFont(QStringLiteral("Courier"), 10));
        switch (d.operation) {
        case Diff::DELETE: format.setBackground(QColor(Qt::red).lighter(150)); break;
        case Diff::INSERT: format.setBackground(QColor(Qt::green)); break;
        case Diff::EQUAL: format.setBackground(QColor(Qt::white)); break;
        }
        cursor.insertText(d.text, format);
        descriptionView->verticalScrollBar()->setValue(descriptionScroll);
    }
}

void EdidManagement::setEDIDText()
{
    if (!descriptionView)
        return;
    descriptionView->setPlainText(descriptionText);
    descriptionView->verticalScrollBar()->setValue(descriptionScroll);
}

void EdidManagement::setDiffMode(bool on)
{
    showDiffMode = on;
    if (on)
        showDiff();
    else
        setEDIDText();
}

void EdidManagement::saveEDID()
{
    if (ui->enableHDR->isEnabled() && ui->enableHDR->isChecked() && !ui->hdroption1->isChecked()
        && !ui->hdroption2->isChecked() && !ui->hdroption3->isChecked()) {
        Dialogs::warning(ui->centralFrame, QStringLiteral("Editing EDID"),
                         QStringLiteral("Please select at least one of the HDR Supported EOTF."));
        return;
    }
    // The editor holds the base block and the first extension only.
    if (sourceExtraBlocks > 0) {
        const QString text =
            QStringLiteral("The EDID this one was made from has %1 more extension %2 after the first. The editor "
                           "does not keep %3, so the saved file will not contain %3. Save anyway?")
                .arg(sourceExtraBlocks)
                .arg(sourceExtraBlocks == 1 ? QStringLiteral("block") : QStringLiteral("blocks"))
                .arg(sourceExtraBlocks == 1 ? QStringLiteral("it") : QStringLiteral("them"));
        if (Dialogs::question(ui->centralFrame, QStringLiteral("Editing EDID"), text, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No)
            != QMessageBox::Yes)
            return;
    }
    const QString fileName = Dialogs::getSaveFileName(ui->centralFrame, QStringLiteral("Select File to Save As"),
                                                      myXMLManager::getLastSavedDirectory(),
                                                      QStringLiteral("Files (*.bin)"));
    savedFileName = fileName;
    qDebug() << fileName;
    myXMLManager::setLastSavedDirectory(fileName);
    if (fileName.isEmpty())
        return;

    const QString problem = encodeForm();
    if (!problem.isEmpty()) {
        Dialogs::warning(ui->centralFrame, QStringLiteral("Editing EDID"), problem);
        return;
    }
    QString error;
    if (!writeEdidFile(fileName, edidData, &error))
        Dialogs::critical(ui->centralFrame, QStringLiteral("Editing EDID"),
                          QStringLiteral("The EDID could not be saved to %1: %2").arg(fileName, error));
}
