// Firmware of the Jovaris, Norrith and Surrow units: the files go onto a USB flash drive that the
// user moves to the unit's front panel; the unit is told over its serial link to take them and
// reports the outcome in words. The Jovaris unit then shows up as a drive itself for a second file.
#include "scaler.h"

#include "constants.h"
#include "delay.h"
#include "dialogs.h"
#include "removabledrives.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSerialPort>
#include <QSet>
#include <QStatusBar>

namespace {
QString fwTitle() { return QStringLiteral("Firmware update"); }

const QString connectDriveText = QStringLiteral("Please connect empty USB drive(FAT format) to the PC.\nSelect OK to continue");
const QString moveDriveText = QStringLiteral(
    "Please disconnect the USB drive from the PC(using the safetly remove option).\nConnect the USB drive to the "
    "unit's front panel USB port.\nSelect OK to continue");
const QString connectUnitText = QStringLiteral(
    "1. Please disconnect the USB drive from the unit.\n2. Disconnect the unit from power\n3. Connect the unit to "
    "the PC with USB cable.\n4. Power on the unit and wait until device driver is installed and ready.\n5. Select "
    "OK to continue");
const QString doneUnitText =
    QStringLiteral("Firmware update successful!!\nPlease disconnect the unit from PC and power cycle it.");
const QString doneDriveText = QStringLiteral("Firmware update successful!!\nPlease disconnect the USB drive from the unit.");
const QString failedText =
    QStringLiteral("Firmware update failed!\nPlease disconnect the unit from PC, power cycle it and try again.");
const QString copyFailedText =
    QStringLiteral("Copying the firmware to the USB drive failed.\nPlease check the drive and try again.");

bool askOk(QWidget* parent, const QString& text)
{
    return Dialogs::question(parent, fwTitle(), text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton)
        == QMessageBox::Ok;
}
} // namespace

QString Scaler::attachDrive(const QString& question)
{
    // Drives are told apart by their exact paths: "/media/usb" is not "/media/usb1".
    const QStringList before = RemovableDriveLister::drivePaths();
    const QSet<QString> known(before.begin(), before.end());
    while (true) {
        if (!askOk(this, question))
            return {};
        QString found;
        const QStringList after = RemovableDriveLister::drivePaths();
        for (const QString& path : after) {
            if (!known.contains(path))
                found = path;
        }
        if (!found.isEmpty())
            return found;
    }
}

bool Scaler::copyToDrive(const QString& source, const QString& target)
{
    if (QFile::exists(target))
        QFile::remove(target);
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = from.readAll();
    {
        QFile to(target);
        if (!to.open(QIODevice::WriteOnly) || to.write(bytes) != bytes.size() || !to.flush())
            return false;
    }
    // What reached the drive is read back: a full or failing drive must not reach the unit.
    QFile check(target);
    return check.open(QIODevice::ReadOnly) && check.size() == bytes.size() && check.readAll() == bytes;
}

// Polls the unit's words from c = first to last every `pollMs`; true when a word held `done`. A
// word holding `error` (when given) ends the pass after that poll.
bool Scaler::pollFirmwareWords(int first, int last, int pollMs, const QString& done, const QString& error)
{
    for (int c = first; c <= last; ++c) {
        ui->updateBar_2->setValue(c);
        ui->updateBarNumber_2->setText(QString::number(c) + QLatin1Char('%'));
        delay(pollMs);
        const QStringList words = readLine();
        bool failed = false;
        for (const QString& word : words) {
            if (word.contains(done))
                return true;
            if (!error.isEmpty() && word.contains(error))
                failed = true;
        }
        if (failed)
            return false;
    }
    return false;
}

void Scaler::initiateJOVARISFirmwareUpdate()
{
    emit firmwareUpdateEvent(true);
    const QString product = ui->productCombobox->currentText();
    const QString folder = ui->firmwareFolder->text();
    const bool jovaris = product.contains(MODEL_JOVARIS);
    QString firmwareName;
    if (jovaris)
        firmwareName = QStringLiteral("JOVARIS_FW.bin");
    else if (product.contains(MODEL_NORRITH))
        firmwareName = QStringLiteral("NORRITH_FW.bin");
    else if (product.contains(MODEL_SURROW))
        firmwareName = QStringLiteral("FENNICK_FW.bin");
    if (firmwareName.isEmpty()) {
        emit firmwareUpdateEvent(false);
        return;
    }

    auto finish = [this](const QString& text) {
        if (!text.isEmpty())
            Dialogs::information(this, fwTitle(), text);
        emit firmwareUpdateEvent(false);
    };

    const QString drive = attachDrive(connectDriveText);
    if (drive.isEmpty())
        return finish({});
    const QString source = folder + QLatin1Char('/') + firmwareName;
    if (!copyToDrive(source, drive + QStringLiteral("MERGE.BIN")) || !copyToDrive(source, drive + firmwareName))
        return finish(copyFailedText);
    if (!askOk(this, moveDriveText))
        return finish({});

    const QString command = QStringLiteral("#FIRMWARE_UPDATE");
    sendCommand(command, QString(), QString(), 500, true, false);
    ui->updateBar_2->setRange(0, 100);
    ui->updateBar_2->setValue(0);
    ui->updateBarNumber_2->setText(QStringLiteral("0"));

    bool done = false;
    if (jovaris) {
        done = pollFirmwareWords(0, 50, 700, QStringLiteral("Finished"), QStringLiteral("error"));
        if (!done) {
            if (serialPort->isOpen())
                serialPort->close();
            sendCommand(command, QString(), QString(), 500, true, false);
            done = pollFirmwareWords(50, 100, 700, QStringLiteral("Finished"), QStringLiteral("error"));
        }
    } else {
        done = pollFirmwareWords(0, 100, 200, QStringLiteral("Success"), QString());
    }
    ui->updateBar_2->setValue(100);
    ui->updateBarNumber_2->setText(QStringLiteral("100%"));
    availability = AVAILABLE;

    if (!jovaris)
        return finish(done ? doneDriveText : failedText);
    if (!done)
        return finish(failedText);

    const QString unitDrive = attachDrive(connectUnitText);
    if (unitDrive.isEmpty())
        return finish({});
    // A confirmation left from an earlier run must not pass for this one.
    const QString confirmation = unitDrive + QStringLiteral("SUCCESS.TXT");
    QFile::remove(confirmation);
    if (!copyToDrive(folder + QStringLiteral("/VELMO21.BIN"), unitDrive + QStringLiteral("VELMO21.BIN")))
        return finish(copyFailedText);
    ui->statusBar->setPalette(okPalette);
    ui->statusBar->showMessage(QStringLiteral("Please wait..."));
    bool confirmed = false;
    for (int i = 0; i < 10 && !confirmed; ++i) {
        // The window keeps running while the unit writes its confirmation.
        delay(1000);
        confirmed = QFile::exists(confirmation);
    }
    ui->statusBar->clearMessage();
    finish(confirmed ? doneUnitText : failedText);
}
