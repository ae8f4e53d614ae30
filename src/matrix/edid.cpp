// Telnet matrix page: the EDID reads of the selected unit (inputs, outputs, internal presets,
// external), their saving as ".bin" files, the scan for inputs that take a custom EDID, and the
// upload of a custom EDID. An EDID crosses the link as hex text, two digits per byte.
#include "ostrand.h"

#include "dialogs.h"
#include "edidfile.h"
#include "ediddecoder.h"
#include "myxmlmanager.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QFrame>
#include <QStatusBar>
#include <QTcpSocket>

namespace {
const QString errReply = QStringLiteral("err");
const QString notRecognised = QStringLiteral("COMMAND NOT RECOG");
const QString errorTitle = QStringLiteral("Connection Error");

bool failedAnswer(const QString& answer)
{
    return answer == errReply || answer.contains(notRecognised);
}

// The read command of an item of the EDID source list; empty when the item names nothing the
// unit holds (a preset of a model the page does not know, the list's title).
QString edidReadCommand(int index, const QString& text, const QString& productName)
{
    if (text.contains(QLatin1String("Input")))
        return QStringLiteral("#GET_INPUT_EDID %1").arg(index);
    if (text.contains(QLatin1String("Output")))
        return QStringLiteral("#GET_OUTPUT_EDID ") + text.right(1);
    if (text.contains(QLatin1String("External")))
        return QStringLiteral("#GET_EXTERNAL_EDID");
    int preset = 0;
    if (productName.contains(QLatin1String("Quillon")))
        preset = index - 10;
    if (productName.contains(QLatin1String("Rennart")))
        preset = index - 18;
    if (preset < 1 || preset > 6)
        return QString();
    return QStringLiteral("#GET_INTERNAL_EDID %1").arg(preset);
}

bool isInputNumber(const QString& input)
{
    bool ok = false;
    const int number = input.toInt(&ok);
    return ok && number >= 1 && number <= 8 && input == QString::number(number);
}
} // namespace

void Ostrand::showConnectionError(const QString& text)
{
    Dialogs::critical(ui->centralFrame, errorTitle, text);
}

QByteArray Ostrand::getEDID()
{
    ui->statusBar->setPalette(busyPalette);
    ui->statusBar->showMessage(QStringLiteral("Downloading..."));
    QComboBox* sources = ui->selectEDIDFromDevice;
    const QString command = device.valid
        ? edidReadCommand(sources->currentIndex(), sources->currentText(), device.productName)
        : QString();
    const QString reply = command.isEmpty() ? QString() : runCommand(command, true, true);

    if (failedAnswer(reply) || reply.size() % 2 != 0) {
        showConnectionError(QStringLiteral("Can't communicate with device."));
        ui->statusBar->showMessage(QString());
        return {};
    }
    if (reply.isEmpty())
        return {};
    // Only an EDID the unit could hold is taken: whole hex pairs making one or two blocks whose
    // sums are right. A reply torn or garbled on the way is refused, not half-used.
    const EdidHexBlock block = decodeEdidHexBlock(reply);
    const QString problem = block.ok() ? edidTransferError(block.bytes) : block.error;
    if (!problem.isEmpty()) {
        showConnectionError(problem);
        ui->statusBar->showMessage(QString());
        return {};
    }
    return block.bytes;
}

void Ostrand::downloadEDID()
{
    const QByteArray bytes = getEDID();
    if (!bytes.isEmpty())
        finishWriteFile(bytes);
}

void Ostrand::finishWriteFile(QByteArray out)
{
    const QString fileName = Dialogs::getSaveFileName(this, tr("Select File to Save As"),
                                                      myXMLManager::getLastSavedDirectory(), tr("Files (*.bin)"));
    myXMLManager::setLastSavedDirectory(fileName);
    if (fileName.isEmpty())
        return;
    // Written whole or not at all: a failed write leaves an older file as it was.
    QString error;
    if (!writeEdidFile(fileName, out, &error)) {
        ui->statusBar->setPalette(errorPalette);
        ui->statusBar->showMessage(QStringLiteral("Download failed."));
        Dialogs::critical(ui->centralFrame, QStringLiteral("I/O Error"),
                          QStringLiteral("The EDID could not be saved as %1: %2").arg(fileName, error));
        return;
    }
    showStatus(QStringLiteral("Download Complete."));
}

QStringList Ostrand::getAvailableInputs(QString productName, QString ip, QString port)
{
    promptContext = QStringLiteral("Product: ") + productName + QStringLiteral("\nIP: ") + ip;
    const int n = productName.contains(QLatin1String("Rennart")) ? 8 : 4;
    QStringList inputs;
    bool failed = false;
    for (int i = 1; i <= n; ++i) {
        QString answer = runCommand(ip, port, QStringLiteral("#GET_EDID_MODE %1").arg(i), i == 1, i == n);
        if (failedAnswer(answer)) {
            failed = true;
            break;
        }
        if (!answer.endsWith(QLatin1Char('8')))
            continue;
        const bool last = i == n;
        answer = runCommand(ip, port, QStringLiteral("#GET_EDID_LOCK %1").arg(i), last, last);
        if (failedAnswer(answer)) {
            failed = true;
            break;
        }
        if (answer.endsWith(QLatin1Char('0')))
            inputs << QStringLiteral("Input %1").arg(i);
    }
    if (failed) {
        // An answer the unit did not understand leaves the scan's connection open: end it.
        if (socket)
            closeSockErr(socket);
        showConnectionError(QStringLiteral("Can't communicate with device.."));
    }
    promptContext.clear();
    return inputs;
}

void Ostrand::uploadCustomEDID(QString input, QString ip, QString port, QByteArray edid, QString productName)
{
    // The unit takes one or two blocks with right sums into an input it has; nothing else is
    // sent, and the input cannot carry more than its number into the command line.
    QString problem = edidTransferError(edid);
    if (!isInputNumber(input))
        problem = QStringLiteral("There is no input \"%1\" to send the EDID to.").arg(input);
    if (!problem.isEmpty()) {
        Dialogs::warning(ui->centralFrame, QStringLiteral("Warning"), problem);
        return;
    }
    promptContext = QStringLiteral("Product: ") + productName + QStringLiteral("\nIP: ") + ip;
    const QString command =
        QStringLiteral("#SEND_CUSTOM_EDID ") + input + QLatin1Char(' ') + QString::fromLatin1(edid.toHex());
    const QString answer = runCommand(ip, port, command, true, true);
    // The next question for another unit must not name this one.
    promptContext.clear();
    if (failedAnswer(answer) || !answer.contains(QLatin1String("SEND_COMPLETE"))) {
        showConnectionError(QStringLiteral("Can't communicate with device.."));
        return;
    }
    Dialogs::information(ui->centralFrame, QString(), QStringLiteral("Done"));
}
