// The splitter controller: link, discovery and poll, page set-up, the HDCP, Status and System
// pages, the EDID operations of the Manage EDID page and the firmware page.
//
// Every answer is collected by the shared ReplyReader up to the prompt, or for as long as the
// unit may take when no prompt comes; what the unit printed up to and including the echo of the
// command is not part of it. A setting, reset or upload counts as done when the unit answered
// without refusing it (an output's HDCP setting when the answer names it); a read when its words
// are what the page reads. Indexes the unit reports are range-checked, EDIDs pass the shared
// transfer check in both directions, and a download replaces a file only once the EDID has been
// read and checked.
#include "lunmora.h"

#include "constants.h"
#include "delay.h"
#include "dialogs.h"
#include "ediddecoder.h"
#include "edidfile.h"
#include "mybuttongroup.h"
#include "myxmlmanager.h"
#include "portaccess.h"
#include "regularfile.h"
#include "replyreader.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>

namespace {

const int pollIntervalMs = 2000;
const int answerWaitMs = 5000;      // 50 checks of 100 ms for the prompt
const int availabilityChecks = 30;  // of 100 ms, before a device-list refresh
const int commandBusyChecks = 10;   // of 100 ms, before a command gives up on a busy link
const int statusClearMs = 2000;
const int reconnectSeries = 120;    // of three opens, one second apart

const QString openFailedMessage =
    QStringLiteral("Failed to open serial port. Try disconnect power and connect the unit.");
const QString errorOccured = QStringLiteral("Error occured!");
const QString settingUpdated = QStringLiteral("Setting updated.");
const QString fileSelectionError = QStringLiteral("File Selection Error");

QStringList splitterModels()
{
    return {MODEL_FARRUND, MODEL_HARLISK, MODEL_JORVALE};
}

bool startsWithModel(const QString& description)
{
    for (const QString& model : splitterModels())
        if (description.startsWith(model))
            return true;
    return false;
}

bool containsModel(const QString& description)
{
    for (const QString& model : splitterModels())
        if (description.contains(model))
            return true;
    return false;
}

// An index the unit reports: a decimal number within [0, size) whose list entry is a choice.
int checkedIndex(const QString& word, const QStringList& choices)
{
    bool ok = false;
    const int value = word.toInt(&ok, 10);
    if (!ok || value < 0 || value >= choices.size() || choices[value].isEmpty())
        return -1;
    return value;
}

bool answerNames(const QStringList& words, const QString& keyword)
{
    for (const QString& word : words)
        if (word.contains(keyword))
            return true;
    return false;
}

QString wordsText(const QStringList& words)
{
    QString text;
    for (const QString& word : words)
        text += word + QLatin1Char(' ');
    return text;
}

// The version a firmware file name carries: each run of digits, with points inside it removed
// ("farrund_v1.2.3.bin" and "farrund_123.bin" both carry "123").
QStringList versionsInFileName(const QString& fileName)
{
    static const QRegularExpression runs(QStringLiteral("\\d+(?:\\.\\d+)*"));
    QStringList found;
    auto it = runs.globalMatch(QFileInfo(fileName).completeBaseName());
    while (it.hasNext())
        found << it.next().captured(0).remove(QLatin1Char('.'));
    return found;
}

} // namespace

bool Lunmora::Answer::refused() const
{
    const QString lower = text.toLower();
    return lower.contains(QLatin1String("wrong")) || lower.contains(QLatin1String("invalid"));
}

QString Lunmora::answerText(const QString& received, const QString& command)
{
    const int echo = command.isEmpty() ? -1 : received.indexOf(command);
    const int lineFeed = received.indexOf(QLatin1Char('\n'), echo < 0 ? 0 : echo + command.size());
    QString text = lineFeed < 0 ? QString() : received.mid(lineFeed + 1);
    text.remove(QLatin1Char('>'));
    return text.trimmed();
}

Lunmora::Lunmora(Ui_MainUI* ui)
    : Lunmora(ui, NoSetup())
{
    init();
}

