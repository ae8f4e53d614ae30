// Scaler controller: custom-EDID uploads. The Zarrick and Cavrosh units take the EDID as
// hexadecimal text over TCP after "#SEND_CUSTOM_EDID"; the Jovaris, Norrith and Surrow units take
// its raw bytes over their serial link after the same command. (The generic scalers' YMODEM
// upload is sendEDID.)
//
// A file is read read-only and goes out only when it is an EDID a unit takes (edidTransferError).
// Success is the unit's own confirmation ("SEND_COMPLETE") in its answer. Every way out gives the
// link back; a failed upload leaves the file and the upload button as they were, for another try.
#include "scaler.h"

#include "constants.h"
#include "delay.h"
#include "dialogs.h"
#include "ediddecoder.h"
#include "edidfile.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpSocket>

namespace {
const QString confirmation = QStringLiteral("SEND_COMPLETE");
const QString uploadFailed = QStringLiteral("Error occured. Please reboot unit and try again.");
const QString notCustomOrLocked =
    QStringLiteral(" Please Check if Custom - User mode is selected and EDID is Unlocked.");

// The four per-input values that end a Zarrick's answer to "#GET_EDID_MODE 0" or
// "#GET_EDID_LOCK 0" (inputs 1 to 4, one decimal word each). False when the answer does not end
// in four such words.
bool perInputValues(const QStringList& words, QStringList* values)
{
    if (words.size() < 4)
        return false;
    static const QRegularExpression decimal(QStringLiteral("^\\d+$"));
    const QStringList last = words.mid(words.size() - 4);
    for (const QString& word : last) {
        if (!decimal.match(word).hasMatch())
            return false;
    }
    *values = last;
    return true;
}
} // namespace

QByteArray Scaler::readEdidToUpload(const QString& filename)
{
    if (filename.isEmpty() || !QFileInfo::exists(filename)) {
        Dialogs::critical(this, QStringLiteral("File Selection Error"),
                          QStringLiteral("Please select a valid file to upload."));
        return {};
    }
    QString error;
    const QByteArray bytes = readEdidFile(filename, &error);
    if (bytes.isEmpty()) {
        Dialogs::critical(this, QStringLiteral("File Selection Error"), error);
        return {};
    }
    error = edidTransferError(bytes);
    if (!error.isEmpty()) {
        Dialogs::critical(this, QStringLiteral("Upload Error"), error);
        return {};
    }
    return bytes;
}

// "#SEND_CUSTOM_EDID" (with the input on a Zarrick), then the EDID as upper-case hexadecimal text
// with no line end once the unit has answered without refusing, then its confirmation.
bool Scaler::sendTcpEdidUpload(const QString& input, const QByteArray& edid)
{
    sendTCPCommand(QStringLiteral("#SEND_CUSTOM_EDID"), input);
    const QStringList ready = TCPreadLine();
    if (ready.isEmpty() || replyIsWrong(ready.join(QLatin1Char(' '))))
        return false;
    if (tcpSocket->state() != QAbstractSocket::ConnectedState)
        return false;
    availability = OCCUPIED;
    tcpSocket->write(edid.toHex().toUpper());
    tcpSocket->flush();
    // The confirmation may come during the pause: it stays in the socket for TCPreadLine().
    readerActive = true;
    delay(200);
    readerActive = false;
    const QStringList reply = TCPreadLine();
    return reply.join(QLatin1Char(' ')).contains(confirmation);
}

void Scaler::sendZARRICKEDID(QString filename)
{
    const QByteArray edid = readEdidToUpload(filename);
    if (edid.isEmpty()) {
        ui->uploadFilename->clear();
        setAvailable();
        return;
    }

    // Which inputs take a custom EDID: those in custom mode ("4") and unlocked ("0").
    QStringList modes;
    QStringList locks;
    sendTCPCommand(QStringLiteral("#GET_EDID_MODE"), QStringLiteral("0"));
    const bool modesRead = perInputValues(TCPreadLine(), &modes);
    bool locksRead = false;
    if (modesRead) {
        sendTCPCommand(QStringLiteral("#GET_EDID_LOCK"), QStringLiteral("0"));
        locksRead = perInputValues(TCPreadLine(), &locks);
    }
    if (!modesRead || !locksRead) {
        showError(uploadFailed);
        setAvailable();
        return;
    }

    ui->statusBar->setPalette(infoPalette);
    ui->statusBar->showMessage(QStringLiteral("Uploading..."));
    ui->ConfiguratorTabs->setEnabled(false);

    static const QRegularExpression target(QStringLiteral("^Input ([1-4]) Custom$"));
    const QRegularExpressionMatch match = target.match(ui->uploadToDropdown->currentText());
    const int input = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (input == 0 || modes.at(input - 1) != QLatin1String("4") || locks.at(input - 1) != QLatin1String("0")) {
        refuseTcpEdidUpload();
        return;
    }

    finishTcpEdidUpload(sendTcpEdidUpload(QString::number(input), edid));
}

void Scaler::sendCAVROSHEDID(QString filename)
{
    if (selectedFamily() == Family::Cavrosh && lockButtonShowsLocked()) {
        refuseTcpEdidUpload();
        return;
    }
    const QByteArray edid = readEdidToUpload(filename);
    if (edid.isEmpty()) {
        ui->uploadFilename->clear();
        setAvailable();
        return;
    }

    ui->statusBar->setPalette(infoPalette);
    ui->statusBar->showMessage(QStringLiteral("Uploading..."));
    ui->ConfiguratorTabs->setEnabled(false);
    finishTcpEdidUpload(sendTcpEdidUpload(QString(), edid));
}

void Scaler::refuseTcpEdidUpload()
{
    Dialogs::information(this, QStringLiteral("Upload Error"), notCustomOrLocked);
    ui->uploadButton->setEnabled(false);
    ui->uploadFilename->clear();
    ui->statusBar->clearMessage();
    setAvailable();
}

// On failure the file and the upload button stay as they were, so the user can try again.
void Scaler::finishTcpEdidUpload(bool confirmed)
{
    if (confirmed) {
        showTimedStatus(QStringLiteral("Done."), okPalette, 2000);
        ui->uploadButton->setEnabled(false);
        ui->uploadFilename->clear();
    } else {
        showError(uploadFailed);
    }
    setAvailable();
}

void Scaler::sendNORRITHEDID(QString filename)
{
    if (lockButtonShowsLocked()) {
        Dialogs::critical(this, QStringLiteral("Error"), QStringLiteral("Can't update custom EDID when lock EDID is enabled."));
        return;
    }
    const QByteArray edid = readEdidToUpload(filename);
    if (edid.isEmpty())
        return;

    ui->statusBar->setPalette(infoPalette);
    ui->statusBar->showMessage(QStringLiteral("Uploading..."));
    ui->ConfiguratorTabs->setEnabled(false);

    bool done = false;
    sendCommand(QStringLiteral("#send_custom_edid"), QString(), QString(), 500, true, false);
    // The bytes go only to a port that opened and a unit that did not refuse the command.
    if (serialPort->isOpen() && !replyIsWrong(replyText)) {
        sendBytesCommand(edid, 500, false, true);
        done = readLine().join(QLatin1Char(' ')).contains(confirmation);
    }
    if (done)
        showTimedStatus(QStringLiteral("Done."), okPalette, 2000);
    else
        showError(uploadFailed);
    setAvailable();
}
