// Telnet matrix page: set-up per selected unit, status texts and the command runner with the
// unit's Admin login.
//
// A unit answers a command line ("\r\n"-terminated) with its echo, the answer lines and its
// prompt. A unit that wants a login answers the first command of a session with a question that
// names the "userid" instead; the page then sends "Admin", the password and an empty line, and
// the unit's welcome names its "telnet" server. Units differ in what their prompt says (">",
// "> ", a word before ">"), so no reply is judged by its text: each one is taken once the unit
// has fallen quiet after the pause that follows the write, the first line being the echo and the
// last the prompt. No wait is unbounded: 5 s to connect, 800 ms for a greeting, the pause and
// 3 s for each reply, a few login attempts.
#include "ostrand.h"

#include "dialogs.h"
#include "discoverydatagrams.h"
#include "replyreader.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTimer>

namespace {
const int connectWaitMs = 5000;
const int greetingPauseMs = 300; // the unit's optional greeting: the pause, then its wait
const int greetingWaitMs = 500;
const int commandPauseMs = 300;  // after a command line or the user name
const int loginPauseMs = 600;    // after the password and after the empty line
const int replyWaitMs = 3000;    // for a reply to start after its pause, and for its last line
// A reply is over once the unit has sent nothing for this long. Units write the echo, the answer
// and the prompt in pieces; a reply must also have its prompt line, so a pause between two of
// those pieces never ends it early.
const int quietMs = 300;
const int closeWaitMs = 200;     // trailing bytes before hang-up
const int statusShownMs = 2900;
const int statusTimerMs = 3000;
// Rejected logins in a row before the command gives up; the user may cancel any sooner.
const int maxLoginAttempts = 5;
// Longer than any reply of a unit (a 256-byte EDID is 512 digits).
const int replyLimit = 64 * 1024;

const QString errReply = QStringLiteral("err");
const QString lineEnd = QStringLiteral("\r\n");

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

bool asksLogin(const QString& reply)
{
    return reply.toLower().contains(QLatin1String("userid"));
}

// A command's reply has come to its prompt: after the echo's line end there is a last line with
// something on it, whatever it says.
bool hasPromptLine(const QString& reply)
{
    const int end = reply.lastIndexOf(lineEnd);
    return end >= 0 && !reply.midRef(end + lineEnd.size()).trimmed().isEmpty();
}

// Complete at the first bytes, whatever they are.
ReplyRules firstBytesRules()
{
    ReplyRules rules;
    rules.prompt.clear();
    rules.completeWhen = [](const QString&) { return true; };
    rules.limit = replyLimit;
    return rules;
}

// Complete once the unit has been quiet; nothing at all within quietMs is quiet too.
ReplyRules quietRules(int limit)
{
    ReplyRules rules;
    rules.prompt.clear();
    rules.completion = ReplyRules::Completion::Quiet;
    rules.quietMs = quietMs;
    rules.limit = qMax(0, limit);
    return rules;
}

ReplyWait blockingWait(int ms)
{
    ReplyWait wait;
    wait.waitMs = ms;
    wait.blocking = true;
    return wait;
}
} // namespace

struct Ostrand::Step {
    bool ok = false; // a whole reply came (for a login step: something came)
    QString raw;
};

Ostrand::Ostrand(Ui_MainUI* ui)
    : Ostrand(ui, NoSetup())
{
}

Ostrand::Ostrand(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
    errorPalette.setColor(QPalette::WindowText, QColor(255, 70, 50, 255));
    okPalette.setColor(QPalette::WindowText, QColor(Qt::green));
    busyPalette.setColor(QPalette::WindowText, QColor(0, 220, 255, 255));
}

Ostrand::~Ostrand() = default;

// ---- Selection ---------------------------------------------------------------------------------

QStringList Ostrand::edidSourceList(bool eightPorts)
{
    const int ports = eightPorts ? 8 : 4;
    QStringList items;
    for (int i = 1; i <= ports; ++i)
        items << QStringLiteral("Input %1").arg(i);
    items << QString();
    for (int i = 0; i < ports; ++i)
        items << QStringLiteral("Output ") + QChar('A' + i);
    items << QString();
    items << QStringLiteral("UHD 4K 600 MHz 2ch") << QStringLiteral("UHD 4K 600 MHz Multi-Ch")
          << QStringLiteral("UHD 4K 300 MHz 2ch") << QStringLiteral("UHD 4K 300 MHz Multi-Ch")
          << QStringLiteral("1080p 2Ch") << QStringLiteral("1080p Multi-Ch");
    items << QString();
    items << QStringLiteral("External EDID");
    return items;
}

