// EDID test and booster units: the shared EDID box. Reads a unit's EDID for the viewer, saves a
// unit's or a PC monitor's EDID into a ".bin" file, uploads a file and copies between the unit's
// own stores. Items of other families in the box's lists go to that family's controller
// (edidRouteFor).
#include "sorvaneinterface.h"

#include "constants.h"
#include "converter.h"
#include "delay.h"
#include "dialogs.h"
#include "edidfile.h"
#include "ediddecoder.h"
#include "lunmora.h"
#include "myxmlmanager.h"
#include "scaler.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

namespace {

const QString retrieveFailedText =
    QStringLiteral("Unable to retrieve EDID. Please try again later. If problem persists, restart unit.");
const QString copyFailedText = QStringLiteral("Copy EDID failed. Please try again later. If problem persists, restart unit.");
// QComboBox keeps an item's flags under this role.
const int itemFlagsRole = Qt::UserRole - 1;

} // namespace

QByteArray SorvaneInterface::readConverterEdid(bool scalerVariant)
{
    Converter reader(ui, monitorEdids ? *monitorEdids : QList<EdidEntry>());
    return scalerVariant ? reader.doScalerViewEDID() : reader.doViewEDID();
}

void SorvaneInterface::uploadConverterEdid(bool scalerVariant, const QString& fileName)
{
    Converter writer(ui, monitorEdids ? *monitorEdids : QList<EdidEntry>());
    if (scalerVariant)
        writer.uploadScaler12EDID(fileName);
    else
        writer.uploadEDID(fileName);
}

bool SorvaneInterface::chooseDownloadPath()
{
    downloadPath = Dialogs::getSaveFileName(ui->centralFrame, QStringLiteral("Select File to Save As"),
                                            myXMLManager::getLastSavedDirectory(), QStringLiteral("Files (*.bin)"));
    myXMLManager::setLastSavedDirectory(downloadPath);
    if (downloadPath.isEmpty())
        return false;
    // An existing file is replaced only once a whole EDID is there to take its place.
    showStatus(QStringLiteral("Downloading..."), busyPalette);
    return true;
}

void SorvaneInterface::downloadEdid()
{
    if (!chooseDownloadPath())
        return;

    const int index = ui->selectEDIDFromDevice->currentIndex();
    switch (edidRouteFor(ui->selectEDIDFromDevice->currentText(), ui->productCombobox->currentText())) {
    case EdidRoute::Converter: saveEDIDData(downloadPath, readConverterEdid(false)); return;
    case EdidRoute::ConverterScaler: saveEDIDData(downloadPath, readConverterEdid(true)); return;
    case EdidRoute::Scaler:
        saveEDIDData(downloadPath, scalerLink ? scalerLink->getEDID(selectedDevice) : QByteArray());
        return;
    case EdidRoute::JovarisScaler:
        saveEDIDData(downloadPath, scalerLink ? scalerLink->getJOVARISEDID() : QByteArray());
        return;
    case EdidRoute::ZarrickScaler:
        saveEDIDData(downloadPath, scalerLink ? scalerLink->getZARRICKEDID() : QByteArray());
        return;
    case EdidRoute::CavroshScaler:
        saveEDIDData(downloadPath, scalerLink ? scalerLink->getCAVROSHEDID() : QByteArray());
        return;
    case EdidRoute::Splitter: saveEDIDData(downloadPath, lunmoraLink ? lunmoraLink->getEDID() : QByteArray()); return;
    case EdidRoute::TestDevice: break;
    }
    if (deviceSelected && index == 1) {
        receiveEdidFile();
        return;
    }
    const int monitors = monitorEdids ? monitorEdids->size() : 0;
    saveMonitorEdid(index - ui->selectEDIDFromDevice->count() + monitors);
}

void SorvaneInterface::downloadEdidMonitor()
{
    if (chooseDownloadPath())
        saveMonitorEdid(ui->selectEDIDFromMonitor->currentIndex() - 1);
}

void SorvaneInterface::saveMonitorEdid(int position)
{
    if (!monitorEdids || position < 0 || position >= monitorEdids->size())
        return;
    saveEDIDData(downloadPath, monitorEdids->at(position).edid);
}

void SorvaneInterface::saveEDIDData(const QString& path, const QByteArray& data)
{
    if (data.isEmpty()) {
        // The controller that read it has told the user why.
        showStatus(QStringLiteral("Download Failed."), errorPalette, 5000);
        return;
    }
    QString error = edidInputError(data);
    if (error.isEmpty() && writeEdidFile(path, data, &error)) {
        showStatus(QStringLiteral("Download Complete."), successPalette, 3000);
        return;
    }
    showStatus(QStringLiteral("Download Failed."), errorPalette, 5000);
    Dialogs::critical(ui->centralFrame, QStringLiteral("I/O Error"), error);
}

void SorvaneInterface::uploadBrowse()
{
    uploadPath = Dialogs::getOpenFileName(ui->centralFrame, QStringLiteral("Select File"), QString(),
                                          QStringLiteral("Files (*.bin)"));
    ui->uploadFilename->setText(uploadPath);
    ui->uploadButton->setEnabled(true);
}

void SorvaneInterface::uploadEdidWrapper()
{
    uploadEdid(uploadPath, ui->uploadToDropdown->currentIndex());
}

