// Scaler controller: product selection, the output widgets of each generic scaler, and the
// read-back each page tab starts.
#include "scaler.h"

#include "constants.h"
#include "mybuttongroup.h"
#include "portaccess.h"
#include "timingpreset.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QLayout>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>

namespace {
const QString openFailedMessage =
    QStringLiteral("Failed to open serial port. Try disconnect power and connect the unit.");
const QString bootLoaderInstructions = QStringLiteral(
    "The firmware update process was started but did not run to completion. In order to return the unit to a "
    "functional state, try power cycling the unit. If you still get this message, please use the browse button "
    "above to select a valid firmware file and push the Update button to complete the update.");
} // namespace

Scaler::Family Scaler::familyOfProduct(const QString& productText)
{
    if (productText.contains(MODEL_JOVARIS))
        return Family::Jovaris;
    if (productText.contains(MODEL_SURROW))
        return Family::Surrow;
    if (productText.contains(MODEL_NORRITH))
        return Family::Norrith;
    if (productText.contains(MODEL_ZARRICK))
        return Family::Zarrick;
    if (productText.contains(MODEL_CAVROSH))
        return Family::Cavrosh;
    return Family::GenericScaler;
}

Scaler::Family Scaler::selectedFamily() const
{
    return familyOfProduct(ui->productCombobox->currentText());
}

// Which output widgets each generic scaler has, and which output-resolution grid. A name that is
// none of the three changes nothing.
bool Scaler::applyOutputWidgets(const QString& productName)
{
    struct OutputWidgets {
        MyButtonGroup* Scaler::*grid;
        bool colorSpace;
        bool outputMode;
        bool outputLock;
        bool colorRange;
    };
    OutputWidgets row{};
    if (productName == NAME_SCALER_VGA_AUDIO_TO_HDMI)
        row = {&Scaler::outputResHdmiGroup, true, true, false, true};
    else if (productName == NAME_SCALER_VGA_TO_DVI)
        row = {&Scaler::outputResDviGroup, false, false, false, true};
    else if (productName == NAME_SCALER_HDMI_VGA_TO_3GSDI)
        row = {&Scaler::outputResSdiGroup, false, false, true, false};
    else
        return false;
    currentOutputResGroup = this->*row.grid;
    ui->colorSpaceLabel->setVisible(row.colorSpace);
    ui->colorSpaceFrame->setVisible(row.colorSpace);
    ui->outputModeLabel->setVisible(row.outputMode);
    ui->outputModeFrame->setVisible(row.outputMode);
    ui->outputLockLabel->setVisible(row.outputLock);
    ui->outputLockFrame->setVisible(row.outputLock);
    ui->colorRangeLabel->setVisible(row.colorRange);
    ui->colorRangeFrame->setVisible(row.colorRange);
    return true;
}

// The three grids share one frame: the others' buttons go before the chosen one is built.
void Scaler::buildCurrentOutputResGrid()
{
    if (!currentOutputResGroup)
        return;
    for (MyButtonGroup* group : {outputResHdmiGroup, outputResDviGroup, outputResSdiGroup}) {
        if (group != currentOutputResGroup)
            group->clearButtons();
    }
    currentOutputResGroup->createButtons();
}

void Scaler::replaceEdidModeGroup(const QStringList& entries, QWidget* frame)
{
    if (edidModeGroup) {
        edidModeGroup->clearButtons();
        edidModeGroup->deleteLater();
    }
    edidModeGroup = new MyButtonGroup(entries, frame, QStringLiteral("#SET_EDID_MODE"), this);
    edidModeGroup->createButtons();
}

