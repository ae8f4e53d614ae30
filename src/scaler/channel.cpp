// Scaler controller: the command channel. Frames one text command per family, writes it and
// collects its reply through the shared reply reader; the availability state keeps exchanges
// apart; results reach the status bar. Also the byte readers of the boot-loader and YMODEM
// exchanges.
//
// Who holds the link (`availability`):
// - the generic sender and the TCP sender wait for AVAILABLE, hold OCCUPIED for their exchange
//   and release it at its end (TCP: when TCPreadLine() has the reply);
// - the family sender and the raw-bytes sender belong to a burst that a page started after its
//   own busy check: they mark the link OCCUPIED and leave it so; the page ends the burst with
//   setAvailable();
// - an EDID upload holds UPLOADING; no sender writes meanwhile.
// No lock is held across a wait: the waits run the event loop, and a slot that runs meanwhile
// (a timer, another page, a click) must find the state, not block on it.
#include "scaler.h"

#include "constants.h"
#include "delay.h"
#include "portaccess.h"
#include "replyreader.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDebug>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTimer>

namespace {
const QString openFailedMessage =
    QStringLiteral("Failed to open serial port. Try disconnect power and connect the unit.");
const int availabilityChecks = 100;
const int availabilityCheckMs = 100;
const int pollStepMs = 100;
const int maxPolls = 50;

// "%1\r", "%1 %2\r" or "%1 %2 %3\r"; an argument given alone in the second place takes the first.
QString commandLine(const QString& cmd, const QString& param1, const QString& param2)
{
    QString line = cmd;
    if (!param1.isEmpty())
        line += QLatin1Char(' ') + param1;
    if (!param2.isEmpty())
        line += QLatin1Char(' ') + param2;
    return line + QLatin1Char('\r');
}

// The poll of the senders counts whole 100 ms steps, at most 50 of them.
int roundedWait(int waitMs)
{
    const int steps = qBound(1, (waitMs + pollStepMs - 1) / pollStepMs, maxPolls);
    return steps * pollStepMs;
}
} // namespace

bool Scaler::waitForAvailable(int checks)
{
    for (int i = 0; i < checks && availability != AVAILABLE; ++i)
        delay(availabilityCheckMs);
    return availability == AVAILABLE;
}

// The generic scaler's line: the Jovaris ends it "\r\n"; the bare "#SET_EDID_MODE" of the 3GSDI
// scaler names the input chosen in the EDID source list.
QByteArray Scaler::genericCommandLine(const QString& cmd, const QString& param1, const QString& param2) const
{
    QString line = commandLine(cmd, param1, param2);
    if (ui->productCombobox->currentText().contains(MODEL_JOVARIS))
        line += QLatin1Char('\n');
    if (cmd.contains(QLatin1String("#SET_EDID_MODE")) && cmd.endsWith(QLatin1Char('E'))) {
        const QString source = ui->selectEDIDFromDevice->currentText();
        if (source == QLatin1String("Scaler: VGA EDID"))
            line = QStringLiteral("#SET_EDID_MODE %1 0\r").arg(param1);
        else if (source == QLatin1String("Scaler: HDMI EDID"))
            line = QStringLiteral("#SET_EDID_MODE %1 1\r").arg(param1);
    }
    return line.toUtf8();
}

// One serial exchange through the shared reader: stale input drained (waiting a moment for the
// rest of a reply that came late), the line written, the reply
// collected by `rules` within `wait`. The reply lands in replyText (cleaned) and replyBytes (raw).
bool Scaler::serialExchange(const QByteArray& line, const ReplyRules& rules, const ReplyWait& wait)
{
    replyText.clear();
    readerActive = true;
    staleSerial.drop(serialPort);
    const ReplyResult result = ReplyReader(serialPort, rules).exchange(line, wait);
    staleSerial.settle(result.isComplete());
    readerActive = false;
    replyBytes.append(result.raw.toLatin1());
    replyText = result.text;
    lastExchangeTimedOut = !result.isComplete();
    if (result.status == ReplyResult::Status::LinkClosed && serialPort->isOpen())
        serialPort->close();
    return result.isComplete();
}

