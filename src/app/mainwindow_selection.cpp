// Product selection: turns the drop-down entry the user picked into a unit to work on. The
// family's page set goes into the "Configure" tab, the unit goes to the family's controller and
// the update page learns which product and update method to show.
#include "mainwindow.h"
#include "ui_mainui.h"

#include "caltor.h"
#include "constants.h"
#include "converter.h"
#include "discovery.h"
#include "discoverydatagrams.h"
#include "edidplus.h"
#include "hdbaset.h"
#include "lunmora.h"
#include "ostrand.h"
#include "scaler.h"
#include "serialports.h"
#include "sorvaneinterface.h"
#include "updatetabcontrol.h"

#include <QComboBox>
#include <QDebug>
#include <QSignalBlocker>
#include <QStatusBar>

#include <algorithm>

namespace {

const QString kBoldEntry = QStringLiteral("QComboBox { font-weight: bold; }");
const QString kNormalEntry = QStringLiteral("QComboBox { font-weight: normal; }");

void setPagesEnabled(std::initializer_list<QWidget*> pages, bool enabled)
{
    for (QWidget* page : pages)
        page->setEnabled(enabled);
}

// The serially controlled extender the entry names, tried in this order; empty for none.
QString rs232Extender(const QString& text)
{
    for (const QString& model : {MODEL_JOVARIS, MODEL_NORRITH, MODEL_SURROW}) {
        if (text.contains(model))
            return model;
    }
    return QString();
}

} // namespace

void MainWindow::selectedProductChanged(int index)
{
    const QString text = ui->productCombobox->currentText();
    const HubFamily* family = familyOfEntry(index);
    // The RS-232 extenders are reached through a serial port the user names. With none on this
    // PC there is nothing to take up: say so and leave everything as it was before the choice.
    if (!family && !rs232Extender(text).isEmpty() && noSerialPortFor(rs232Extender(text))) {
        QComboBox* combo = ui->productCombobox;
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(std::max(0, combo->findText(chosenEntryText)));
        return;
    }
    chosenEntryText = text;

    clearDisconnectedAlert();
    ui->ConfiguratorTabs->setEnabled(true);
    qDebug() << "selectedProductChanged: index = " << index;
    qDebug() << "selected 1 ---- " << text;

    ui->label_92->show();
    ui->label_93->show();
    ui->refreshEDIDModes->show();

    // The builders of a unit that is taken up change pages without telling the page handlers.
    ui->ConfiguratorTabs->blockSignals(true);
    ui->scalerEDIDBox->setEnabled(false);
    ui->updateCurrentFirmware->clear();

    const bool takenUp = family ? family->takeUp(index, text) : takeUpUnitByText(text);
    ui->ConfiguratorTabs->blockSignals(false);

    if (takenUp) {
        ui->productCombobox->setStyleSheet(kBoldEntry);
        return;
    }
    ui->productCombobox->setStyleSheet(kNormalEntry);
    showProductNotConnected(text);
}

// ---- Units of the family lists ---------------------------------------------------------------

bool MainWindow::takeUpConverterUnit(const Device& unit, int index, const QString& text)
{
    ui->label_92->hide();
    ui->label_93->hide();
    ui->refreshEDIDModes->hide();
    const bool converterModel = text.contains(MODEL_ORRELIN) || text.contains(MODEL_PALOMIR)
        || text.contains(MODEL_PERRICK);
    if (!converterModel) {
        // Wireless and KVM units: their update page only.
        showUpdateOnlyControls();
        ui->firmwareTabROLVANE->setEnabled(true);
    } else {
        qDebug() << "Converter: index = " << index;
        firmwarePage->setEnabled(true);
        ui->converterFirmwareBrowse->setEnabled(text.contains(QLatin1String("USB")));
        if (text.contains(MODEL_PERRICK)) {
            showGenericControls();
            converter->selectedProductChanged(unit);
        } else if (text.contains(MODEL_ORRELIN)) {
            showDisplayPortEdidToolControls();
            converter->selectedProductChanged(unit);
        } else {
            showUpdateOnlyControls();
        }
    }
    rewire(ui->downloadButton, SLOT(converterScalerDownloadEDID()));
    updateTabControl->setUSBDevice(unit);
    return true;
}

