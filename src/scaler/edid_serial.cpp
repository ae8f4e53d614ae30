// Scaler controller: EDIDs read out of the serial units. The generic scalers' "#GET_EDID" read
// (for the EDID viewer and the test-device page), the EDID mode of the two-input scaler's inputs,
// the upload targets of the "Manage EDID" page, the Jovaris family's internal, external and custom
// EDIDs, and saving downloaded bytes as a ".bin" file.
//
// Every EDID read from a unit is taken from the hexadecimal block of its answer alone
// (decodeEdidHexBlock) and must pass edidTransferError; anything else is refused with a message
// and never handed on or written.
#include "scaler.h"

#include "constants.h"
#include "delay.h"
#include "dialogs.h"
#include "ediddecoder.h"
#include "edidfile.h"
#include "mybuttongroup.h"
#include "myxmlmanager.h"
#include "portaccess.h"
#include "replyreader.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QGroupBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

namespace {
const int edidReplyWaitMs = 3500;
const int availabilityChecks = 10;
const int commandRate = 19200;

const QString unableToRetrieve =
    QStringLiteral("Unable to retrieve EDID. Please try again later. If problem persists, restart unit.");
const QString commandFailedRestart = QStringLiteral("Command failed. Restart unit and try again.");

// Opens the selected generic scaler's port at its command rate, whatever family the drop-down
// shows: the EDID viewer reads a scaler while another product may be picked.
bool openGenericPort(QSerialPort& port, const QString& name)
{
    if (port.isOpen())
        port.close();
    port.setPortName(name);
    port.setBaudRate(commandRate);
    if (!port.open(QIODevice::ReadWrite)) {
        qDebug() << "Scaler::getEDID: cannot open" << name << port.errorString();
        return false;
    }
    // Pseudo-terminals refuse some framing calls; the rate is what the unit hears.
    port.setBaudRate(commandRate);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return true;
}
} // namespace

void Scaler::showTimedStatus(const QString& message, const QPalette& palette, int ms)
{
    ui->statusBar->setPalette(palette);
    ui->statusBar->showMessage(message);
    statusClearDeadline = monotonicNowMs() + TimeScale::ms(ms) - TimeScale::ms(100);
    QTimer::singleShot(TimeScale::ms(ms), this, SLOT(clearStatus()));
}

// ---- Generic scalers ------------------------------------------------------------------------

QByteArray Scaler::getEDID(Device device)
{
    // The read goes to the selected scaler, not to the caller's own device.
    Q_UNUSED(device)
    ui->downloadButton->setEnabled(false);
    ui->openEDIDFromDevice->setEnabled(false);
    replyBytes.clear();

    const QString source = ui->selectEDIDFromDevice->currentText();
    QString command = QStringLiteral("#GET_EDID\r");
    if (source == QLatin1String("Scaler: VGA EDID"))
        command = QStringLiteral("#GET_EDID 0\r");
    else if (source == QLatin1String("Scaler: HDMI EDID"))
        command = QStringLiteral("#GET_EDID 1\r");

    auto giveBack = [this] {
        ui->downloadButton->setEnabled(true);
        ui->openEDIDFromDevice->setEnabled(true);
    };
    if (!waitForAvailable(availabilityChecks)) {
        giveBack();
        Dialogs::critical(ui->centralFrame, QStringLiteral("Communication Error"), unableToRetrieve);
        return {};
    }
    // The link is ours until the answer is in: no other page writes while the unit sends it.
    availability = OCCUPIED;
    if (!openGenericPort(*serialPort, selectedDevice.portName)) {
        setAvailable();
        giveBack();
        showError(PortAccess::explained(
            QStringLiteral("Failed to open serial port. Try disconnect power and connect the unit."), *serialPort));
        return {};
    }
    ui->tabWidget->setTabEnabled(1, false);
    ui->statusBar->setPalette(infoPalette);
    ui->statusBar->showMessage(QStringLiteral("Retrieving EDID from device..."));

    ReplyWait wait;
    wait.waitMs = edidReplyWaitMs;
    const bool answered = serialExchange(command.toUtf8(), ReplyRules::serial(), wait);

    setAvailable();
    ui->tabWidget->setTabEnabled(1, true);
    ui->statusBar->clearMessage();
    giveBack();

    if (!answered && replyBytes.isEmpty()) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("Communication Error"), unableToRetrieve);
        return {};
    }
    const EdidHexBlock block = decodeEdidHexBlock(QString::fromLatin1(replyBytes));
    const QString problem = block.ok() ? edidTransferError(block.bytes) : block.error;
    if (!problem.isEmpty()) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("EDID Error"), problem);
        return {};
    }
    return block.bytes;
}

