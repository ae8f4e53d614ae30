// Scaler controller: the EDID pages of the Zarrick and Cavrosh units over TCP. The page is the
// shared "Manage EDID" page, rebuilt for the model: its EDID-mode buttons, the Zarrick's four
// input buttons, the lock pair, the firmware version; the mode, input and lock commands; and the
// readout of the unit's internal, external and custom EDIDs for "View" and "Save As".
//
// Every exchange is one line with sendTCPCommand() and its reply from TCPreadLine(). The two
// models differ in small points: the Zarrick addresses one of four inputs (every mode and lock
// command carries it) and numbers its first two modes the other way round; the Cavrosh has one
// mode and one lock.
#include "scaler.h"

#include "constants.h"
#include "dialogs.h"
#include "ediddecoder.h"
#include "mybuttongroup.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTextBrowser>
#include <QElapsedTimer>
#include <QRegularExpression>

namespace {
const QString zarrickCustomMode = QStringLiteral("4");
const QString cavroshCustomMode = QStringLiteral("8");

// The Zarrick's input buttons carry the ids -2 to -5 for inputs 1 to 4.
int inputButtonId(int input)
{
    return -1 - input;
}

// How long an EDID read may take, from the query to the start of its reply (device ms); the
// reply itself then runs until the unit falls quiet.
const int tcpEdidReplyMs = 5000;

// Which EDID of the unit a query asks for, or a reply's first line names: its kind ("internal",
// "external", "custom") and its number, -1 when none is given.
struct EdidSlot {
    QString kind; // empty: the line names none (the digits start at once, "NO USER", ...)
    int number = -1;