bool MainWindow::takeUpSorvaneUnit(const Device& unit, const QString& text)
{
    if (text.contains(NAME_DP_SORVANE_PLUS) && !text.contains(NAME_BOOSTER_SORVANE)
        && !text.contains(NAME_HDMI_SORVANE_PLUS))
        showDisplayPortEdidToolControls();
    else
        showHdmiEdidToolControls();
    edidPlus->selectProduct(unit);
    updateTabControl->setUSBSerialDevice(unit);
    return true;
}

bool MainWindow::takeUpScalerUnit(const Device& unit)
{
    showScalerControls();
    setPagesEnabled({outputPage, picturePage, adjustPage, systemPage, testPatternPage, timingPage}, true);
    scaler->setState(1);
    scaler->selectedProductChanged(unit);
    edidPlus->setDeviceInfoA(unit, scaler);
    updateTabControl->setUSBSerialProductAlt(unit);
    rewire(ui->downloadButton, SLOT(converterScalerDownloadEDID()));
    return true;
}

bool MainWindow::takeUpLunmoraUnit(const Device& unit)
{
    qDebug() << "lunmora product found!";
    showSplitterControls();
    setPagesEnabled({lunmoraHdcpPage, lunmoraStatusPage}, true);
    lunmora->setTabState(1);
    lunmora->selectedProductChanged(unit);
    edidPlus->setDeviceInfoB(unit, lunmora);
    updateTabControl->setUSBSerialProductAlt(unit);
    return true;
}

bool MainWindow::takeUpHDBaseTUnit(const Device& unit, const QString& text)
{
    showHDBaseTControls(text.contains(QLatin1String("-R")), true);
    edidPlus->selectProduct(unit);
    updateTabControl->setUSBSerialDevice(unit);
    hdbaseT->selectedProductChanged(unit);
    return true;
}

// The drop-down holds the hub's copy of the unit; the controllers get Discovery's record, looked
// up again by MAC, since the records of the last fill may have been freed by a later scan. False
// when Discovery no longer knows the unit.
bool MainWindow::takeUpEthernetUnit(const EthernetUnit& listed)
{
    _Device* unit = discoveredUnit(listed.macAddress());
    if (!unit) {
        qDebug() << "Ethernet unit no longer found:" << listed.mac();
        return false;
    }
    discovery->selectDeviceRow(unit);

    const QString name = unit->productName;
    const bool savrano = name.contains(QLatin1String("Savrano"));
    if (savrano || name.contains(QLatin1String("Borlune"))) {
        scaler->ipAddress = DiscoveryProtocol::addressToString(unit->ip);
        scaler->tcpPort = unit->telnetPort;
        scaler->TCPConnect();
        scaler->setState(1);
        edidPlus->sorvaneInterface()->scalerLink = scaler;
        if (savrano) {
            showSAVRANOControls(true, false);
            updateTabControl->setUSBProduct(name);
        } else {
            showBORLUNEControls(true, false);
            updateTabControl->setUSBProductChecked(name);
        }
    } else if (name.contains(QLatin1String("Ostrand"))) {
        showIpProductControls(true);
        ostrand->selectedProductChanged(unit);
        updateTabControl->setIPProduct(unit);
    } else if (name.contains(MODEL_CALTOR)) {
        caltor->ipAddress = DiscoveryProtocol::addressToString(unit->ip);
        caltor->tcpPort = unit->telnetPort;
        showCALTORControls(true);
        updateTabControl->setCALTORDevice(name);
        updateTabControl->setIPProduct(unit);
    } else {
        showUpdateOnlyControls();
        updateTabControl->setIPProduct(unit);
    }
    return true;
}

