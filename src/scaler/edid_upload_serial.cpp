// Scaler controller: the EDID upload of the generic scalers. The file goes to the unit by the
// program's YMODEM engine in the scalers' variant; this file checks the file, claims the link,
// puts the target input into its custom EDID mode, adapts the serial port to the engine and
// reports the outcome. The TCP and raw-byte uploads of the other families live with their pages.
#include "scaler.h"

#include "dialogs.h"
#include "delay.h"
#include "ediddecoder.h"
#include "regularfile.h"
#include "ui_mainui.h"
#include "ymodem.h"

#include <QComboBox>
#include <QDebug>
#include <QFileInfo>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>

namespace {

const int availabilityChecks = 10;
// Far beyond any EDID; a larger file is refused unread.
const qint64 maxEdidFileBytes = 64 * 1024;

const QString uploadErrorTitle = QStringLiteral("Upload Error");
const QString uploadErrorText =
    QStringLiteral("Upload failed. Please try again later. If problem persists, restart unit.");

// The scaler's serial link as the engine's byte channel: readData() fills replyBytes while the
// waits run the event loop. The scalers leave their receive mode on their own abort letter.
class ScalerChannel : public YmodemBufferChannel
{
public:
    explicit ScalerChannel(Scaler& scaler)
        : YmodemBufferChannel(*scaler.serialPort, scaler.replyBytes, scaler.replyReadPos)
        , m_scaler(scaler)
    {
    }

    void abort(const QByteArray& bytes, int pauseMs) override
    {
        Q_UNUSED(bytes)
        Q_UNUSED(pauseMs)
        m_scaler.sendAbort();
    }

private:
    Scaler& m_scaler;
};

} // namespace

void Scaler::sendEDID(Device device, QString filename)
{
    Q_UNUSED(device)
    ui->uploadButton->setEnabled(false);
    ui->uploadBrowse->setEnabled(false);
    auto buttonsBack = [this] {
        ui->uploadButton->setEnabled(true);
        ui->uploadBrowse->setEnabled(true);
    };

    // The file is only read, at most a bounded amount of it, and must be an EDID a unit takes.
    const RegularFileRead file = readRegularFile(filename, maxEdidFileBytes);
    if (file.status == RegularFileRead::Missing || filename.isEmpty()) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("File Selection Error"),
                          QStringLiteral("Please select a valid file to upload."));
        buttonsBack();
        return;
    }
    const QString problem = file.ok() ? edidTransferError(file.bytes) : file.error;
    if (!problem.isEmpty()) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("File Selection Error"), problem);
        buttonsBack();
        return;
    }

    delay(1000);
    ui->statusBar->setPalette(infoPalette);
    ui->statusBar->showMessage(QStringLiteral("Uploading..."));

    const QString target = ui->uploadToDropdown->currentText();
    QByteArray command = QByteArrayLiteral("#SEND_EDID\r");
    QByteArray modeLine;
    if (target == QLatin1String("Scaler: VGA")) {
        command = QByteArrayLiteral("#SEND_EDID 0\r");
        modeLine = QByteArrayLiteral("#SET_EDID_MODE 0 1\r");
    } else if (target == QLatin1String("Scaler: HDMI")) {
        command = QByteArrayLiteral("#SEND_EDID 1\r");
        modeLine = QByteArrayLiteral("#SET_EDID_MODE 1 1\r");
    }

    // Every ending below gives the link back and the buttons with it.
    auto failed = [&](const QString& why, bool tellUser) {
        qDebug() << "Scaler::sendEDID: upload failed:" << why;
        buttonsBack();
        setAvailable();
        showError(QStringLiteral("Upload Failed."));
        if (tellUser)
            Dialogs::critical(ui->centralFrame, uploadErrorTitle, uploadErrorText);
    };

    if (!waitForAvailable(availabilityChecks)) {
        // Someone else holds the link: it is theirs to give back.
        qDebug() << "Scaler::sendEDID: upload failed: the link stayed busy";
        buttonsBack();
        showError(QStringLiteral("Upload Failed."));
        Dialogs::critical(ui->centralFrame, uploadErrorTitle, uploadErrorText);
        return;
    }
    availability = UPLOADING;
    if (!serialPort->isOpen() && !openPort(false)) {
        failed(QStringLiteral("the serial port did not open"), true);
        return;
    }
    replyBytes.clear();
    replyText.clear();
    replyReadPos = 0;

    ScalerChannel channel(*this);
    if (!modeLine.isEmpty()) {
        channel.write(modeLine);
        delay(2000);
        // The mode line's answer is not the upload's: a "W" in it ("Wrong ...") must not pass
        // for the unit's ready answer.
        replyReadPos = replyBytes.size();
    }

    const YmodemResult result =
        YmodemSender(channel, YmodemSendOptions::scalerEdid(command)).send(QFileInfo(filename).fileName(), file.bytes);
    if (!result.ok()) {
        // A unit that never became ready was not told anything; every later failure has had the
        // abort, and the user is shown the box only when the unit did not answer at all.
        failed(QStringLiteral("step %1: %2").arg(int(result.stage)).arg(result.reason),
               result.stage == YmodemResult::Stage::Ready);
        return;
    }
    delay(1000);
    buttonsBack();
    setAvailable();
    showStatus(QStringLiteral("Upload Complete."));
}