// The two-input scaler shows the EDID mode of the input chosen in the source list. Only a unit
// that runs its firmware is asked; the list also serves other products' pages.
void Scaler::multiEDIDModeSet()
{
    if (selectedFamily() != Family::GenericScaler || selectedDevice.name != NAME_SCALER_HDMI_VGA_TO_3GSDI)
        return;
    if (deviceState == 0 || deviceState == 2)
        return;
    const QString source = ui->selectEDIDFromDevice->currentText();
    QString query;
    if (source == QLatin1String("Scaler: VGA EDID"))
        query = QStringLiteral("#GET_EDID_MODE 0");
    else if (source == QLatin1String("Scaler: HDMI EDID"))
        query = QStringLiteral("#GET_EDID_MODE 1");
    if (query.isEmpty()) {
        ui->scalerEDIDBox->setEnabled(false);
        return;
    }
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    connect(this, SIGNAL(commandComplete()), this, SLOT(finishMultiEDIDModeSet()));
    sendCommand(query, QString(), QString(), 500);
    if (lastSendFailed)
        disconnect(this, SIGNAL(commandComplete()), this, SLOT(finishMultiEDIDModeSet()));
}

void Scaler::finishMultiEDIDModeSet()
{
    const QString reply = replyText.trimmed();
    if (reply.contains(QLatin1String("Internal"), Qt::CaseInsensitive))
        edidModeGroup->setCheckedByText(QStringLiteral("Internal"));
    // Tested second: a reply naming both ends on "Custom".
    if (reply.contains(QLatin1String("Custom"), Qt::CaseInsensitive))
        edidModeGroup->setCheckedByText(QStringLiteral("Custom"));
    ui->scalerEDIDBox->setEnabled(true);
    // An exchange that started since the query ended keeps its port and its hold on the link.
    if (availability == AVAILABLE)
        setAvailable();
}

void Scaler::fillEdidSelector()
{
    ui->sorvaneBox->setEnabled(true);
    ui->uploadToDropdown->clear();
    if (selectedDevice.name == NAME_SCALER_HDMI_VGA_TO_3GSDI)
        ui->uploadToDropdown->addItems({QStringLiteral("Scaler: VGA"), QStringLiteral("Scaler: HDMI")});
    else
        ui->uploadToDropdown->addItem(QStringLiteral("Scaler: Custom"));
    ui->copyButton->setEnabled(false);
    ui->copyFromDropdown->setEnabled(false);
    ui->copyToDropdown->setEnabled(false);
}

// ---- Saving ---------------------------------------------------------------------------------

void Scaler::finishWriteFile(QByteArray out)
{
    if (out.isEmpty()) {
        showError(QStringLiteral("Nothing to save: no EDID was read."));
        return;
    }
    const QString path = Dialogs::getSaveFileName(this, QStringLiteral("Select File to Save As"),
                                                  myXMLManager::getLastSavedDirectory(),
                                                  QStringLiteral("Files (*.bin)"));
    myXMLManager::setLastSavedDirectory(path);
    if (path.isEmpty())
        return;
    QString error;
    if (!writeEdidFile(path, out, &error)) {
        showError(QStringLiteral("Download failed."));
        Dialogs::critical(this, QStringLiteral("I/O Error"),
                          QStringLiteral("The EDID could not be saved as %1: %2").arg(path, error));
        return;
    }
    showStatus(QStringLiteral("Download Complete."));
}

// ---- Jovaris, Norrith and Surrow ------------------------------------------------------------

QByteArray Scaler::readJovarisEdid()
{
    updating = true;
    ui->ConfiguratorTabs->setEnabled(false);

    // Position in the source list: internal EDIDs first, then the external one and the custom one.
    const QString product = ui->productCombobox->currentText();
    const int lastInternal = product.contains(MODEL_NORRITH) || product.contains(MODEL_SURROW) ? 4 : 2;
    const int position = ui->selectEDIDFromDevice->currentIndex();
    QString command;
    if (position >= 0 && position <= lastInternal)
        command = QStringLiteral("#GET_INTERNAL_EDID %1").arg(position);
    else if (position == lastInternal + 1)
        command = QStringLiteral("#GET_EXTERNAL_EDID");
    else if (position == lastInternal + 2)
        command = QStringLiteral("#GET_CUSTOM_EDID");
    if (command.isEmpty()) {
        setAvailable();
        return {};
    }

    sendCommand(command, QString(), QString(), 500, true, true);
    const QString reply = replyText;
    QString problem;
    QByteArray bytes;
    static const QRegularExpression noUserEdid(QStringLiteral("(^|\\s)NO USER(\\s|$)"));
    if (reply.contains(noUserEdid)) {
        problem = QStringLiteral("No user EDID found.");
    } else {
        const EdidHexBlock block = decodeEdidHexBlock(reply);
        if (block.missing)
            problem = commandFailedRestart;
        else if (!block.ok())
            problem = block.error;
        else if ((problem = edidTransferError(block.bytes)).isEmpty())
            bytes = block.bytes;
    }
    setAvailable();
    if (!problem.isEmpty())
        showError(problem);
    return bytes;
}

QByteArray Scaler::getJOVARISEDID()
{
    return readJovarisEdid();
}

void Scaler::jovarisDownloadEDID()
{
    const QByteArray bytes = readJovarisEdid();
    if (!bytes.isEmpty())
        finishWriteFile(bytes);
}

QString Scaler::editEDIDResponse(QStringList parts, QString* error)
{
    const EdidHexBlock block = decodeEdidHexBlock(parts.join(QLatin1Char(' ')));
    if (error)
        *error = block.error;
    return QString::fromLatin1(block.bytes.toHex().toUpper());
}