Lunmora::Lunmora(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

Lunmora::~Lunmora()
{
    delete firmwareFile;
}

void Lunmora::init()
{
    serialPort = new QSerialPort(this);
    availability = AVAILABLE;
    pageState = 0;
    pollingEnabled = true;
    firstPoll = true;
    deviceCount = 0;
    checkDeviceCount();

    deviceTimer = new QTimer(this);
    connect(deviceTimer, &QTimer::timeout, this, &Lunmora::checkDeviceCount);
    deviceTimer->start(TimeScale::ms(pollIntervalMs));

    connect(ui->ConfiguratorTabs, SIGNAL(currentChanged(int)), this, SLOT(tabChanged(int)));

    errorPalette.setColor(QPalette::WindowText, QColor(255, 70, 50));
    normalPalette.setColor(QPalette::WindowText, Qt::green);
    busyPalette.setColor(QPalette::WindowText, QColor(0, 220, 255));

    inputHdcpGroup = new MyButtonGroup(INPUT_HDCP_CHOICES, ui->inputHdcpFrame, QStringLiteral("#SET_INPUT_HDCP"), this);
    inputHdcpGroup->createButtons();
    connect(inputHdcpGroup, &MyButtonGroup::sendCommand, this, &Lunmora::handleCommand);
    connect(ui->lunmoraFactoryReset, &QPushButton::clicked, this, &Lunmora::factoryReset);
    connect(ui->lunmorarefreshHDCP, &QPushButton::clicked, this, &Lunmora::refreshHDCP);
    connect(ui->lunmorarefreshStatus, &QPushButton::clicked, this, &Lunmora::refreshStatus);
}

int Lunmora::outputCountOfType(int type)
{
    switch (type) {
    case 8: return 2;
    case 9: return 4;
    case 10: return 8;
    default: return 0;
    }
}

// ---- Discovery and poll -------------------------------------------------------------------

void Lunmora::findDevices()
{
    if (pageBusy)
        return;
    deviceList.clear();
    bool selectedSeen = false;
    for (const SerialPortEntry& port : SerialPortLister::availablePorts()) {
        if (!startsWithModel(port.description))
            continue;
        Device device = deviceOnPort(port);
        const QStringList models = splitterModels();
        for (int i = 0; i < models.size(); ++i) {
            if (port.description.contains(models[i])) {
                device.type = 8 + i;
                device.name = models[i];
                break;
            }
        }
        deviceList.append(device);
        if (device.portName == currentDevice.portName && device.name == currentDevice.name)
            selectedSeen = true;
    }
    if (!selectedSeen)
        pageState = 0;
}

QList<Device> Lunmora::updateDeviceList()
{
    int checks = 0;
    while (availability != AVAILABLE && checks < availabilityChecks) {
        delay(100);
        ++checks;
    }
    if (checks < availabilityChecks)
        findDevices();
    ui->statusBar->clearMessage();
    if (deviceTimer)
        deviceTimer->start(TimeScale::ms(pollIntervalMs));
    return deviceList;
}

void Lunmora::checkDeviceCount()
{
    if (pageBusy || !pollingEnabled)
        return;
    const QList<SerialPortEntry> ports = SerialPortLister::availablePorts();
    int count = 0;
    for (const SerialPortEntry& port : ports)
        if (startsWithModel(port.description))
            ++count;
    if (firstPoll) {
        deviceCount = count;
        firstPoll = false;
    } else if (count != deviceCount) {
        deviceCount = count;
        if (deviceTimer)
            deviceTimer->stop();
        qDebug() << "refreshImmediately!!";
        emit refreshImmediately();
    }
    for (const SerialPortEntry& port : ports) {
        if (!containsModel(port.description))
            continue;
        bool known = false;
        for (const Device& device : deviceList) {
            if (device.manufacturer == port.manufacturer && device.portName == port.portName
                && device.productId == port.productId && device.vendorId == port.vendorId) {
                known = true;
                break;
            }
        }
        if (!known) {
            qDebug() << "cant find device -> refresh";
            emit refreshImmediately();
            break;
        }
    }
}

void Lunmora::setPollingEnabled(bool enabled)
{
    pollingEnabled = enabled;
}

void Lunmora::deactivate()
{
    closePort();
}

// ---- Link -----------------------------------------------------------------------------------

bool Lunmora::openPort()
{
    if (serialPort->isOpen())
        serialPort->close();
    serialPort->setPortName(currentDevice.portName);
    const bool opened = !currentDevice.portName.isEmpty() && serialPort->open(QIODevice::ReadWrite);
    qDebug() << (opened ? "port opened" : "CANT OPEN PORT");
    return opened;
}

void Lunmora::closePort()
{
    if (serialPort && serialPort->isOpen())
        serialPort->close();
}

Lunmora::Answer Lunmora::exchange(const QByteArray& line)
{
    // The echo is taken apart here, with whatever the unit printed before it.
    ReplyRules rules = ReplyRules::serial();
    rules.dropEcho = false;
    ReplyReader reader(serialPort, rules);
    QByteArray heard;
    reader.setTap([&heard](const QByteArray& bytes) { heard += bytes; });
    ReplyWait wait;
    wait.waitMs = answerWaitMs;
    // Without the prompt the text received within the wait is the answer.
    const ReplyResult result = reader.exchange(line, wait);
    rxBuffer += heard;

    Answer answer;
    answer.heard = !heard.isEmpty();
    const QByteArray command = line.endsWith('\r') ? line.left(line.size() - 1) : line;
    answer.text = answerText(QString::fromLatin1(heard), QString::fromLatin1(command));
    answer.words = answer.text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (result.status == ReplyResult::Status::LinkClosed)
        closePort();
    return answer;
}

bool Lunmora::sendCommand(const QString& cmd, const QString& param1, const QString& param2, int wait,
                          bool openFirst, bool closeAfter)
{
    Q_UNUSED(wait)
    reply.clear();
    lastAnswer = Answer();
    lastLineWritten = false;
    // One exchange at a time: a click while a page reads waits for it, briefly.
    for (int i = 0; i < commandBusyChecks && availability != AVAILABLE; ++i)
        delay(100);
    if (availability != AVAILABLE) {
        showStatus(QStringLiteral("Command failed."), errorPalette);
        return false;
    }
    if (openFirst && !openPort()) {
        showStatus(PortAccess::explained(openFailedMessage, *serialPort), errorPalette);
        return false;
    }
    if (!serialPort->isOpen()) {
        showStatus(openFailedMessage, errorPalette);
        return false;
    }
    availability = OCCUPIED;
    QString line;
    if (param1.isEmpty() && param2.isEmpty())
        line = QStringLiteral("%1\r").arg(cmd);
    else if (param1.isEmpty())
        line = QStringLiteral("%1 %2\r").arg(cmd, param2);
    else if (param2.isEmpty())
        line = QStringLiteral("%1 %2\r").arg(cmd, param1);
    else
        line = QStringLiteral("%1 %2 %3\r").arg(cmd, param1, param2);
    lastLineWritten = true;
    lastAnswer = exchange(line.toUtf8());
    reply = lastAnswer.text;
    availability = AVAILABLE;
    if (closeAfter)
        closePort();
    return true;
}

bool Lunmora::sendCommand(const QString& cmd, const QString& param1, const QString& param2, int wait)
{
    return sendCommand(cmd, param1, param2, wait, true, false);
}

void Lunmora::setAvailable()
{
    closePort();
    availability = AVAILABLE;
    pageBusy = false;
    ui->ConfiguratorTabs->setEnabled(true);
    ui->tabWidget->setEnabled(true);
    ui->productCombobox->setEnabled(true);
}

void Lunmora::beginPageOperation()
{
    pageBusy = true;
    ui->ConfiguratorTabs->setEnabled(false);
}

void Lunmora::showStatus(const QString& text, const QPalette& palette, int clearAfterMs)
{
    ui->statusBar->setPalette(palette);
    ui->statusBar->showMessage(text, clearAfterMs > 0 ? TimeScale::ms(clearAfterMs) : 0);
}

void Lunmora::errorOccurred()
{
    showStatus(errorOccured, errorPalette);
    setAvailable();
}

// ---- Settings ---------------------------------------------------------------------------------

void Lunmora::handleCommandWait(QString cmd, QString param1, QString param2, int wait)
{
    qDebug() << "handleCommand " << cmd << param1 << param2;
    sendCommand(cmd, param1, param2, wait, true, true);
}

void Lunmora::handleCommand(QString cmd, QString param)
{
    handleCommandWait(cmd, param, QString(), 500);
    if (!lastLineWritten)
        return; // the reason is shown already
    // Units word their answers differently: a setting is taken unless the unit said nothing or
    // refused it. An output's HDCP setting is confirmed by name.
    bool updated = lastAnswer.taken();
    if (cmd.contains(QLatin1String("SET_OUTPUT_HDCP")))
        updated = updated && answerNames(lastAnswer.words, QStringLiteral("OUTPUT_HDCP"));
    if (updated)
        showStatus(settingUpdated, normalPalette, statusClearMs);
    else
        showStatus(errorOccured, errorPalette);
}

void Lunmora::showResult()
{
    reply = reply.trimmed();
    if (reply.isEmpty())
        return;
    if (reply.toLower().contains(QLatin1String("wrong")))
        showStatus(QStringLiteral("Command failed."), errorPalette);
    else
        showStatus(reply, normalPalette);
}

void Lunmora::clearStatus()
{
    ui->statusBar->clearMessage();
}

void Lunmora::factoryReset()
{
    showStatus(QStringLiteral("Resetting. Please wait..."), busyPalette);
    handleCommandWait(QStringLiteral("#FACTORY_RESET"), QString(), QString(), 500);
    const bool done = lastLineWritten && lastAnswer.taken();
    setAvailable();
    if (done)
        showStatus(QStringLiteral("Settings reset successfully."), normalPalette, statusClearMs);
    else
        showStatus(errorOccured, errorPalette);
}

// ---- Page set-up ------------------------------------------------------------------------------

void Lunmora::buildOutputControls(int outputs)
{
    if (outputs == 0)
        return;
    QWidget* rows[] = {ui->output3, ui->output4, ui->output5, ui->output6, ui->output7, ui->output8};
    for (int k = 3; k <= 8; ++k)
        rows[k - 3]->setVisible(k <= outputs);

    ui->copyFromDropdown->clear();
    for (int k = 1; k <= outputs; ++k)
        ui->copyFromDropdown->addItem(QStringLiteral("Output %1").arg(k));

    QLabel* labels[] = {ui->out3hdcp, ui->out4hdcp, ui->out5hdcp, ui->out6hdcp, ui->out7hdcp, ui->out8hdcp};
    for (MyButtonGroup*& group : outputHdcpGroups) {
        if (group) {
            group->clearButtons();
            delete group;
            group = nullptr;
        }
    }
    for (QLabel* label : labels)
        label->clear();

    QWidget* frames[] = {ui->outputHdcpFrame,   ui->outputHdcpFrame_2, ui->outputHdcpFrame_3, ui->outputHdcpFrame_4,
                         ui->outputHdcpFrame_5, ui->outputHdcpFrame_6, ui->outputHdcpFrame_7, ui->outputHdcpFrame_8};
    for (int k = 1; k <= outputs; ++k) {
        auto* group = new MyButtonGroup(OUTPUT_HDCP_CHOICES, frames[k - 1], QStringLiteral("#SET_OUTPUT_HDCP %1").arg(k), this);
        group->createButtons();
        connect(group, &MyButtonGroup::sendCommand, this, &Lunmora::handleCommand);
        outputHdcpGroups[k - 1] = group;
        if (k >= 3)
            labels[k - 3]->setText(QString::number(k));
    }

    if (edidModeGroup) {
        edidModeGroup->clearButtons();
        delete edidModeGroup;
    }
    edidModeGroup = new MyButtonGroup(LUNMORA_EDID_MODE_CHOICES, ui->scalerEDIDFrame, QStringLiteral("#SET_EDID_MODE"), this);
    edidModeGroup->createButtons();
    connect(edidModeGroup, &MyButtonGroup::sendCommand, this, &Lunmora::handleCommand);
}

void Lunmora::selectedProductChanged(Device device)
{
    qDebug() << "selectedProductChanged";
    currentDevice = device;
    buildOutputControls(outputCountOfType(device.type));
    rxBuffer.clear();
    tabChanged(ui->ConfiguratorTabs->currentIndex());
    qDebug() << device.name;
    ui->selectEDIDFromDevice->setEnabled(true);
    ui->scalerEDIDBox->setEnabled(true);
    enableEdidControls();
    ui->label_93->hide();
    // The EDID box is shared with the other families' pages: exactly one receiver each.
    disconnect(ui->copyButton, &QPushButton::clicked, nullptr, nullptr);
    connect(ui->copyButton, &QPushButton::clicked, this, &Lunmora::copyEdid);
    disconnect(ui->downloadButton, &QPushButton::clicked, nullptr, nullptr);
    connect(ui->downloadButton, &QPushButton::clicked, this, &Lunmora::downloadEdid);
    ui->scalerEDIDBox->setEnabled(true);
    qDebug() << "device=====" << device.type;
}

void Lunmora::previewProductControls(QString name)
{
    qDebug() << "previewProductControls" << name;
    int outputs = 0;
    if (name == MODEL_FARRUND)
        outputs = 2;
    else if (name == MODEL_HARLISK)
        outputs = 4;
    else if (name == MODEL_JORVALE)
        outputs = 8;
    buildOutputControls(outputs);
    ui->label_93->hide();
}

void Lunmora::enableEdidControls()
{
    ui->selectEDIDFromDevice->clear();
    ui->selectEDIDFromDevice->addItem(QStringLiteral("Select EDID From Device"));
    for (const QString& preset : LUNMORA_EDID_MODE_CHOICES)
        if (!preset.isEmpty())
            ui->selectEDIDFromDevice->addItem(preset);
    for (int k = 1; k <= outputCountOfType(currentDevice.type); ++k)
        ui->selectEDIDFromDevice->addItem(QStringLiteral("Output %1").arg(k));
    ui->selectEDIDFromDevice->setCurrentIndex(0);
    ui->sorvaneBox->setEnabled(true);
    for (QComboBox* box : {ui->uploadToDropdown, ui->copyToDropdown}) {
        box->clear();
        box->addItem(QStringLiteral("Custom - User"));
    }
    ui->uploadButton->setEnabled(false);
    ui->uploadBrowse->setEnabled(true);
    ui->uploadToDropdown->setEnabled(true);
    ui->copyFromDropdown->setEnabled(true);
    ui->scalerEDIDFrame->setEnabled(true);
    ui->copyToDropdown->setEnabled(true);
    ui->copyButton->setEnabled(true);
}

void Lunmora::tabChanged(int index)
{
    ui->statusBar->clearMessage();
    const QString product = ui->productCombobox->currentText();
    qDebug() << "prod" << product;
    if (!containsModel(product))
        return;
    if (pageState == 0) {
        qDebug() << "device DISCONNECTED or BOOTLOADER";
        if (index == 3) {
            ui->scalerEDIDFrame->setMinimumHeight(170);
            ui->scalerEDIDFrame->setMaximumHeight(170);
        }
        return;
    }
    switch (index) {
    case 0: refreshHDCP(); break;
    case 1: refreshStatus(); break;
    case 3:
        qDebug() << "setMinimumHeight";
        ui->scalerEDIDFrame->setMinimumHeight(170);
        ui->scalerEDIDFrame->setMaximumHeight(170);
        refreshEDID();
        break;
    case 4: refreshFWPage(); break;
    default: break;
    }
}

void Lunmora::setTabState(int state)
{
    if (state == pageState)
        return;
    if (state == 1)
        ui->ConfiguratorTabs->tabBar()->setEnabled(true);
    pageState = state;
}

// ---- HDCP, Status ----------------------------------------------------------------------------

void Lunmora::refreshHDCP()
{
    beginPageOperation();
    sendCommand(QStringLiteral("#GET_INPUT_HDCP"), QString(), QString(), 500);
    const int input = lastAnswer.words.size() == 2 ? checkedIndex(lastAnswer.words[1], INPUT_HDCP_CHOICES) : -1;
    if (lastAnswer.refused() || input < 0) {
        errorOccurred();
        return;
    }
    inputHdcpGroup->setCheckedByText(INPUT_HDCP_CHOICES[input]);
    const int outputs = outputCountOfType(currentDevice.type);
    for (int k = 1; k <= outputs; ++k) {
        if (!sendCommand(QStringLiteral("#GET_OUTPUT_HDCP"), QString::number(k), QString(), 500, false, false))
            break;
        if (lastAnswer.words.size() != 3 || !outputHdcpGroups[k - 1])
            continue;
        const int value = checkedIndex(lastAnswer.words[2], OUTPUT_HDCP_CHOICES);
        if (value >= 0)
            outputHdcpGroups[k - 1]->setCheckedByText(OUTPUT_HDCP_CHOICES[value]);
    }
    setAvailable();
}

void Lunmora::refreshStatus()
{
    beginPageOperation();
    QLineEdit* inputs[] = {ui->activeSignalLineEdit, ui->hDCPLineEdit, ui->hPDLineEdit, ui->videoModeLineEdit};
    QLineEdit* hpd[] = {ui->hPDLineEdit_1, ui->hPDLineEdit_2, ui->hPDLineEdit_3, ui->hPDLineEdit_4,
                        ui->hPDLineEdit_5, ui->hPDLineEdit_6, ui->hPDLineEdit_7, ui->hPDLineEdit_8};
    QLineEdit* hdcp[] = {ui->hDCPLineEdit_1, ui->hDCPLineEdit_2, ui->hDCPLineEdit_3, ui->hDCPLineEdit_4,
                         ui->hDCPLineEdit_5, ui->hDCPLineEdit_6, ui->hDCPLineEdit_7, ui->hDCPLineEdit_8};
    QLineEdit* rsense[] = {ui->rSENSELineEdit_1, ui->rSENSELineEdit_2, ui->rSENSELineEdit_3, ui->rSENSELineEdit_4,
                           ui->rSENSELineEdit_5, ui->rSENSELineEdit_6, ui->rSENSELineEdit_7, ui->rSENSELineEdit_8};
    for (QLineEdit* field : inputs)
        field->clear();
    for (int k = 0; k < 8; ++k) {
        hpd[k]->clear();
        hdcp[k]->clear();
        rsense[k]->clear();
    }

    const QString dash = QString(QChar(0x2013));
    const QHash<QString, QString> lowHigh = {{QStringLiteral("L"), QStringLiteral("Low")}, {QStringLiteral("H"), QStringLiteral("High")}};
    const struct {
        const char* query;
        QLineEdit* field;
        QHash<QString, QString> codes;
    } inputQueries[] = {
        {"#GETS_INPUT_SIGNAL", ui->activeSignalLineEdit, {{QStringLiteral("N"), QStringLiteral("No")}, {QStringLiteral("Y"), QStringLiteral("Yes")}}},
        {"#GETS_INPUT_HDCP", ui->hDCPLineEdit,
         {{QStringLiteral("1"), QStringLiteral("Encrypted ") + dash + QStringLiteral(" 1.4")},
          {QStringLiteral("2"), QStringLiteral("Encrypted ") + dash + QStringLiteral(" 2.2")},
          {QStringLiteral("U"), QStringLiteral("Unencrypted")},
          {QStringLiteral("F"), QStringLiteral("FAIL")}}},
        {"#GETS_INPUT_HPD", ui->hPDLineEdit, lowHigh},
        {"#GETS_INPUT_MODE", ui->videoModeLineEdit, {{QStringLiteral("D"), QStringLiteral("DVI")}, {QStringLiteral("H"), QStringLiteral("HDMI")}}},
    };
    bool first = true;
    bool linked = true;
    for (const auto& q : inputQueries) {
        linked = sendCommand(QString::fromLatin1(q.query), QString(), QString(), 500, first, false);
        first = false;
        if (!linked)
            break;
        if (!lastAnswer.refused() && lastAnswer.words.size() == 2)
            q.field->setText(q.codes.value(lastAnswer.words[1]));
    }

    const int n = outputCountOfType(currentDevice.type);
    const struct {
        const char* query;
        int extraWords; // before the first output's code
        QLineEdit** fields;
        bool hdcpCodes;
    } outputQueries[] = {
        {"#GETS_OUTPUT_HPD 0", 2, hpd, false},
        {"#GETS_OUTPUT_HDCP 0", 3, hdcp, true},
        {"#GETS_OUTPUT_RSENSE 0", 2, rsense, false},
    };
    for (const auto& q : outputQueries) {
        if (!linked || n == 0)
            break;
        linked = sendCommand(QString::fromLatin1(q.query), QString(), QString(), 500, false, false);
        if (!linked || lastAnswer.refused() || lastAnswer.words.size() != n + q.extraWords)
            continue;
        for (int k = 1; k <= n; ++k) {
            const QString code = lastAnswer.words[k + q.extraWords - 1];
            QString text;
            if (q.hdcpCodes)
                text = code == QLatin1String("A") ? QStringLiteral("Active")
                     : code == QLatin1String("U") ? QStringLiteral("Unencrypted")
                                                   : QStringLiteral("FAIL");
            else
                text = lowHigh.value(code);
            q.fields[k - 1]->setText(text);
        }
    }
    setAvailable();
}

// ---- EDIDs -------------------------------------------------------------------------------------

QString Lunmora::edidReadCommand(int index) const
{
    if (index <= 6)
        return QStringLiteral("#GET_PRESET_EDID %1").arg(qMax(index, 0));
    if (index == 7)
        return QStringLiteral("#GET_USER_EDID");
    if (index == 8)
        return QStringLiteral("#GET_EXT_EDID");
    return QStringLiteral("#GET_DS_EDID %1").arg(index - 8);
}

QByteArray Lunmora::readSelectedEdid(QString* problem)
{
    sendCommand(edidReadCommand(ui->selectEDIDFromDevice->currentIndex()), QString(), QString(), 500);
    if (lastAnswer.refused() || lastAnswer.words.size() != 1) {
        *problem = QStringLiteral("Error occured! ") + wordsText(lastAnswer.words);
        return {};
    }
    qDebug() << lastAnswer.words[0] << " size: " << lastAnswer.words[0].size();
    const EdidHexBlock block = decodeEdidHexBlock(lastAnswer.words[0]);
    *problem = block.ok() ? edidTransferError(block.bytes) : block.error;
    if (!problem->isEmpty())
        return {};
    return block.bytes;
}

QByteArray Lunmora::getEDID()
{
    beginPageOperation();
    QString problem;
    const QByteArray bytes = readSelectedEdid(&problem);
    setAvailable();
    if (!problem.isEmpty())
        showStatus(problem, errorPalette);
    return bytes;
}

void Lunmora::downloadEdid()
{
    const QString fileName = Dialogs::getSaveFileName(this, QStringLiteral("Select File to Save As"),
                                                      myXMLManager::getLastSavedDirectory(), QStringLiteral("Files (*.bin)"));
    myXMLManager::setLastSavedDirectory(fileName);
    if (fileName.isEmpty())
        return;
    beginPageOperation();
    showStatus(QStringLiteral("Downloading..."), busyPalette);
    QString problem;
    const QByteArray bytes = readSelectedEdid(&problem);
    setAvailable();
    if (problem.isEmpty() && !writeEdidFile(fileName, bytes, &problem) && problem.isEmpty())
        problem = errorOccured;
    if (!problem.isEmpty()) {
        showStatus(problem, errorPalette);
        return;
    }
    qDebug() << "byteswritten = " << bytes.size();
    showStatus(QStringLiteral("Download Complete."), normalPalette, statusClearMs);
}

void Lunmora::copyEdid()
{
    showStatus(QStringLiteral("Copying..."), busyPalette);
    beginPageOperation();
    sendCommand(QStringLiteral("#SET_EDID_COPY"), QString::number(ui->copyFromDropdown->currentIndex() + 1), QString(), 500);
    const bool copied = !lastAnswer.refused() && lastAnswer.words.size() == 1
                     && lastAnswer.words[0].contains(QLatin1String("COMPLETE"));
    const QStringList words = lastAnswer.words;
    setAvailable();
    if (copied)
        showStatus(QStringLiteral("Copy completed."), normalPalette, statusClearMs);
    else
        showStatus(QStringLiteral("Copy failed! ") + wordsText(words), errorPalette);
}

void Lunmora::sendEDID(QString fileName)
{
    ui->uploadButton->setEnabled(false);
    qDebug() << "upload Edid for scaler\n";
    rxBuffer.clear();
    auto refuse = [this](const QString& text) {
        Dialogs::critical(ui->centralFrame, fileSelectionError, text);
        ui->uploadButton->setEnabled(true);
    };
    if (!QFileInfo::exists(fileName)) {
        refuse(QStringLiteral("Please select a valid file to upload."));
        return;
    }
    const RegularFileRead file = readRegularFile(fileName, 256);
    if (file.status == RegularFileRead::TooLarge) {
        refuse(QStringLiteral("Illegal EDID file! file size too larger."));
        return;
    }
    if (!file.ok()) {
        refuse(QStringLiteral("Can't open file!"));
        return;
    }
    const QString problem = edidTransferError(file.bytes);
    if (!problem.isEmpty()) {
        refuse(problem);
        return;
    }
    sendCommand(QStringLiteral("#SEND_USER_EDID"), QString::fromLatin1(file.bytes.toHex()), QString(), 500);
    const bool taken = lastAnswer.taken();
    setAvailable();
    if (taken)
        showStatus(QStringLiteral("Done."), normalPalette, statusClearMs);
    else
        showStatus(errorOccured, errorPalette);
}

void Lunmora::refreshEDID()
{
    beginPageOperation();
    qDebug() << "setMinimumHeight";
    ui->scalerEDIDFrame->setMinimumHeight(170);
    if (sendCommand(QStringLiteral("#GET_EDID_MODE"), QString(), QString(), 500)) {
        if (!lastAnswer.refused() && lastAnswer.words.size() == 3 && edidModeGroup) {
            const int mode = checkedIndex(lastAnswer.words[2], LUNMORA_EDID_MODE_CHOICES);
            if (mode >= 0)
                edidModeGroup->setCheckedByText(LUNMORA_EDID_MODE_CHOICES[mode]);
        }
        queryFirmwareVersion(false);
    }
    setAvailable();
}

// ---- Firmware page ----------------------------------------------------------------------------

QString Lunmora::queryFirmwareVersion(bool openFirst)
{
    if (!sendCommand(QStringLiteral("#GET_FW"), QString(), QString(), 500, openFirst, false))
        return {};
    if (lastAnswer.refused() || lastAnswer.words.size() != 2)
        return {};
    const QString version = lastAnswer.words[1];
    ui->versionInfo->setText(QStringLiteral("FW ") + version);
    ui->updateCurrentFirmware->setText(version);
    emit setFirmwareColorSignal();
    return version;
}

void Lunmora::refreshFWPage()
{
    qDebug() << "refreshFWPage";
    beginPageOperation();
    queryFirmwareVersion(true);
    setAvailable();
}

bool Lunmora::tryOpenPortOnce()
{
    delay(1000);
    qDebug() << "check port";
    if (serialPort->isOpen())
        serialPort->close();
    else
        qDebug() << "port closed";
    serialPort->setPortName(currentDevice.portName);
    const bool opened = serialPort->open(QIODevice::ReadWrite);
    if (opened)
        qDebug() << "opened port!!";
    return opened;
}

void Lunmora::finishFirmwareUpdate(QString fileName)
{
    showStatus(QStringLiteral("Trying to open port."), busyPalette);
    auto series = [this] {
        int opens = 0;
        for (int attempt = 0; attempt < 3; ++attempt)
            if (tryOpenPortOnce())
                ++opens;
        return opens;
    };
    bool back = series() == 3;
    if (!back) {
        Dialogs::information(ui->centralFrame, QStringLiteral("Status"),
                             QStringLiteral("Update complete. Please pull usb cable and reconnect."));
        for (int i = 0; i < reconnectSeries && !back; ++i) {
            const int opens = series();
            qDebug() << "opened" << opens;
            back = opens == 3;
        }
    }
    ui->statusBar->clearMessage();
    if (!back) {
        closePort();
        showStatus(PortAccess::explained(QStringLiteral("Failed to connect device."), *serialPort), errorPalette);
        return;
    }

    // Only a version the unit reports now counts; the text shown before the upload does not.
    beginPageOperation();
    const QString version = queryFirmwareVersion(true);
    setAvailable();
    static const QRegularExpression dotted(QStringLiteral("^\\d+(\\.\\d+)*$"));
    const QStringList named = versionsInFileName(fileName);
    if (!dotted.match(version).hasMatch() || named.isEmpty()) {
        Dialogs::warning(ui->centralFrame, QStringLiteral("STATUS"),
                         QStringLiteral("The firmware upload has ended, but the new firmware version could not be "
                                        "verified. Please power cycle the unit and check its version."));
        return;
    }
    if (named.contains(QString(version).remove(QLatin1Char('.')))) {
        ui->updateBar->setMaximum(100);
        ui->updateBar->setValue(100);
        Dialogs::information(ui->centralFrame, QStringLiteral("STATUS"), QStringLiteral("Firmware update finished successfully!"));
        ui->statusBar->setPalette(normalPalette);
    } else {
        Dialogs::information(ui->centralFrame, QStringLiteral("ERROR"),
                             QStringLiteral("Firmware update Failed! Please power cycle the unit and try again."));
    }
}

void Lunmora::parseFirmwareVersion()
{
    const QStringList parts = reply.trimmed().split(QStringLiteral("FIRMWARE VERSION IS V"));
    if (parts.size() == 2) {
        ui->versionInfo->setText(reply);
        ui->updateCurrentFirmware->setText(parts[1]);
        emit setFirmwareColorSignal();
    }
    disconnect(this, &Lunmora::commandComplete, nullptr, nullptr);
}

void Lunmora::firmwareBrowse()
{
    const QString fileName = Dialogs::getOpenFileName(this, QStringLiteral("Select File"), QString(), QStringLiteral("Files (*.bin)"));
    if (fileName.isEmpty())
        return;
    delete firmwareFile;
    firmwareFile = new QFile(fileName);
    if (!firmwareFile->open(QIODevice::ReadOnly))
        Dialogs::critical(this, QStringLiteral("I/O Error"), QStringLiteral("Cannot open file for reading."));
}