void Scaler::sendCommand(QString cmd, QString param1, QString param2, int wait)
{
    if (wait == 0)
        wait = 500;
    lastSendFailed = true;
    if (!waitForAvailable(availabilityChecks)) {
        showError(QStringLiteral("Command Failed."));
        ui->uploadButton->setEnabled(true);
        ui->uploadBrowse->setEnabled(true);
        return;
    }
    availability = OCCUPIED;
    if (!openPort(false)) {
        availability = AVAILABLE;
        showError(PortAccess::explained(openFailedMessage, *serialPort));
        return;
    }
    lastSendFailed = false;
    ReplyWait replyWait;
    replyWait.waitMs = roundedWait(wait);
    if (!serialExchange(genericCommandLine(cmd, param1, param2), ReplyRules::serial(), replyWait))
        showError(noResponseMessage());
    // The page's follow-up runs after this exchange has let go of the link.
    QTimer::singleShot(TimeScale::ms(50), this, SIGNAL(commandComplete()));
    availability = AVAILABLE;
}

bool Scaler::claimLinkForBurst(bool openFirst)
{
    replyText.clear();
    if (availability == UPLOADING) {
        showError(QStringLiteral("Command Failed."));
        return false;
    }
    if (openFirst && !openPort(false)) {
        showError(PortAccess::explained(openFailedMessage, *serialPort));
        return false;
    }
    availability = OCCUPIED;
    return true;
}

namespace {
bool isSerialExtender(Scaler::Family family)
{
    return family == Scaler::Family::Jovaris || family == Scaler::Family::Surrow || family == Scaler::Family::Norrith;
}
} // namespace

void Scaler::sendCommand(QString cmd, QString param1, QString param2, int wait, bool openFirst, bool closeAfter)
{
    if (!claimLinkForBurst(openFirst))
        return;

    QString line = commandLine(cmd, param1, param2);
    ReplyWait replyWait;
    replyWait.waitMs = roundedWait(wait);
    const Family family = selectedFamily();
    if (isSerialExtender(family)) {
        const bool rawData = line.size() >= 100;
        if (!rawData)
            line = line.toUpper() + QLatin1Char('\n');
        const bool edidTransfer = line.contains(QLatin1String("GET_INTERNAL_EDID"))
                                  || line.contains(QLatin1String("GET_EXTERNAL_EDID"))
                                  || line.contains(QLatin1String("GET_CUSTOM_EDID"))
                                  || line.contains(QLatin1String("SEND_CUSTOM_EDID"));
        replyWait.waitMs = edidTransfer || line.size() > 100 ? 1000 : 300;
        // A silent unit gets its wait stretched in 200 ms steps up to 1000 ms.
        replyWait.extendStepMs = 200;
        replyWait.extendLimitMs = 1000;
    }
    if (!serialExchange(line.toUtf8(), ReplyRules::family(), replyWait))
        qDebug() << "Scaler::sendCommand: no prompt after" << line.trimmed();
    if (closeAfter && serialPort->isOpen())
        serialPort->close();
}

void Scaler::sendBytesCommand(QByteArray bytes, int wait, bool openFirst, bool closeAfter)
{
    if (!claimLinkForBurst(openFirst))
        return;
    const Family family = selectedFamily();
    ReplyWait replyWait;
    replyWait.waitMs = isSerialExtender(family) ? 1000 : roundedWait(wait);
    if (!serialExchange(bytes, ReplyRules::serial(), replyWait))
        qDebug() << "Scaler::sendBytesCommand: no prompt after" << bytes.size() << "bytes";
    if (closeAfter && serialPort->isOpen())
        serialPort->close();
}