void SorvaneInterface::uploadEdid(QString fileName, int bank)
{
    switch (edidRouteFor(ui->uploadToDropdown->currentText(), ui->productCombobox->currentText())) {
    case EdidRoute::Converter: uploadConverterEdid(false, fileName); return;
    case EdidRoute::ConverterScaler: uploadConverterEdid(true, fileName); return;
    case EdidRoute::Scaler:
        if (scalerLink)
            scalerLink->sendEDID(selectedDevice, fileName);
        return;
    case EdidRoute::JovarisScaler:
        if (scalerLink)
            scalerLink->sendNORRITHEDID(fileName);
        return;
    case EdidRoute::ZarrickScaler:
        if (scalerLink)
            scalerLink->sendZARRICKEDID(fileName);
        return;
    case EdidRoute::CavroshScaler:
        if (scalerLink)
            scalerLink->sendCAVROSHEDID(fileName);
        return;
    case EdidRoute::Splitter:
        if (lunmoraLink)
            lunmoraLink->sendEDID(fileName);
        return;
    case EdidRoute::TestDevice: sendEdidFile(fileName, bank); return;
    }
}

void SorvaneInterface::copyEdidSourceChanged(int index)
{
    const int flags = index == 0 ? int(Qt::ItemIsSelectable | Qt::ItemIsEnabled) : 0;
    for (int i = 1; i < ui->copyToDropdown->count(); ++i)
        ui->copyToDropdown->setItemData(i, flags, itemFlagsRole);
    if (index != 0)
        ui->copyToDropdown->setCurrentIndex(0);
}

void SorvaneInterface::copyEdid()
{
    ui->statusBar->showMessage(QStringLiteral("Copying..."));
    const int s = ui->copyFromDropdown->currentIndex();
    const int t = ui->copyToDropdown->currentIndex();
    QString command;
    if (s == 0)
        command = t > 0 ? QStringLiteral("#ediddstoba %1\r").arg(t) : QStringLiteral("#ediddstolo\r");
    else if (s >= 1 && s <= 6)
        command = QStringLiteral("#edidbatolo %1\r").arg(s);
    else if (s >= 7 && s <= 12 && hasSixDefaultBanks)
        command = QStringLiteral("#ediddetolo %1\r").arg(s - 6);
    else if (s == 7)
        command = QStringLiteral("#edidbatolo 7\r");
    else if (s >= 8 && s <= 12)
        command = QStringLiteral("#ediddetolo\r");
    if (command.isEmpty()) {
        showStatus(QStringLiteral("Copy EDID Failed."), errorPalette, 5000);
        return;
    }

    if (!waitForIdle()) {
        communicationError(QStringLiteral("Copy EDID Failed."), copyFailedText);
        return;
    }
    setEdidControlsEnabled(false);
    if (!port->isOpen())
        openPort();
    appstate = CopyOrDefaults;
    resetReceive();
    writeCommand(command);
    delay(1000);

    QString result;
    QByteArray line;
    for (int n = 0; n < 100; ++n) {
        const int b = getonechar(100);
        if (b < 0)
            break;
        if (b != '\n') {
            line.append(char(b));
            continue;
        }
        if (!line.startsWith('#') && line.size() > 2)
            result += QString::fromLatin1(line).trimmed() + QLatin1Char(' ');
        line.clear();
    }
    appstate = Idle;
    setEdidControlsEnabled(true);
    // The unit's answer decides: no answer or a refusal is a failed copy.
    if (result.trimmed().isEmpty()) {
        communicationError(QStringLiteral("Copy EDID Failed."), copyFailedText);
        return;
    }
    if (replyIsInvalid(result)) {
        showStatus(QStringLiteral("Copy EDID Failed."), errorPalette, 5000);
        Dialogs::critical(ui->centralFrame, QStringLiteral("Invalid Command Error"),
                          QStringLiteral("Command failed. Please try again later. If problem persists, restart unit."));
        return;
    }
    showStatus(QStringLiteral("Copy result: ") + result.trimmed(), successPalette, 5000);
}

QByteArray SorvaneInterface::getEDID(int source)
{
    QString command;
    if (source == 1)
        command = QStringLiteral("#prloedid\r");
    else if (source == 2)
        command = QStringLiteral("#prdsedid\r");
    else
        command = QStringLiteral("#prbaedid %1\r").arg(source - 2);

    if (!waitForIdle()) {
        setEdidControlsEnabled(true);
        Dialogs::critical(ui->centralFrame, QStringLiteral("Communication Error"), retrieveFailedText);
        return {};
    }
    appstate = StatusQuery;
    setEdidControlsEnabled(false);
    QWidget* configurePage = ui->tabWidget->widget(1);
    if (configurePage)
        configurePage->setEnabled(false);
    openPort();
    statusText.clear();
    lineBuffer.clear();
    dropStaleInput();
    writeCommand(command);
    showStatus(QStringLiteral("Retrieving EDID from device..."), busyPalette);
    // The dump is complete once the unit has been quiet a while.
    staleInput.settle(awaitReply(statusText, 500, 3500));

    appstate = Idle;
    if (configurePage)
        configurePage->setEnabled(true);
    clearStatus();
    setEdidControlsEnabled(true);

    if (statusText.contains(QLatin1String("Sink not detected")))
        return {};
    if (replyIsInvalid(statusText)) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("Invalid Command Error"),
                          QStringLiteral("Command failed. Please try again later. If problem persists, restart unit."));
        return {};
    }
    const QByteArray edid = parseStatus(statusText, selectedDevice.type);
    if (edid.isEmpty()) {
        qDebug() << "SorvaneInterface: no whole EDID in the dump:" << statusText.left(200);
        Dialogs::critical(ui->centralFrame, QStringLiteral("Communication Error"), retrieveFailedText);
    }
    return edid;
}
