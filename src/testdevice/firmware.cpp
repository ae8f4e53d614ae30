// EDID test and booster units, HDBaseT pair units and splitters: the serial firmware update. One
// file goes to the unit by YMODEM after "#fw_upgrade"; then a test unit is told to reboot, a
// splitter is handed back to its page after its programming time, and an HDBaseT unit counts down
// while it programs the first of its three files, waits in the reboot dialog until the user has
// power-cycled it and the hub finds it again, and takes the second and third files, each ending
// with the unit's "restart".
#include "sorvaneinterface.h"

#include "delay.h"
#include "dialogs.h"
#include "lunmora.h"
#include "regularfile.h"
#include "timescale.h"
#include "ui_mainui.h"
#include "updatexmlmanager.h"
#include "ymodem.h"

#include <QComboBox>
#include <QDebug>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>

namespace {

const QByteArray upgradeCommand = QByteArrayLiteral("#fw_upgrade\r");
// Far beyond any firmware image of these units; a larger file is refused unread.
const qint64 maxFirmwareBytes = 64 * 1024 * 1024;
const int firstRequestWaitMs = 8000;
const int continuationRequestWaitMs = 12000;
const int countdownSeconds = 60;
const int splitterSteps = 8;
const int splitterStepMs = 7000;
// An HDBaseT unit's three files share the bar: 220 units each.
const int stageUnits = 220;
const int restartWindowMs = 6000;
// However long a unit keeps talking, the wait for its "restart" ends here.
const int restartLimitMs = 300000;
const QByteArray restartWord = QByteArrayLiteral("restart");

const QString connectFailed = QStringLiteral(
    "Failed to connect, try rebooting the device. Also make sure no other serial connections are open.");
const QString successText = QStringLiteral("Success. Please reboot the unit to apply.");
const QString missingFiles = QStringLiteral("Cannot find remaining firmware update files.");
const QString noRestart = QStringLiteral(
    "Fail. The unit did not report the end of its programming in time. Please power cycle the unit and try again.");

bool isSplitterProduct(const QString& text)
{
    return text.contains(QLatin1String("Farrund")) || text.contains(QLatin1String("Harlisk"))
           || text.contains(QLatin1String("Jorvale"));
}

// What the user is told when the transfer stopped at `stage`.
QString transferFailure(YmodemResult::Stage stage)
{
    using Stage = YmodemResult::Stage;
    switch (stage) {
    case Stage::Ready:
    case Stage::CrcRequest: return connectFailed;
    case Stage::Header: return QStringLiteral("Fail. Incorrect File.");
    case Stage::DataRequest: return QStringLiteral("Fail. Timeout.");
    case Stage::Data:
    case Stage::Source: return QStringLiteral("Fail. Problem sending data.");
    case Stage::EndOfFile: return QStringLiteral("Fail. Problem sending file.");
    default: return QStringLiteral("Fail. Problem completing upgrade.");
    }
}

} // namespace

// The update bar over one stage: values from `base` on, never past base + span and never back
// within the stage. The first file moves 80 units over the file from 10; a later file of an
// HDBaseT unit one unit per eight blocks, at most 100.
struct SorvaneInterface::FirmwareProgress {
    QProgressBar* bar;
    int base;
    int span;
    bool firstFile;
    int shown = -1;

    void show(qint64 offset)
    {
        const int value = base + int(qBound<qint64>(0, offset, span));
        if (value <= shown)
            return;
        shown = value;
        bar->setValue(value);
    }
    void dataStarted()
    {
        if (firstFile)
            show(10);
    }
    void blockTaken(qint64 blocks, qint64 fileSize)
    {
        if (firstFile)
            show(10 + 81920 * (blocks + 1) / qMax<qint64>(1, fileSize));
        else
            show(qMin<qint64>((blocks + 1) / 8, 100));
    }
};

// ---- The page's own file field --------------------------------------------------------------

void SorvaneInterface::sorvaneFirmwareBrowse()
{
    firmwarePath = Dialogs::getOpenFileName(ui->centralFrame, QStringLiteral("Select File"), QString(),
                                            QStringLiteral("Files (*.bin)"));
    if (firmwarePath.isEmpty())
        return;
    bool ok = false;
    readFirmwareFile(firmwarePath, &ok);
    if (!ok)
        return;
    ui->sorvaneFirmwareFile->setText(firmwarePath);
    ui->sorvaneFirmwareUpdate->setEnabled(true);
}