void Scaler::selectedProductChanged(Device device)
{
    selectedDevice = device;
    replyBytes.clear();
    replyReadPos = 0;

    if (!openPort(true)) {
        showError(PortAccess::explained(openFailedMessage, *serialPort));
        return;
    }
    // A unit left in its boot loader answers the boot loader's PING; a running unit ignores it.
    serialPort->write(QByteArray("\x03\x20\x20", 3));
    const bool inBootLoader = receiveAck(100);
    if (serialPort->isOpen())
        serialPort->close();
    if (inBootLoader) {
        setState(2);
        ui->firmwareUpdateInstructions->setText(bootLoaderInstructions);
    } else {
        scalerTabChanged(ui->ConfiguratorTabs->currentIndex());
    }

    QComboBox* sources = ui->selectEDIDFromDevice;
    for (int i = sources->count() - 1; i >= 0; --i) {
        const QString text = sources->itemText(i);
        if (!text.contains(QLatin1String("Select EDID")) && !text.contains(QLatin1String("Connected Display")))
            sources->removeItem(i);
    }
    sources->setEnabled(true);
    if (selectedDevice.name == NAME_SCALER_HDMI_VGA_TO_3GSDI) {
        sources->insertItem(1, QStringLiteral("Scaler: VGA EDID"));
        sources->insertItem(2, QStringLiteral("Scaler: HDMI EDID"));
    } else {
        sources->insertItem(1, QStringLiteral("Scaler: Local EDID"));
    }
    fillEdidSelector();

    ui->outputResolutionHeader->show();
    ui->outputResolutionFrame->show();
    const QString byType = selectedDevice.type == 6   ? NAME_SCALER_VGA_AUDIO_TO_HDMI
                           : selectedDevice.type == 5 ? NAME_SCALER_VGA_TO_DVI
                           : selectedDevice.type == 4 ? NAME_SCALER_HDMI_VGA_TO_3GSDI
                                                      : QString();
    applyOutputWidgets(byType);
    ui->label_93->setVisible(selectedDevice.type == 4);

    ui->scalerEDIDFrame->setFixedHeight(51);
    replaceEdidModeGroup(EDID_MODE_CHOICES, ui->scalerEDIDFrame);
    edidModeGroup->setToolTips(
        {QStringLiteral("This uses an internal default EDID."), QStringLiteral("This uses a custom uploaded EDID.")});
    connect(edidModeGroup, SIGNAL(sendCommand(QString, QString)), this, SLOT(handleCommand(QString, QString)));

    buildCurrentOutputResGrid();
    if (currentOutputResGroup) {
        connect(currentOutputResGroup, SIGNAL(sendCommand(QString, QString)), this,
                SLOT(handleCustomCommand(QString, QString)), Qt::UniqueConnection);
    }
    ui->scalerEDIDBox->setEnabled(true);
}

void Scaler::showProductWidgets(QString name)
{
    applyOutputWidgets(name);
    if (!currentOutputResGroup)
        return;
    buildCurrentOutputResGrid();
    ui->outputResolutionHeader->show();
    ui->outputResolutionFrame->show();
}

void Scaler::scalerTabChanged(int index)
{
    const QString product = ui->productCombobox->currentText();
    // The splitters and the telnet models have pages and a controller of their own.
    for (const QString& other : {MODEL_FARRUND, MODEL_HARLISK, MODEL_JORVALE, MODEL_QUILLON, MODEL_RENNART}) {
        if (product.contains(other))
            return;
    }
    if (deviceState == 0 || deviceState == 2)
        return;

    switch (familyOfProduct(product)) {
    case Family::Jovaris:
    case Family::Surrow:
    case Family::Norrith:
        ui->updateFilename_2->clear();
        ui->firmwareFolder->clear();
        switch (index) {
        case 0: refreshJOVARIS_routingPage(); break;
        case 1: refreshJOVARIS_setupPage(); break;
        case 2: refreshJOVARIS_vgaPage(); break;
        case 3:
        case 5: refreshJOVARIS_edidPage(); break;
        case 4: refreshJOVARIS_systemPage(); break;
        default: break;
        }
        return;
    case Family::Zarrick:
        if (index == 0)
            refreshZARRICK_edidPage();
        return;
    case Family::Cavrosh:
        if (index == 0)
            refreshCAVROSH_edidPage();
        return;
    case Family::GenericScaler:
        break;
    }

    const bool sdi = selectedDevice.name == NAME_SCALER_HDMI_VGA_TO_3GSDI;
    switch (index) {
    case 0: refreshOutputData(); break;
    case 1: refreshPictureData(); break;
    case 2: refreshAdjustData(); break;
    case 3:
        ui->inputselectframe->setEnabled(sdi);
        ui->inputselectlabel->setEnabled(sdi);
        refreshSystemData();
        break;
    case 4: refreshTestPatternData(); break;
    case 5: presetTabChanged(ui->timingPresets->currentIndex()); break;
    case 6:
        if (sdi)
            refreshInputSelected();
        ui->scalerEDIDFrame->setFixedHeight(51);
        ui->scalerEDIDBox->setEnabled(true);
        break;
    default: break;
    }
}

bool Scaler::isChildWidgetOfAnyLayout(QLayout* layout, QWidget* widget)
{
    if (!layout || !widget)
        return false;
    if (layout->indexOf(widget) >= 0)
        return true;
    for (QObject* child : layout->children()) {
        if (auto* nested = qobject_cast<QLayout*>(child)) {
            if (isChildWidgetOfAnyLayout(nested, widget))
                return true;
        }
    }
    return false;
}