// Entries in none of the family lists: products that are taken up although no list reported
// them (the serially controlled extenders, units on a USB serial port, Caltor on USB).
bool MainWindow::takeUpUnitByText(const QString& text)
{
    const QString extender = rs232Extender(text);
    if (!extender.isEmpty()) {
        qDebug() << "found" << extender;
        scaler->setState(1);
        edidPlus->sorvaneInterface()->scalerLink = scaler;
        showNORRITHControls(true);
        updateTabControl->setUSBSerialProduct(text);
        return true;
    }
    if (text.contains(MODEL_ZARRICK))
        return takeUpSerialOnlyUnit(MODEL_ZARRICK);
    if (text.contains(MODEL_CAVROSH))
        return takeUpSerialOnlyUnit(MODEL_CAVROSH);
    if (text.contains(MODEL_CALTOR)) {
        qDebug() << "found CALTOR_NAME connected through USB";
        showCALTORControls(true);
        updateTabControl->setCALTORDevice(text);
        caltor->ipAddress.clear();
        return true;
    }
    showUpdateOnlyControls();
    return false;
}

// A Zarrick or Cavrosh unit counts as connected when a serial port describes itself as one.
bool MainWindow::takeUpSerialOnlyUnit(const QString& model)
{
    qDebug() << "found" << model;
    bool onSerialPort = false;
    for (const SerialPortEntry& port : SerialPortLister::availablePorts()) {
        if (port.description.startsWith(model)) {
            qDebug() << model << "CONNECTED VIA USB " << port.portName;
            onSerialPort = true;
        }
    }
    edidPlus->sorvaneInterface()->scalerLink = scaler;
    if (!onSerialPort) {
        scaler->setState(0);
        return false;
    }
    scaler->setState(1);
    if (model == MODEL_ZARRICK) {
        showSAVRANOControls(true, true);
        updateTabControl->setUSBProduct(MODEL_ZARRICK);
    } else {
        showBORLUNEControls(true, true);
        updateTabControl->setUSBProductChecked(MODEL_CAVROSH);
    }
    return true;
}

// Supported products with no unit attached: their pages for a look, disabled where they would
// talk to a unit, and the update page in offline mode.
void MainWindow::showProductNotConnected(const QString& text)
{
    if (text == NAME_BOOSTER_SORVANE || text == NAME_HDMI_SORVANE_PLUS) {
        const bool booster = text == NAME_BOOSTER_SORVANE;
        showHdmiEdidToolControls();
        ui->ddcFrame->setEnabled(false);
        ui->ddcFrame->show();
        ui->boosterFrame->setEnabled(false);
        ui->boosterFrame->setVisible(booster);
        ui->configTabMessage->hide();
        ui->configTabLogo->setVisible(!booster);
        ui->sorvaneFirmwareBrowse->setEnabled(false);
    } else if (text == NAME_DP_SORVANE_PLUS) {
        showDisplayPortEdidToolControls();
        ui->sorvaneFirmwareBrowse->setEnabled(false);
    } else if (text.contains(QLatin1String("Scaler"))) {
        scaler->showProductWidgets(text);
        showScalerControls();
        setPagesEnabled({outputPage, picturePage, adjustPage, systemPage, testPatternPage, timingPage}, false);
        scaler->setState(0);
    } else if (text.contains(MODEL_DUNMARL_R) || text.contains(MODEL_DUNMARL_S)) {
        showHDBaseTControls(text.contains(QLatin1String("-R")), false);
    } else if (text.contains(MODEL_FARRUND) || text.contains(MODEL_HARLISK) || text.contains(MODEL_JORVALE)) {
        lunmora->previewProductControls(text);
        showSplitterControls();
        setPagesEnabled({lunmoraHdcpPage, lunmoraStatusPage}, false);
        lunmora->setTabState(0);
    } else if (text.contains(MODEL_QUILLON) || text.contains(MODEL_RENNART)) {
        showIpProductControls(false);
    } else if (updateTabControl->isGroupOneDevice(text)) {
        showUpdateOnlyControls();
        updateTabControl->setRS232Product(text);
        return;
    } else {
        showUpdateOnlyControls();
    }
    updateTabControl->setOfflineDevice(text);
}