QByteArray SorvaneInterface::readFirmwareFile(const QString& path, bool* ok)
{
    const RegularFileRead file = readRegularFile(path, maxFirmwareBytes);
    QString problem;
    if (path.isEmpty() || file.status == RegularFileRead::Missing || file.status == RegularFileRead::Unreadable)
        problem = QStringLiteral("Cannot open file for reading.");
    else if (!file.ok())
        problem = file.error;
    else if (file.bytes.isEmpty())
        problem = QStringLiteral("The firmware file is empty.");
    *ok = problem.isEmpty();
    if (*ok)
        return file.bytes;
    qDebug() << "firmware file refused:" << path << problem;
    Dialogs::critical(ui->centralFrame, QStringLiteral("I/O Error"), problem);
    return QByteArray();
}

// ---- One file -------------------------------------------------------------------------------

QString SorvaneInterface::sendFirmwareFile(const QString& path, const QByteArray& bytes, int requestWaitMs,
                                           FirmwareProgress& progress, const QString& uploadingText)
{
    using Stage = YmodemResult::Stage;
    qint64 blocks = 0;
    YmodemSendOptions options = YmodemSendOptions::unitFirmware(upgradeCommand, requestWaitMs);
    options.progress = [&](Stage stage, qint64, qint64 total) {
        if (stage == Stage::CrcRequest) {
            qDebug() << "Got CRC16!!";
            progress.show(5);
        } else if (stage == Stage::DataRequest) {
            qDebug() << "Sending blocks";
            showStatus(QStringLiteral("Uploading firmware update."), busyPalette);
            if (!uploadingText.isEmpty())
                showStatus(uploadingText, busyPalette);
            progress.dataStarted();
        } else if (stage == Stage::Data) {
            progress.blockTaken(++blocks, total);
        }
    };

    // Only what the unit says after the command counts: older text could hold a "C".
    resetReceive();
    qDebug() << upgradeCommand << "firmarefilename: " << path << "file size:" << bytes.size();
    YmodemBufferChannel channel(*port, rxBuffer, rxIndex);
    const YmodemResult result = YmodemSender(channel, options).send(path, bytes);
    textAfterEnding = result.endingAt >= 0 ? result.received.mid(result.endingAt) : QByteArray();
    if (!result.ok()) {
        qDebug() << "firmware upload failed at step" << int(result.stage) << result.reason;
        return transferFailure(result.stage);
    }
    if (!result.warning.isEmpty())
        qWarning() << "firmware upload:" << result.warning << "(the whole file was taken)";
    qDebug() << "Finished sending the file! " << result.bytes << "Finished! waiting for success msg..";
    return QString();
}

void SorvaneInterface::firmwareTransferFailed(const QString& text)
{
    Dialogs::information(ui->centralFrame, QStringLiteral("Status"), text);
    if (port->isOpen())
        port->close();
    ui->ConfiguratorTabs->setEnabled(true);
}

// ---- The first upload -------------------------------------------------------------------------

