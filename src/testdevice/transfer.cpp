// EDID test and booster units: the YMODEM download of the unit's local EDID into a ".bin" file and
// the upload of a ".bin" file into the local EDID or a bank. The transfers are the program's
// YMODEM engine in the units' variant; this file claims the link, adapts the shared port to the
// engine, checks what crosses it and reports the outcome.
#include "sorvaneinterface.h"

#include "delay.h"
#include "dialogs.h"
#include "edidfile.h"
#include "ediddecoder.h"
#include "regularfile.h"
#include "ui_mainui.h"
#include "ymodem.h"

#include <QDebug>
#include <QFileInfo>
#include <QStatusBar>
#include <QTimer>

namespace {

// Far beyond any EDID a unit holds; a larger file is refused unread.
const qint64 maxEdidFileBytes = 64 * 1024;

const QString downloadTitle = QStringLiteral("Communication Error");
const QString downloadText = QStringLiteral("Download failed. Please try again later. If problem persists, restart unit.");
const QString uploadTitle = QStringLiteral("Upload Error");
const QString uploadText = QStringLiteral("Upload failed. Please try again later. If problem persists, restart unit.");

} // namespace

// The shared port as the engine's byte channel: readData() appends what arrives to rxBuffer while
// the waits run the event loop.
class SorvaneChannel : public YmodemBufferChannel
{
public:
    explicit SorvaneChannel(SorvaneInterface& page)
        : YmodemBufferChannel(*page.port, page.rxBuffer, page.rxIndex)
    {
    }
};

void SorvaneInterface::downloadFailed(const QString& why, bool tellUser)
{
    qDebug() << "SorvaneInterface: download failed:" << why;
    showStatus(QStringLiteral("Download Failed."), errorPalette);
    setEdidControlsEnabled(true);
    downloadFinishing = false;
    appstate = Idle;
    if (tellUser)
        Dialogs::critical(ui->centralFrame, downloadTitle, downloadText);
}

void SorvaneInterface::uploadFailed(const QString& why, bool tellUser)
{
    qDebug() << "SorvaneInterface: upload failed:" << why;
    showStatus(QStringLiteral("Upload Failed."), errorPalette, 5000);
    setEdidControlsEnabled(true);
    appstate = Idle;
    if (tellUser)
        Dialogs::critical(ui->centralFrame, uploadTitle, uploadText);
}

void SorvaneInterface::receiveEdidFile()
{
    setEdidControlsEnabled(false);
    if (!waitForIdle()) {
        // The link is someone else's: leave its state alone.
        qDebug() << "SorvaneInterface: download failed: the link stayed busy";
        showStatus(QStringLiteral("Download Failed."), errorPalette);
        setEdidControlsEnabled(true);
        Dialogs::critical(ui->centralFrame, downloadTitle, downloadText);
        return;
    }
    resetReceive();
    downloadFinishing = false;
    appstate = EdidDownload;
    if (!port->isOpen())
        openPort();

    SorvaneChannel channel(*this);
    const YmodemResult result =
        YmodemReceiver(channel, YmodemReceiveOptions::testDeviceEdid(QByteArrayLiteral("#saveloedid edid.bin\r"),
                                                                     maxEdidFileBytes))
            .receive();
    if (!result.ok()) {
        downloadFailed(QStringLiteral("step %1: %2").arg(int(result.stage)).arg(result.reason),
                       result.stage == YmodemResult::Stage::Ready);
        return;
    }
    // Only a whole EDID replaces the file the user chose.
    const QString problem = edidTransferError(result.data);
    if (!problem.isEmpty()) {
        downloadFailed(QStringLiteral("the unit sent %1 bytes that are no EDID: %2").arg(result.data.size()).arg(problem),
                       true);
        return;
    }
    QString error;
    if (!writeEdidFile(downloadPath, result.data, &error)) {
        downloadFailed(error, false);
        Dialogs::critical(ui->centralFrame, QStringLiteral("I/O Error"), error);
        return;
    }
    setEdidControlsEnabled(true);
    appstate = Idle;
    showStatus(QStringLiteral("Download Complete."), successPalette, 5000);
}

void SorvaneInterface::sendEdidFile(const QString& fileName, int bank)
{
    setEdidControlsEnabled(false);
    resetReceive();

    // The file is only read, at most a bounded amount of it, and must be an EDID a unit takes.
    const RegularFileRead file = readRegularFile(fileName, maxEdidFileBytes);
    if (fileName.isEmpty() || file.status == RegularFileRead::Missing) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("File Selection Error"),
                          QStringLiteral("Please select a valid file to upload."));
        setEdidControlsEnabled(true);
        return;
    }
    const QString problem = file.ok() ? edidTransferError(file.bytes) : file.error;
    if (!problem.isEmpty()) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("File Selection Error"), problem);
        setEdidControlsEnabled(true);
        return;
    }

    delay(1000);
    statusTimer->stop();
    showStatus(QStringLiteral("Uploading..."), busyPalette);
    const QByteArray command = bank > 0 ? QStringLiteral("#loedidtoba %1\r").arg(bank).toUtf8()
                                        : QByteArrayLiteral("#loedidtolo\r");
    if (!waitForIdle()) {
        qDebug() << "upload failed 1";
        showStatus(QStringLiteral("Upload Failed."), errorPalette, 5000);
        setEdidControlsEnabled(true);
        Dialogs::critical(ui->centralFrame, uploadTitle, uploadText);
        return;
    }
    appstate = EdidUpload;
    if (!port->isOpen())
        openPort();

    SorvaneChannel channel(*this);
    const YmodemResult result =
        YmodemSender(channel, YmodemSendOptions::testDeviceEdid(command)).send(QFileInfo(fileName).fileName(), file.bytes);
    if (!result.ok()) {
        uploadFailed(QStringLiteral("step %1: %2").arg(int(result.stage)).arg(result.reason),
                     result.stage == YmodemResult::Stage::Ready);
        return;
    }
    delay(1000);
    setEdidControlsEnabled(true);
    appstate = Idle;
    showStatus(QStringLiteral("Upload Complete."), successPalette, 5000);
}