void Ostrand::selectedProductChanged(_Device* unit)
{
    device = Unit();
    if (!unit)
        return;
    device.valid = true;
    device.ip = DiscoveryProtocol::addressToString(unit->ip);
    device.port = QString::number(unit->telnetPort);
    device.productName = unit->productName;
    device.firmwareVersion = unit->firmwareVersion;
    device.mac = macToString(unit);
    macByAddress.insert(device.ip + QLatin1Char(':') + device.port, device.mac);

    ui->versionInfo->setText(QStringLiteral("Firmware version: ") + device.firmwareVersion);

    QComboBox* sources = ui->selectEDIDFromDevice;
    for (int i = sources->count() - 1; i >= 0; --i) {
        if (!sources->itemText(i).contains(QLatin1String("Select EDID")))
            sources->removeItem(i);
    }
    sources->setEnabled(true);
    const QStringList items = edidSourceList(device.productName.contains(QLatin1String("Rennart")));
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i).isEmpty())
            sources->insertSeparator(i + 1);
        else
            sources->insertItem(i + 1, items.at(i));
    }
    ui->scalerEDIDBox->setEnabled(false);
    ui->downloadButton->setEnabled(false);
    ui->openEDIDFromDevice->setEnabled(false);
}

// ---- Status ------------------------------------------------------------------------------------

void Ostrand::showStatus(const QString& message)
{
    ui->statusBar->setPalette(okPalette);
    ui->statusBar->showMessage(message);
    statusDeadline = nowMs() + TimeScale::ms(statusShownMs);
    QTimer::singleShot(TimeScale::ms(statusTimerMs), this, SLOT(clearStatus()));
}

void Ostrand::clearStatus()
{
    clearExpiredStatus();
}

void Ostrand::clearExpiredStatus()
{
    if (nowMs() > statusDeadline)
        ui->statusBar->clearMessage();
}

void Ostrand::showResult()
{
    lastReply = lastReply.trimmed();
    if (lastReply.isEmpty())
        return;
    if (lastReply.toLower().contains(QLatin1String("wrong"))) {
        ui->statusBar->setPalette(errorPalette);
        ui->statusBar->showMessage(QStringLiteral("Command failed."));
        return;
    }
    showStatus(lastReply);
}

// ---- Command runner ----------------------------------------------------------------------------

QString Ostrand::answerOf(const QString& reply)
{
    const QStringList parts = reply.split(QStringLiteral("\r\n"), Qt::KeepEmptyParts);
    QString answer;
    for (int i = 1; i + 1 < parts.size(); ++i)
        answer += parts.at(i);
    return answer.trimmed();
}

QString Ostrand::closeSockErr(QTcpSocket* link)
{
    if (!link)
        return errReply;
    if (link->state() == QAbstractSocket::ConnectedState && link->waitForReadyRead(TimeScale::ms(closeWaitMs)))
        link->readAll();
    link->disconnectFromHost();
    link->close();
    // Nothing refers to a closed connection again.
    link->deleteLater();
    if (socket == link)
        socket = nullptr;
    return errReply;
}

QString Ostrand::fail()
{
    clearExpiredStatus();
    return closeSockErr(socket);
}

