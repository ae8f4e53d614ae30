// The HDBaseT "Status" page: construction, the units among the serial ports, taking a selected
// unit over, the monitor stream and its start and stop, the help text. The plots, alerts and the
// event log are in plots.cpp; the stream's grammar and formulas in hdbtmonitor.*.
#include "hdbaset.h"

#include "constants.h"
#include "dialogs.h"
#include "myxmlmanager.h"
#include "pinout_selector.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

namespace {

const int pollIntervalMs = 2500;

struct UnitModel {
    const QString* prefix;
    const QString* name;
};

// In the order the names are looked up.
QList<UnitModel> unitModels()
{
    return {{&ID_LOMARET_R, &MODEL_LOMARET_R}, {&ID_LOMARET_S, &MODEL_LOMARET_S},
            {&ID_DUNMARL_R, &MODEL_DUNMARL_R}, {&ID_DUNMARL_S, &MODEL_DUNMARL_S},
            {&ID_OSRINTH_R, &MODEL_OSRINTH_R}, {&ID_OSRINTH_S, &MODEL_OSRINTH_S}};
}

QString stripped(QString description)
{
    return description.remove(QLatin1Char('-')).remove(QLatin1Char(' '));
}

bool isUnitPort(const SerialPortEntry& port)
{
    const QString description = stripped(port.description);
    for (const UnitModel& model : unitModels())
        if (description.startsWith(*model.prefix))
            return true;
    return false;
}

const QString helpText = QStringLiteral(
    "This monitoring tab has been designed to give the installer an indication of cable or installation issues "
    "that may be present in your HDBaseT\u2122 2.0 setup. Information displayed here can help troubleshoot problems "
    "that may result in a loss of picture or quality. While a video signal may be displayed while marginal values "
    "are being recorded here, intermittent issues, such as EMI interference, can be introduced which may cause a "
    "momentary loss of signal. The values displayed below are general guidelines to ensure that a proper signal is "
    "being both transmitted and received\n\n"
    "The Max Error Rate graph (Transmitter Only) will display the general quality of the signal on the cable being "
    "used. The lower the value the better. This is an excellent indicator of general cable quality. If this signal "
    "is constantly at 100%, there may be an issue with the cable and replacement using a higher quality cable may "
    "be necessary. If using UTP (unshielded twisted pair) cabling, using a high quality STP (shielded twisted pair) "
    "may help alleviate issues. If the value of the signal hovers above 80% over time, the link is considered "
    "marginal. Although an output signal may be present, the signal may be susceptible to interference that cannot "
    "be compensated for and a signal loss may occur. Values below 80% are considered acceptable, and while "
    "momentary spikes above the 100% mark may be detected, and average signal that lies below the 80% level is "
    "considered good. Values above 80% are recorded.\n\n"
    "Link Quality (Transmitter and Receiver, however the Receiver side is considered more important for overall "
    "Link Quality evaluation) is displayed as pairs of signals that directly relate to the pair of cables present in "
    "the link cable. The higher the value the better. This is an excellent indicator of issues that may be present "
    "with a particular pair. Bad termination of cabling may be the cause of issues when a particular pair is showing "
    "marginal performance and is constantly dropping below the 38% value. If a particular pair is deviating from all "
    "of the others, a re-termination of the cable-end may solve the problem. If all pairs are displaying performance "
    "below 38% over time, this is indicative of a bad cable and should be replaced with a higher quality cable. "
    "Re-termination of both ends should be considered first if in-field termination was initially performed during "
    "installation. Values above 38% are considered acceptable, although a value closer to 100% is preferred. Values "
    "below 38% are recorded.\n\n"
    "The graphs this tab can be used together to determine the overall quality of the link cable. Environmental "
    "forces may also cause momentary spikes in the values, but every effort to compensate for these forces has been "
    "taken in the product design, and ensuring that a high quality link cable with proper termination is the best "
    "solution to avoiding potential issues. In the event that a high quality cable is being used, and proper cable "
    "termination has been verified, environmental issues that cause values to be skewed may be the cause of signal "
    "issues. Inordinate amounts of interference can skew the results of these graphs, and the cable\u2019s placement "
    "in an installation may need to be moved to alleviate these issues.");

} // namespace