// Writes one line to the Zarrick/Cavrosh unit; TCPreadLine() collects its reply and releases the
// link. A busy link or a closed connection is reported and nothing is written.
void Scaler::sendTCPCommand(QString cmd, QString param)
{
    tcpSendFailed = true;
    if (tcpSocket->state() != QAbstractSocket::ConnectedState) {
        showError(QStringLiteral("Device is disconnected."));
        return;
    }
    if (!waitForAvailable(availabilityChecks)) {
        showError(QStringLiteral("Command Failed."));
        return;
    }
    availability = OCCUPIED;
    const QString line = param.isEmpty() ? cmd + QStringLiteral("\n\r") : cmd + QLatin1Char(' ') + param + QStringLiteral("\n\r");
    // A late answer to an earlier line must not be read as this one's.
    readerActive = true;
    staleTcp.drop(tcpSocket, true);
    readerActive = false;
    tcpChunk.clear();
    if (tcpSocket->write(line.toLocal8Bit()) < 0) {
        availability = AVAILABLE;
        showError(QStringLiteral("Device is disconnected."));
        return;
    }
    tcpSocket->flush();
    tcpSendFailed = false;
}

void Scaler::releaseLink()
{
    if (availability == OCCUPIED)
        availability = AVAILABLE;
}

void Scaler::setAvailable()
{
    if (serialPort && serialPort->isOpen())
        serialPort->close();
    availability = AVAILABLE;
    ui->ConfiguratorTabs->setEnabled(true);
    ui->tabWidget->setEnabled(true);
    ui->productCombobox->setEnabled(true);
}

// Follow-up of a generic command: its reply on the status bar. A unit that did not answer is
// not reported as a success.
void Scaler::showResult()
{
    replyText = replyText.trimmed();
    if (lastExchangeTimedOut)
        showError(noResponseMessage());
    else if (!replyText.isEmpty()) {
        if (replyIsWrong(replyText))
            showError(QStringLiteral("Command failed."));
        else
            showStatus(replyText);
    }
    availability = AVAILABLE;
}

// The byte readers take replyBytes from replyReadPos on, one byte at a time; a byte that is not
// looked for is consumed and skipped. The deadline is monotonic (delay() is).
bool Scaler::waitForBytes(char byte, int timeoutMs)
{
    QDeadlineTimer deadline(TimeScale::ms(timeoutMs));
    while (true) {
        QDeadlineTimer slice(TimeScale::ms(100));
        while (!slice.hasExpired()) {
            if (replyReadPos < replyBytes.size()) {
                const char got = replyBytes.at(replyReadPos++);
                if (got == byte)
                    return false;
                break;
            }
            delay(5);
        }
        if (deadline.hasExpired())
            return true;
    }
}

bool Scaler::getonechar(char expected, int timeoutMs, bool useAlternative, char alternative)
{
    QDeadlineTimer deadline(TimeScale::ms(timeoutMs));
    while (true) {
        QDeadlineTimer slice(TimeScale::ms(100));
        while (!slice.hasExpired()) {
            if (replyReadPos < replyBytes.size()) {
                const char got = replyBytes.at(replyReadPos++);
                if (got == 0x06)
                    qDebug() << "getonechar: ACK";
                else if (got == 0x15)
                    qDebug() << "getonechar: NAK";
                if (got == expected)
                    return false;
                if (useAlternative && got == alternative)
                    return true;
                break;
            }
            delay(50);
        }
        if (deadline.hasExpired())
            return true;
    }
}

void Scaler::sendAbort()
{
    putonechar('a');
    delay(3000);
}

bool Scaler::receiveAck(int timeoutMs)
{
    if (!waitForBytes('\x00', timeoutMs) && !waitForBytes(char(0xCC), timeoutMs))
        return true;
    if (serialPort->isOpen())
        serialPort->close();
    availability = AVAILABLE;
    return false;
}