    // Names another EDID than `asked`. A line that names no kind, or a number on one side only,
    // cannot tell and does not differ.
    bool differsFrom(const EdidSlot& asked) const
    {
        if (kind.isEmpty() || asked.kind.isEmpty())
            return false;
        if (kind != asked.kind)
            return true;
        return number >= 0 && asked.number >= 0 && number != asked.number;
    }
};

EdidSlot edidSlotOfText(const QString& text)
{
    EdidSlot slot;
    static const QRegularExpression kindWord(QStringLiteral("\\b(internal|external|custom)"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch kind = kindWord.match(text);
    if (!kind.hasMatch())
        return slot;
    slot.kind = kind.captured(1).toLower();
    static const QRegularExpression numberWord(QStringLiteral("\\b(\\d{1,3})\\b"));
    const QRegularExpressionMatch number = numberWord.match(text, kind.capturedEnd());
    if (number.hasMatch())
        slot.number = number.captured(1).toInt();
    return slot;
}

// "#GET_INTERNAL_EDID 2" asks for internal EDID 2, "#GET_CUSTOM_EDID" for the custom one.
EdidSlot edidSlotOfQuery(const QString& query)
{
    return edidSlotOfText(QString(query).replace(QLatin1Char('_'), QLatin1Char(' ')));
}

// A reply's first line names its EDID ("Internal EDID 1:"); a first line of digits names none.
EdidSlot edidSlotOfHeading(const QString& line)
{
    return edidSlotOfText(line);
}

QString firstLine(const QString& reply)
{
    const QStringList lines = reply.split(QRegularExpression(QStringLiteral("[\\r\\n]+")), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (!line.trimmed().isEmpty())
            return line.trimmed();
    }
    return QString();
}

// The replies in what came, one per prompt (a late reply and the asked one may come together).
QStringList repliesOf(const QString& raw)
{
    QStringList replies;
    for (const QString& part : raw.split(QLatin1Char('>'))) {
        if (!part.trimmed().isEmpty())
            replies << part;
    }
    return replies;
}

bool isBlankEdid(const QByteArray& bytes)
{
    return bytes.count(char(0xFF)) == bytes.size() || bytes.count(char(0x00)) == bytes.size();
}
} // namespace

// ---- Building the page ----------------------------------------------------------------------

// The two frames of the EDID page are shared with the other families' EDID pages (a splitter's
// eight mode buttons, the generic scaler's), whose buttons stay there when another product is
// picked. The TCP units' page shows its own buttons alone: every other one goes. Their groups
// guard their buttons and rebuild them when their page is shown again.
void Scaler::clearSharedEdidFrames()
{
    for (QWidget* frame : {static_cast<QWidget*>(ui->scalerEDIDFrame), static_cast<QWidget*>(ui->edidInputFrame)}) {
        for (QAbstractButton* button : frame->findChildren<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly))
            delete button;
    }
}

// Takes the Zarrick's input buttons off the page; with `create`, puts four new ones in the first
// row of the EDID frame's grid, the one of `zarrickInput` checked.
void Scaler::rebuildZarrickInputButtons(bool create)
{
    for (QAbstractButton* button : edidInputGroup->buttons()) {
        edidInputGroup->removeButton(button);
        delete button;
    }
    if (!create)
        return;
    QWidget* frame = ui->scalerEDIDFrame;
    auto* grid = qobject_cast<QGridLayout*>(frame->layout());
    if (!frame->layout())
        grid = new QGridLayout(frame);
    for (int i = 0; i < ZARRICK_INPUT_NAMES.size(); ++i) {
        auto* button = new QPushButton(ZARRICK_INPUT_NAMES.at(i), frame);
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        edidInputGroup->addButton(button, inputButtonId(i + 1));
        if (grid)
            grid->addWidget(button, 0, i);
        else
            frame->layout()->addWidget(button);
    }
    connect(edidInputGroup, SIGNAL(buttonClicked(int)), this, SLOT(handleZARRICKInput(int)), Qt::UniqueConnection);
    if (QAbstractButton* current = edidInputGroup->button(inputButtonId(zarrickInput.toInt())))
        current->setChecked(true);
}

void Scaler::rebuildLockButtons(const char* slot)
{
    edidLockButton = nullptr;
    edidUnlockButton = nullptr;
    while (QLayoutItem* item = ui->lockedidLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    auto make = [&](const QString& text) {
        auto* button = new QPushButton(text, ui->lockedidLayout->parentWidget());
        button->setMaximumWidth(80);
        button->setCheckable(true);
        connect(button, SIGNAL(clicked()), this, slot);
        ui->lockedidLayout->addWidget(button);
        return button;
    };
    edidLockButton = make(QStringLiteral("EDID Lock"));
    edidUnlockButton = make(QStringLiteral("EDID Unlock"));
}

void Scaler::setLockButtonsEnabled(bool enabled)
{
    for (QPushButton* button : {edidLockButton, edidUnlockButton}) {
        if (!button)
            continue;
        button->setEnabled(enabled);
        if (enabled)
            button->setCheckable(true);
    }
}

// The page's lock buttons show the unit's EDID locked. A page without them (another model's, or
// not built yet) shows nothing locked.
bool Scaler::lockButtonShowsLocked() const
{
    return edidLockButton && ui->lockedidLayout->indexOf(edidLockButton) >= 0 && edidLockButton->isEnabled()
           && edidLockButton->isChecked();
}

// Reads the lock state and shows it on the pair: "1" locked, "0" unlocked, anything else changes
// nothing.
void Scaler::readTcpEdidLock()
{
    const bool zarrick = selectedFamily() == Family::Zarrick;
    sendTCPCommand(QStringLiteral("#GET_EDID_LOCK"), zarrick ? zarrickInput : QString());
    const QStringList reply = TCPreadLine();
    if (reply.size() != (zarrick ? 4 : 3) || !edidLockButton || !edidUnlockButton)
        return;
    const QString state = reply.last();
    if (state != QLatin1String("1") && state != QLatin1String("0"))
        return;
    edidLockButton->setChecked(state == QLatin1String("1"));
    edidUnlockButton->setChecked(state == QLatin1String("0"));
}

// Checks the mode button of a mode the unit reported. The Zarrick numbers its first two modes the
// other way round from the buttons.
void Scaler::checkTcpEdidMode(const QString& mode)
{
    if (!edidModeGroup)
        return;
    bool ok = false;
    const int value = mode.toInt(&ok);
    if (!ok)
        return;
    const bool zarrick = selectedFamily() == Family::Zarrick;
    int index = value - 1;
    if (zarrick && value == 1)
        index = 1;
    else if (zarrick && value == 2)
        index = 0;
    const QStringList& modes = zarrick ? ZARRICK_EDID_MODE_CHOICES : CAVROSH_EDID_MODE_CHOICES;
    if (index >= 0 && index < modes.size())
        edidModeGroup->setCheckedByText(modes.at(index));
}

// The upload tools and the lock pair for the mode now set. A custom EDID goes only to a unit in
// custom mode; the Zarrick keeps its tools (its uploader checks every input), the Cavrosh shuts
// them outside that mode.
void Scaler::showTcpEdidMode(bool custom)
{
    const bool zarrick = selectedFamily() == Family::Zarrick;
    ui->uploadToDropdown->setEnabled(zarrick || custom);
    ui->uploadBrowse->setEnabled(zarrick || custom);
    ui->uploadFilename->clear();
    ui->uploadButton->setEnabled(false);
    setLockButtonsEnabled(custom);
    if (custom)
        readTcpEdidLock();
}

void Scaler::refreshZARRICK_edidPage()
{
    updating = true;
    ui->label_93->hide();
    ui->scalerEDIDFrame->setMinimumHeight(60);
    ui->scalerEDIDFrame->setMaximumHeight(70);
    ui->scalerEDIDFrame->show();

    clearSharedEdidFrames();
    replaceEdidModeGroup(ZARRICK_EDID_MODE_CHOICES, ui->edidInputFrame);
    connect(edidModeGroup, SIGNAL(sendCommand(QString, QString)), this, SLOT(handleZARRICKCommand(QString, QString)));
    rebuildZarrickInputButtons(true);

    ui->previewDownloadFrame->setEnabled(true);
    ui->sorvaneBox->setEnabled(true);
    ui->scalerEDIDBox->setEnabled(true);
    ui->label_109->clear();
    rebuildLockButtons(SLOT(handleZARRICK_buttons()));
    ui->ConfiguratorTabs->setEnabled(false);

    sendTCPCommand(QStringLiteral("#GET_FIRMWARE_VERSION"), QString());
    QStringList reply = TCPreadLine();
    if (reply.size() != 4) {
        setAvailable();
        return;
    }
    ui->versionInfo->setText(reply.at(3).toUpper());
    ui->updateCurrentFirmware_2->setText(reply.at(3).toUpper());
    ui->updateBar_2->setValue(0);
    ui->updateBarNumber_2->setText(QStringLiteral("0%"));
    ui->updateFilename_2->clear();
    ui->firmwareFolder->clear();
    ui->updatePlxInstall_3->setEnabled(false);
    ui->label_92->show();
    ui->refreshEDIDModes->show();
    ui->edidInputFrame->setEnabled(true);

    sendTCPCommand(QStringLiteral("#GET_EDID_MODE"), zarrickInput);
    reply = TCPreadLine();
    if (reply.size() != 4) {
        setAvailable();
        return;
    }
    for (QWidget* w : {static_cast<QWidget*>(ui->downloadButton), static_cast<QWidget*>(ui->openEDIDFromDevice),
                       static_cast<QWidget*>(ui->uploadToDropdown), static_cast<QWidget*>(ui->uploadBrowse),
                       static_cast<QWidget*>(ui->refreshEDIDModes), static_cast<QWidget*>(ui->copyButton)})
        w->setEnabled(true);
    setLockButtonsEnabled(true);
    ui->uploadButton->setEnabled(false);
    checkTcpEdidMode(reply.at(3));
    showTcpEdidMode(reply.at(3) == zarrickCustomMode);

    QStringList targets;
    for (int input = 1; input <= 4; ++input)
        targets << QStringLiteral("Input %1 Custom").arg(input);
    finishEdidPageRefresh(targets, SLOT(handleZARRICK_buttons()));
}

void Scaler::refreshCAVROSH_edidPage()
{
    updating = true;
    ui->label_93->hide();
    ui->scalerEDIDFrame->setMinimumHeight(100);
    ui->scalerEDIDFrame->setMaximumHeight(100);
    ui->scalerEDIDFrame->show();

    // A Zarrick page shown before leaves its input buttons in the frame the modes go into.
    rebuildZarrickInputButtons(false);
    clearSharedEdidFrames();
    replaceEdidModeGroup(CAVROSH_EDID_MODE_CHOICES, ui->scalerEDIDFrame);
    connect(edidModeGroup, SIGNAL(sendCommand(QString, QString)), this, SLOT(handleCAVROSHCommand(QString, QString)));

    ui->previewDownloadFrame->setEnabled(true);
    ui->sorvaneBox->setEnabled(true);
    ui->scalerEDIDBox->setEnabled(true);
    ui->label_109->clear();
    rebuildLockButtons(SLOT(handleCAVROSH_buttons()));
    ui->ConfiguratorTabs->setEnabled(false);

    sendTCPCommand(QStringLiteral("#GET_FIRMWARE_VERSION"), QString());
    QStringList reply = TCPreadLine();
    if (reply.size() != 5) {
        setAvailable();
        return;
    }
    const QString version = QStringLiteral("V") + reply.at(4).toUpper();
    ui->versionInfo->setText(version);
    ui->updateCurrentFirmware_2->setText(version);
    ui->updateBar_2->setValue(0);
    ui->updateBarNumber_2->setText(QStringLiteral("0%"));
    ui->updateFilename_2->clear();
    ui->firmwareFolder->clear();
    ui->updatePlxInstall_3->setEnabled(false);
    ui->label_92->show();
    ui->refreshEDIDModes->show();

    sendTCPCommand(QStringLiteral("#GET_EDID_MODE"), QString());
    reply = TCPreadLine();
    if (reply.size() != 3) {
        setAvailable();
        return;
    }
    for (QWidget* w : {static_cast<QWidget*>(ui->downloadButton), static_cast<QWidget*>(ui->openEDIDFromDevice),
                       static_cast<QWidget*>(ui->uploadBrowse), static_cast<QWidget*>(ui->refreshEDIDModes),
                       static_cast<QWidget*>(ui->copyButton)})
        w->setEnabled(true);
    setLockButtonsEnabled(true);
    ui->uploadButton->setEnabled(false);
    checkTcpEdidMode(reply.at(2));
    showTcpEdidMode(reply.at(2) == cavroshCustomMode);

    finishEdidPageRefresh({QStringLiteral("Custom - User")}, SLOT(handleCAVROSH_buttons()));
}

// ---- Commands -------------------------------------------------------------------------------

// A mode button: "#SET_EDID_MODE" and the button's position in the list.
void Scaler::handleZARRICKCommand(QString cmd, QString SAVRANO_param1)
{
    if (selectedFamily() != Family::Zarrick)
        return;
    updating = true;
    bool ok = false;
    int index = SAVRANO_param1.toInt(&ok);
    if (!ok) {
        setAvailable();
        return;
    }
    if (index == 0)
        index = 1;
    else if (index == 1)
        index = 0;
    sendTCPCommand(cmd, zarrickInput + QLatin1Char(' ') + QString::number(index + 1));
    const QStringList reply = TCPreadLine();
    if (reply.size() == 5 || reply.size() == 6) {
        showTimedStatus(QStringLiteral("Setting updated"), okPalette, 2000);
        showTcpEdidMode(reply.size() == 5 && reply.at(4) == zarrickCustomMode);
    } else {
        showError(QStringLiteral("Command failed. Restart unit and try again."));
    }
    setAvailable();
}

void Scaler::handleCAVROSHCommand(QString cmd, QString param)
{
    if (selectedFamily() != Family::Cavrosh)
        return;
    updating = true;
    bool ok = false;
    const int index = param.toInt(&ok);
    if (!ok) {
        setAvailable();
        return;
    }
    sendTCPCommand(cmd, QString::number(index + 1));
    const QStringList reply = TCPreadLine();
    if (reply.size() == 4) {
        showTimedStatus(QStringLiteral("Setting updated"), okPalette, 2000);
        showTcpEdidMode(reply.at(3).contains(cavroshCustomMode));
    } else {
        showError(QStringLiteral("Command failed. Restart unit and try again."));
    }
    setAvailable();
}

void Scaler::handleZARRICKInput(int id)
{
    if (id >= inputButtonId(4) && id <= inputButtonId(1))
        zarrickInput = QString::number(-1 - id);
    if (QAbstractButton* button = edidInputGroup->button(id))
        button->setChecked(true);
    // The refresh button re-reads the mode of the new input once this slot has returned.
    ui->refreshEDIDModes->animateClick(0);
    setAvailable();
}

// The refresh, lock and unlock buttons of either page, told apart by the sender.
void Scaler::handleZARRICK_buttons()
{
    const Family family = selectedFamily();
    if (family != Family::Zarrick && family != Family::Cavrosh)
        return;
    const bool zarrick = family == Family::Zarrick;
    if (availability == OCCUPIED) {
        showTimedStatus(QStringLiteral("Device busy!!"), errorPalette, 2000);
        return;
    }
    QObject* from = sender();
    QString command;
    QString argument;
    QString lockValue;
    if (from == ui->refreshEDIDModes) {
        command = QStringLiteral("#GET_EDID_MODE");
        argument = zarrick ? zarrickInput : QString();
    } else if (from && (from == edidLockButton || from == edidUnlockButton)) {
        lockValue = from == edidLockButton ? QStringLiteral("1") : QStringLiteral("0");
        command = QStringLiteral("#SET_EDID_LOCK");
        argument = zarrick ? zarrickInput + QLatin1Char(' ') + lockValue : lockValue;
    } else {
        return;
    }

    // The pair shows the wanted state at once, and goes back to what it was when the unit does
    // not confirm it. A click has already toggled the clicked button.
    bool lockWas = edidLockButton && edidLockButton->isChecked();
    bool unlockWas = edidUnlockButton && edidUnlockButton->isChecked();
    if (from == edidLockButton && edidLockButton->isCheckable())
        lockWas = !lockWas;
    if (from == edidUnlockButton && edidUnlockButton->isCheckable())
        unlockWas = !unlockWas;
    if (!lockValue.isEmpty()) {
        edidLockButton->setChecked(lockValue == QLatin1String("1"));
        edidUnlockButton->setChecked(lockValue == QLatin1String("0"));
    }

    ui->ConfiguratorTabs->setEnabled(false);
    sendTCPCommand(command, argument);
    const QStringList reply = TCPreadLine();
    const QString text = reply.join(QLatin1Char(' '));
    bool confirmed = reply.size() > 1 && !replyIsWrong(text);
    if (!lockValue.isEmpty())
        confirmed = confirmed && reply.last() == lockValue;

    if (confirmed) {
        showTimedStatus(QStringLiteral("Setting updated."), okPalette, 2000);
        if (lockValue.isEmpty() && reply.size() == (zarrick ? 4 : 3)) {
            const QString mode = reply.last();
            if (zarrick)
                ui->edidInputFrame->setEnabled(true);
            else
                ui->scalerEDIDFrame->setEnabled(true);
            checkTcpEdidMode(mode);
            showTcpEdidMode(mode == (zarrick ? zarrickCustomMode : cavroshCustomMode));
        }
    } else if (!lockValue.isEmpty() && edidLockButton && edidUnlockButton) {
        edidLockButton->setChecked(lockWas);
        edidUnlockButton->setChecked(unlockWas);
        if (!reply.isEmpty())
            showError(QStringLiteral("Command failed. Restart unit and try again."));
    }
    setAvailable();
}

void Scaler::handleCAVROSH_buttons()
{
    handleZARRICK_buttons();
}

// ---- EDID readout ---------------------------------------------------------------------------

QByteArray Scaler::readTcpUnitEdid()
{
    updating = true;
    ui->ConfiguratorTabs->setEnabled(false);

    // The source list: entry 0 "Select EDID", then the internal EDIDs, the external one(s) and
    // the custom one(s), in the model's order.
    const int position = ui->selectEDIDFromDevice->currentIndex();
    QString query;
    if (selectedFamily() == Family::Zarrick) {
        if (position >= 0 && position <= 2)
            query = QStringLiteral("#GET_INTERNAL_EDID %1").arg(position);
        else if (position == 3)
            query = QStringLiteral("#GET_EXTERNAL_EDID");
        else if (position >= 4 && position <= 7)
            query = QStringLiteral("#GET_CUSTOM_EDID %1").arg(position - 3);
    } else if (selectedFamily() == Family::Cavrosh) {
        if (position >= 0 && position <= 3)
            query = QStringLiteral("#GET_INTERNAL_EDID %1").arg(position);
        else if (position >= 4 && position <= 7)
            query = QStringLiteral("#GET_EXTERNAL_EDID %1").arg(position - 3);
        else if (position == 8)
            query = QStringLiteral("#GET_CUSTOM_EDID");
    }
    if (query.isEmpty()) {
        setAvailable();
        return {};
    }

    sendTCPCommand(query, QString());
    if (tcpSendFailed && tcpSocket->state() == QAbstractSocket::ConnectedState) {
        // The link was busy: nothing was asked, and the unit is not lost.
        setAvailable();
        return {};
    }
    // The unit may take a while to fetch an EDID, and a reply that came late to an earlier query
    // may still come in first: a reply whose first line names another EDID is not this one's.
    // Read on until this one's comes, or the time is up.
    const EdidSlot asked = edidSlotOfQuery(query);
    QElapsedTimer clock;
    clock.start();
    const qint64 readFor = TimeScale::ms(tcpEdidReplyMs);
    bool anything = false;
    QString answer;
    QString otherSlot;
    for (;;) {
        const qint64 left = readFor - clock.elapsed();
        const int leftDeviceMs = int(qMax<qint64>(0, tcpEdidReplyMs * left / qMax<qint64>(1, readFor)));
        const ReplyResult result = readTcpReply(leftDeviceMs);
        if (!result.text.isEmpty())
            anything = true;
        for (const QString& reply : repliesOf(result.raw)) {
            const QString named = firstLine(reply);
            if (edidSlotOfHeading(named).differsFrom(asked)) {
                otherSlot = named;
                continue;
            }
            answer = reply;
            break;
        }
        if (!answer.isEmpty() || result.text.isEmpty() || clock.elapsed() >= readFor)
            break;
    }
    if (!anything) {
        // Nothing came at all: the unit is gone.
        tcpUnitLost();
        setAvailable();
        return {};
    }
    if (answer.isEmpty()) {
        // This EDID's own reply may still come: the next query drops it.
        staleTcp.settle(false);
        setAvailable();
        Dialogs::information(this, QStringLiteral("EDID Error"),
                             QStringLiteral("The unit answered with another EDID (\"%1\") than the one asked "
                                            "for. Nothing was read; please try again.")
                                 .arg(otherSlot));
        return {};
    }
    tcpChunk = answer;
    const EdidHexBlock block = decodeEdidHexBlock(tcpChunk);
    const QByteArray& bytes = block.bytes;
    setAvailable();

    QString message;
    if (block.missing)
        message = QStringLiteral(" No EDID Found!");
    else if (!block.ok())
        message = block.error;
    else if (bytes.size() <= 50)
        message = QStringLiteral("No EDID!");
    else if (isBlankEdid(bytes))
        message = QStringLiteral("Invalid EDID!");
    else
        message = edidTransferError(bytes);
    if (!message.isEmpty()) {
        Dialogs::information(this, QStringLiteral("EDID Error"), message);
        return {};
    }
    return bytes;
}

QByteArray Scaler::getZARRICKEDID()
{
    return readTcpUnitEdid();
}

QByteArray Scaler::getCAVROSHEDID()
{
    return readTcpUnitEdid();
}

void Scaler::zarrickDownloadEDID()
{
    const QByteArray bytes = readTcpUnitEdid();
    if (!bytes.isEmpty())
        finishWriteFile(bytes);
}

void Scaler::cavroshDownloadEDID()
{
    const QByteArray bytes = readTcpUnitEdid();
    if (!bytes.isEmpty())
        finishWriteFile(bytes);
}

// The common end of the serial-extender and TCP units' EDID page refresh: the link given back,
// the transfer buttons waiting for a choice, the page's upload targets, and "Refresh EDID modes"
// routed to the family's handler. Only this controller's own connection is replaced: the window
// keeps its refresh of the generic scalers and splitters, and each family handler looks at the
// selected family before it sends.
void Scaler::finishEdidPageRefresh(const QStringList& uploadTargets, const char* refreshSlot)
{
    setAvailable();
    ui->selectEDIDFromDevice->setEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(ui->downloadButton), static_cast<QWidget*>(ui->openEDIDFromDevice),
                       static_cast<QWidget*>(ui->uploadButton), static_cast<QWidget*>(ui->copyButton),
                       static_cast<QWidget*>(ui->copyFromDropdown), static_cast<QWidget*>(ui->copyToDropdown)})
        w->setEnabled(false);
    ui->uploadToDropdown->clear();
    ui->uploadToDropdown->addItems(uploadTargets);
    disconnect(ui->refreshEDIDModes, SIGNAL(clicked()), this, nullptr);
    connect(ui->refreshEDIDModes, SIGNAL(clicked()), this, refreshSlot);
    ui->selectEDIDFromDevice->setCurrentIndex(0);
}