bool Ostrand::openLink(const QString& ip, const QString& port)
{
    if (socket)
        closeSockErr(socket);
    bool ok = false;
    const int number = port.toInt(&ok);
    if (!ok || number < 1 || number > 65535)
        return false;
    socket = new QTcpSocket(this);
    socket->connectToHost(ip, quint16(number), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    if (!socket->waitForConnected(TimeScale::ms(connectWaitMs))) {
        qDebug() << "Ostrand::openLink:" << ip << port << socket->errorString();
        return false;
    }
    // The unit's greeting, if any, is not the answer to anything.
    exchange(QByteArray(), greetingPauseMs, greetingWaitMs, false);
    return true;
}

// Writes `line` (nothing when empty: the greeting) and takes the reply. The first bytes must come
// within the pause and the wait; then the reply grows until the unit has been quiet for a while,
// and it is never taken before the pause is over. A command's reply must also have come to its
// prompt line by the end of the wait, and one that is still growing then is refused: a reply cut
// short would leave its tail to be read as the next command's answer. A login step takes
// whatever came, as long as something did.
Ostrand::Step Ostrand::exchange(const QByteArray& line, int pauseMs, int waitMs, bool command)
{
    Step step;
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return step;
    QElapsedTimer clock;
    clock.start();
    const ReplyWait firstWait = blockingWait(pauseMs + waitMs);
    ReplyReader first(socket, firstBytesRules());
    const ReplyResult start = line.isEmpty() ? first.collect(firstWait) : first.exchange(line, firstWait);
    step.raw = start.raw;
    if (!start.isComplete())
        return step; // nothing came, the link went, or the reply was too large
    const qint64 pauseEnd = TimeScale::ms(pauseMs);
    const qint64 deadline = TimeScale::ms(pauseMs + waitMs);
    for (;;) {
        const ReplyResult tail =
            ReplyReader(socket, quietRules(replyLimit - step.raw.size())).collect(blockingWait(waitMs));
        step.raw += tail.raw;
        if (tail.status == ReplyResult::Status::TooLarge)
            return step;
        if (tail.status == ReplyResult::Status::LinkClosed) {
            // A unit that hangs up in the middle of a command leaves its answer in doubt.
            step.ok = !command;
            return step;
        }
        if (tail.status == ReplyResult::Status::TimedOut && !tail.raw.isEmpty())
            return step; // still talking after a whole wait
        // Quiet now.
        const qint64 elapsed = clock.elapsed();
        const bool whole = !command || hasPromptLine(step.raw);
        if (whole && elapsed >= pauseEnd) {
            step.ok = true;
            return step;
        }
        if (elapsed >= deadline)
            return step;
    }
}

QString Ostrand::loginKey(const QString& ip, const QString& port) const
{
    const QString address = ip + QLatin1Char(':') + port;
    return macByAddress.value(address, address);
}

bool Ostrand::askPassword(QString* password)
{
    bool ok = false;
    *password = Dialogs::getText(this, QStringLiteral("Telnet authentication"),
                                 promptContext + QStringLiteral("\n\nPlease insert Admin password:"),
                                 QLineEdit::Password, QString(), &ok);
    return ok && !password->isEmpty();
}

QString Ostrand::runCommand(const QString& ip, const QString& port, const QString& command, bool open, bool close)
{
    showStatus(QStringLiteral("Please wait..."));
    const QByteArray line = command.toUpper().toUtf8() + "\r\n";
    const QString key = loginKey(ip, port);

    for (int attempt = 0;; ++attempt) {
        // A retry after a rejected login always starts a fresh session: the old one is in the
        // middle of the unit's login dialogue.
        if (open || attempt > 0) {
            if (!openLink(ip, port))
                return fail();
        }
        Step step = exchange(line, commandPauseMs, replyWaitMs, true);
        if (!step.ok)
            return fail();
        QString reply = step.raw;

        if (asksLogin(reply)) {
            QString password = passwords.value(key);
            if (password.isEmpty() && !askPassword(&password))
                return fail();
            if (!exchange("Admin\r\n", commandPauseMs, replyWaitMs, false).ok)
                return fail();
            step = exchange(password.toUtf8() + "\r\n", loginPauseMs, replyWaitMs, false);
            if (!step.ok)
                return fail();
            reply = step.raw;
            step = exchange("\r\n", loginPauseMs, replyWaitMs, false);
            if (!step.ok)
                return fail();
            reply += step.raw;
            if (!reply.toLower().contains(QLatin1String("telnet"))) {
                passwords.remove(key);
                closeSockErr(socket);
                if (attempt + 1 >= maxLoginAttempts)
                    return fail();
                continue;
            }
            passwords.insert(key, password);
            step = exchange(line, commandPauseMs, replyWaitMs, true);
            if (!step.ok || asksLogin(step.raw)) {
                clearStatus();
                return fail();
            }
            reply = step.raw;
        }

        const QString answer = answerOf(reply);
        if (close)
            closeSockErr(socket);
        clearExpiredStatus();
        return answer;
    }
}

QString Ostrand::runCommand(const QString& command, bool open, bool close)
{
    if (!device.valid) {
        clearExpiredStatus();
        return errReply;
    }
    return runCommand(device.ip, device.port, command, open, close);
}