void SorvaneInterface::sorvaneFirmwareUpdate()
{
    const bool splitter = isSplitterProduct(ui->productCombobox->currentText());
    // The splitter page must not poll or search the unit while it takes its firmware (a list
    // refresh of the hub switches the poll back on, the busy flag holds); every way out of the
    // update gives the page back.
    struct SplitterHold {
        Lunmora* page;
        ~SplitterHold()
        {
            if (page)
                page->setPageBusy(false);
        }
    } hold{splitter ? lunmoraLink : nullptr};
    if (hold.page)
        hold.page->setPageBusy(true);
    firmwarePath = ui->updateFilename->text();
    ui->sorvaneFirmwareUpdate->setEnabled(false);
    ui->ConfiguratorTabs->setEnabled(false);
    appstate = BoosterCommand;
    firmwareHoldsLink = false;
    statusTimer->stop();
    emit firmwareUpdateEvent(true);

    if (!port->isOpen())
        openPort(); // a dead link fails at the wait for the unit's "C"
    const bool hdbaset = selectedDevice.type == 7;
    if (hdbaset)
        ui->updateBar->setMaximum(3 * stageUnits);

    // The file is checked before the unit is put into its upgrade mode.
    bool ok = false;
    const QByteArray bytes = readFirmwareFile(firmwarePath, &ok);
    if (!ok) {
        endFirstUpload(true);
        return;
    }
    FirmwareProgress progress{ui->updateBar, 0, 100, true};
    const QString failure = sendFirmwareFile(firmwarePath, bytes, firstRequestWaitMs, progress,
                                             hdbaset ? QStringLiteral("[1/3] Uploading firmware update.") : QString());
    if (!failure.isEmpty()) {
        firmwareTransferFailed(failure);
        endFirstUpload(true);
        return;
    }
    delay(1000);
    if (port->isOpen())
        port->close();

    if (hdbaset) {
        // The unit programs the first file; the countdown then asks the user to reboot it.
        showStatus(QStringLiteral("[1/3] Programming the device..."), busyPalette);
        countdownTicks = 0;
        if (!countdownTimer)
            countdownTimer = new QTimer(this);
        connect(countdownTimer, SIGNAL(timeout()), this, SLOT(countDownCallback()), Qt::UniqueConnection);
        countdownTimer->start(TimeScale::ms(1000));
        return;
    }
    if (splitter) {
        ui->statusBar->showMessage(QStringLiteral("File uploaded. Updating Firmware. Please wait."));
        for (int i = 1; i <= splitterSteps; ++i) {
            ui->updateBar->setValue(90 + i);
            delay(splitterStepMs);
        }
        // The splitter page waits for the unit's return and checks its version itself; this page
        // has nothing to refresh on a splitter's port.
        if (lunmoraLink)
            lunmoraLink->finishFirmwareUpdate(firmwarePath);
        endFirstUpload(true);
        return;
    }
    ui->updateBar->setMaximum(100);
    ui->updateBar->setValue(100);
    showStatus(successText, successPalette);
    Dialogs::information(ui->centralFrame, QStringLiteral("Status"), successText);
    // The link stays with the update until the unit's return has been handled.
    expectReboot = true;
    firmwareHoldsLink = true;
    endFirstUpload(false);
}

void SorvaneInterface::endFirstUpload(bool idle)
{
    if (idle)
        appstate = Idle;
    ui->ConfiguratorTabs->setEnabled(true);
    emit firmwareUpdateEvent(false);
}

void SorvaneInterface::countDownCallback()
{
    ui->updateBar->setValue(100 + 2 * countdownTicks);
    ++countdownTicks;
    if (countdownTicks < countdownSeconds) {
        ui->ConfiguratorTabs->setEnabled(false);
        showStatus(QStringLiteral("[1/3] Programming the device..."), busyPalette);
        return;
    }
    countdownTimer->stop();
    countdownTicks = 0;
    rebootTest();
}

// Waits in the reboot dialog until the hub has seen the unit go and come back (onSuddenReconnect
// closes the dialog and runs the rest of the update inside it) or the user gives up.
void SorvaneInterface::rebootTest()
{
    appstate = AwaitingReboot;
    if (rebootDialog)
        rebootDialog->exec();
}

void SorvaneInterface::postReboot(bool success)
{
    if (success) {
        delay(1000);
        qDebug() << "we have finished the reboot process";
        ui->ConfiguratorTabs->setEnabled(false);
        return;
    }
    appstate = Idle;
    statusTimer->stop();
    showStatus(QStringLiteral("The firmware update process has been aborted."), busyPalette, 4000);
    ui->ConfiguratorTabs->setEnabled(true);
    emit firmwareUpdateEvent(false);
}

void SorvaneInterface::onSuddenReconnect()
{
    qDebug() << "ON RECONNECT";
    if (appstate == AwaitingReboot) {
        qDebug() << "REBOOTING";
        appstate = BackAfterReboot;
        if (rebootDialog)
            rebootDialog->closeDialog();
        delay(1000);
        firmwareUpdateHDBTContinue();
    }
    // A command that took the link since (the refresh found the unit once but could not open
    // it) is not overrun: only an idle link or the update's own hold is released here.
    if (expectReboot && (appstate == Idle || firmwareHoldsLink)) {
        qDebug() << "Update the expected reboot";
        appstate = Idle;
        firmwareHoldsLink = false;
        updateSelectedDevice();
        emit firmwareUpdateEvent(false);
    }
}

void SorvaneInterface::updateComplete()
{
    qDebug() << "update complete\n" << versionText.size();
    if (!versionText.isEmpty())
        ui->versionInfo->setPlainText(versionText);
    appstate = Idle;
}