HDBaseT::HDBaseT(Ui_MainUI* ui, QSerialPort* port)
    : HDBaseT(ui, port, NoSetup())
{
    init();
}

HDBaseT::HDBaseT(Ui_MainUI* ui, QSerialPort* port, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
    , port(port)
{
    errorPalette.setColor(QPalette::WindowText, QColor(255, 70, 50));
    successPalette.setColor(QPalette::WindowText, Qt::green);
    channelColors[0] = QColor(249, 149, 35);
    channelColors[1] = QColor(14, 150, 78);
    channelColors[2] = QColor(37, 59, 144);
    channelColors[3] = QColor(138, 94, 57);
}

HDBaseT::~HDBaseT() = default;

void HDBaseT::init()
{
    linkThresholdLine = {0.0, 0.0};
    maxErrThresholdLine = {0.0, 0.0};
    firstCount = true;
    deviceCount = 0;
    alerts.clear();

    deviceTimer = new QTimer(this);
    connect(deviceTimer, &QTimer::timeout, this, &HDBaseT::checkDeviceCount);
    deviceTimer->start(TimeScale::ms(pollIntervalMs));
    statusTimer = new QTimer(this);
    statusTimer->setSingleShot(true);
    connect(statusTimer, &QTimer::timeout, this, &HDBaseT::clearStatus);

    connect(ui->exStatusReset, &QPushButton::clicked, this, &HDBaseT::restartThePlot);
    connect(ui->exStatusClearLog, &QPushButton::clicked, this, &HDBaseT::clearLog);
    connect(ui->exStatusDownloadLog, &QPushButton::clicked, this, &HDBaseT::downloadLog);
    connect(ui->exPinoutButton, &QPushButton::clicked, this, &HDBaseT::executePinoutButton);

    for (QPushButton* button : {ui->channelAHide, ui->channelBHide, ui->channelCHide, ui->channelDHide,
                                ui->channelAHide2, ui->channelBHide2, ui->channelCHide2, ui->channelDHide2})
        connect(button, &QPushButton::clicked, this, &HDBaseT::onHideClicked);
    connect(ui->exStatusInterval, SIGNAL(currentIndexChanged(int)), this, SLOT(onHideClicked()));

    monitoring = false;
    connect(ui->exStatusHelpButton, &QPushButton::clicked, this, &HDBaseT::onHelpClicked);

    const int widths[] = {160, 80, 60, 60, 120};
    for (int column = 0; column < 5; ++column)
        ui->exStatusTable->setColumnWidth(column, widths[column]);

    initPlots();
}

// ---- Units among the serial ports ----------------------------------------------------------

pinout_selector* HDBaseT::pinoutSelector()
{
    // Its form (two large wiring pictures) is a good share of start-up, and few sessions open it.
    if (!pinoutDialog) {
        pinoutDialog = new pinout_selector(ui->centralFrame);
        connect(pinoutDialog, SIGNAL(selectedPinoutChanged(bool)), this, SLOT(staticChartChange(bool)));
    }
    return pinoutDialog;
}

QList<Device> HDBaseT::findDevices()
{
    devices.clear();
    for (const SerialPortEntry& port : SerialPortLister::availablePorts()) {
        if (!isUnitPort(port))
            continue;
        const QString description = stripped(port.description);
        Device device = deviceOnPort(port);
        for (const UnitModel& model : unitModels()) {
            if (description.contains(*model.prefix)) {
                device.name = *model.name;
                break;
            }
        }
        device.type = 7;
        devices.append(device);
    }
    return devices;
}

void HDBaseT::checkDeviceCount()
{
    int count = 0;
    for (const SerialPortEntry& port : SerialPortLister::availablePorts())
        if (isUnitPort(port))
            ++count;
    if (firstCount) {
        deviceCount = count;
        firstCount = false;
    } else if (count != deviceCount) {
        deviceCount = count;
        if (deviceTimer)
            deviceTimer->stop();
        qDebug() << "111 refreshImmediately";
        emit refreshImmediately();
    }
}

QList<Device> HDBaseT::updateDeviceList()
{
    findDevices();
    clearStatus();
    if (deviceTimer)
        deviceTimer->start(TimeScale::ms(pollIntervalMs));
    return devices;
}

void HDBaseT::selectedProductChanged(Device d)
{
    QComboBox* sources = ui->selectEDIDFromDevice;
    for (int i = sources->count() - 1; i >= 0; --i) {
        const QString text = sources->itemText(i);
        if (!text.contains(QLatin1String("Select EDID")) && !text.contains(QLatin1String("Connected Display")))
            sources->removeItem(i);
    }
    ui->uploadToDropdown->clear();
    ui->uploadToDropdown->addItems({QStringLiteral("Local EDID"), QStringLiteral("Bank 1"), QStringLiteral("Bank 2"),
                                    QStringLiteral("Bank 3"), QStringLiteral("Bank 4"), QStringLiteral("Bank 5"),
                                    QStringLiteral("Bank 6")});
    const QStringList extenderSources = {
        QStringLiteral("Extender: Local EDID"), QStringLiteral("Extender: Down Stream"),
        QStringLiteral("Extender: Bank 1"),     QStringLiteral("Extender: Bank 2"),
        QStringLiteral("Extender: Bank 3"),     QStringLiteral("Extender: Bank 4"),
        QStringLiteral("Extender: Bank 5"),     QStringLiteral("Extender: Bank 6")};
    for (int i = 0; i < extenderSources.size(); ++i)
        sources->insertItem(1 + i, extenderSources.at(i));

    selectedDevice = d;
    isReceiver = !d.name.isEmpty() && d.name.endsWith(QLatin1Char('R'));
    parser.setReceiver(isReceiver);
    qDebug() << "selectedDeviceType = " << d.type;
    refreshChannelWidgets();

    ui->ddcFrame->setEnabled(true);
    ui->ddcFrame->show();
    ui->configTabMessage->hide();
    ui->boosterFrame->hide();
    ui->configTabLogo->show();
    sources->insertSeparator(9);
    qDebug() << "hasSixDefaultBanks = " << true;
}

// ---- Monitoring ----------------------------------------------------------------------------

void HDBaseT::startThePlot()
{
    qDebug() << "We are starting a plot.";
    parser.resetPeaks();
    parser.resetStream();
    const bool starting = !monitoring;
    if (starting) {
        myXMLManager::incrementStatistic(myXMLManager::STAT_HDBASET_MONITORING);
        ui->exStatusStart->setText(QStringLiteral("Stop"));
    } else {
        ui->exStatusStart->setText(QStringLiteral("Start"));
    }
    monitoring = starting;
    // Neither the product nor the page may change while the monitor runs.
    ui->selectFunctionFrame->setEnabled(!starting);
    ui->productFrame->setEnabled(!starting);
    ui->ConfiguratorTabs->tabBar()->setEnabled(!starting);
    alerts.clear();
}

void HDBaseT::processMonitorReadyRead(const QByteArray& chunk)
{
    qDebug() << "processMonitorReadyRead " << chunk;
    parser.feed(chunk, [this](HDBaseTMonitorParser::Line line) {
        if (line == HDBaseTMonitorParser::Line::Tmds)
            ui->exTMDSValue->setText(QString::number(parser.sample().tmdsClock) + QStringLiteral(" MHz"));
        else if (line == HDBaseTMonitorParser::Line::CycleClosed)
            addADataPoint();
    });
}

double HDBaseT::mse_formula(double x) const
{
    return HDBaseTMonitorParser::mseFormula(x, isReceiver);
}

double HDBaseT::maxerr_formula(double x) const
{
    return HDBaseTMonitorParser::maxErrFormula(x, parser.sample().tmdsClock);
}

bool HDBaseT::openPort()
{
    if (port->isOpen())
        port->close();
    openedPortName = selectedDevice.portName;
    port->setPortName(openedPortName);
    qDebug() << "current port" << openedPortName;
    return port->open(QIODevice::ReadWrite);
}

void HDBaseT::onHelpClicked()
{
    Dialogs::information(ui->centralFrame, QStringLiteral("How to use this page."), helpText, QMessageBox::Ok);
}

void HDBaseT::clearStatus()
{
    ui->statusBar->clearMessage();
}

void HDBaseT::showStatus(const QPalette& palette, const QString& text, int clearAfterMs)
{
    ui->statusBar->setPalette(palette);
    ui->statusBar->showMessage(text);
    if (statusTimer)
        statusTimer->start(TimeScale::ms(clearAfterMs));
}