// ---- The HDBaseT unit's second and third files ---------------------------------------------------

void SorvaneInterface::continuationReport(const QString& text)
{
    appstate = Idle;
    statusTimer->stop();
    showStatus(text, errorPalette, 4000);
    ui->ConfiguratorTabs->setEnabled(true);
    emit firmwareUpdateEvent(false);
}

void SorvaneInterface::firmwareUpdateHDBTContinue()
{
    updateXMLManager products(ui);
    const QString name = selectedDevice.name;
    const QString second = products.getNextFirmwareFile(QString(), name, 1);
    if (second.isEmpty())
        return continuationReport(missingFiles);
    if (!performHDBTContinue(second, 1))
        return continuationReport(QStringLiteral("Second firmware update process failed."));
    const QString third = products.getNextFirmwareFile(QString(), name, 2);
    if (third.isEmpty())
        return continuationReport(missingFiles);

    // The unit restarts after the second file; two line ends bring its console back.
    delay(5000);
    for (int i = 0; i < 2; ++i) {
        if (port->isOpen())
            port->write("\r");
        delay(1000);
    }
    delay(2000);
    resetReceive();
    const bool ok = performHDBTContinue(third, 2);
    resetReceive();
    qDebug() << "The first location is:" << second << " second is : " << third;
    if (!ok)
        return continuationReport(QStringLiteral("Third firmware update process failed."));

    appstate = Idle;
    expectReboot = true;
    statusTimer->stop();
    showStatus(successText, successPalette);
    ui->updateBar->setMaximum(100);
    ui->updateBar->setValue(100);
    Dialogs::information(ui->centralFrame, QStringLiteral("Status"), successText);
    ui->ConfiguratorTabs->setEnabled(true);
    emit firmwareUpdateEvent(false);
}

bool SorvaneInterface::performHDBTContinue(QString file, int stage)
{
    if (!port->isOpen())
        openPort();
    appstate = BackAfterReboot;
    bool ok = false;
    const QByteArray bytes = readFirmwareFile(file, &ok);
    if (!ok) {
        ui->ConfiguratorTabs->setEnabled(true);
        return false;
    }
    const QString step = stage == 1 ? QStringLiteral("[2/3] ") : stage == 2 ? QStringLiteral("[3/3] ") : QString();
    FirmwareProgress progress{ui->updateBar, stage * stageUnits, 2 * 100, false};
    const QString failure =
        sendFirmwareFile(file, bytes, continuationRequestWaitMs, progress,
                         step.isEmpty() ? QString() : step + QStringLiteral("Uploading firmware update."));
    if (!failure.isEmpty()) {
        firmwareTransferFailed(failure);
        return false;
    }
    delay(1000);
    if (!step.isEmpty())
        ui->statusBar->showMessage(step + QStringLiteral("Programming the device..."));

    // The unit says "restart" once it has programmed the file. Text that a window renewal empties
    // away is looked at first, and its last bytes are kept, so a word cut by the renewal is found.
    rxBuffer.remove(0, rxIndex);
    rxIndex = 0;
    QByteArray tail = textAfterEnding;
    int count = 0;
    QElapsedTimer overall;
    overall.start();
    QDeadlineTimer window(TimeScale::ms(restartWindowMs));
    for (;;) {
        if ((tail + rxBuffer).contains(restartWord)) {
            qDebug() << "success message found!";
            delay(1000);
            return true;
        }
        if (overall.elapsed() >= TimeScale::ms(restartLimitMs)) {
            qDebug() << "no restart within the limit";
            Dialogs::information(ui->centralFrame, QStringLiteral("Status"), noRestart);
            ui->ConfiguratorTabs->setEnabled(true);
            return false;
        }
        delay(1000);
        if (!window.hasExpired())
            continue;
        if (rxBuffer.isEmpty()) {
            qDebug() << "the unit fell silent before it reported its restart";
            return false;
        }
        if ((tail + rxBuffer).contains(restartWord))
            continue;
        tail = (tail + rxBuffer).right(restartWord.size() - 1);
        rxIndex = 0;
        rxBuffer.clear();
        window = QDeadlineTimer(TimeScale::ms(restartWindowMs));
        count += 2;
        progress.show(100 + count);
    }
}
