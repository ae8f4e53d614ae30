#include "edidplus.h"
#include "ui_mainui.h"

#include "converter.h"
#include "dialogs.h"
#include "edidfile.h"
#include "edidmanagement.h"
#include "lunmora.h"
#include "scaler.h"
#include "sorvaneinterface.h"
#include "timescale.h"

#include <QComboBox>
#include <QDebug>
#include <QFileInfo>
#include <QTimer>

namespace {
const int kDisplayListInterval = 5000;

bool sameEntries(const QList<EdidEntry>& a, const QList<EdidEntry>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        // The bytes count too: a monitor swapped for another of the same model keeps the name.
        if (a.at(i).name != b.at(i).name || a.at(i).edid != b.at(i).edid)
            return false;
    }
    return true;
}
} // namespace

EdidPlus::EdidPlus(Ui_MainUI* ui, QSerialPort* port)
    : EdidPlus(ui, new SorvaneInterface(ui, &monitorList, port))
{
}

EdidPlus::EdidPlus(Ui_MainUI* ui, SorvaneInterface* sorvane)
    : EdidPlus(ui, sorvane, NoSetup())
{
    m_edidManagement = new EdidManagement(ui, &monitorList);

    m_displayListTimer = new QTimer(this);
    connect(m_displayListTimer, SIGNAL(timeout()), this, SLOT(updateDisplayList()));
    m_displayListTimer->start(TimeScale::ms(kDisplayListInterval));
}

EdidPlus::EdidPlus(Ui_MainUI* ui, SorvaneInterface* sorvane, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
    , m_sorvaneInterface(sorvane)
{
    // The hub hears about the EDID test devices only through the viewer.
    connect(m_sorvaneInterface, SIGNAL(refreshImmediately()), this, SLOT(sendRefreshImmediately()));
    connect(m_sorvaneInterface, SIGNAL(firmwareUpdateEvent(bool)), this, SLOT(sendscalerFirmwareUpdateEvent(bool)));
}

EdidPlus::~EdidPlus()
{
    delete m_edidManagement;
    delete m_sorvaneInterface;
}

SorvaneInterface* EdidPlus::sorvaneInterface() const
{
    return m_sorvaneInterface;
}

EdidManagement* EdidPlus::edidManagement() const
{
    return m_edidManagement;
}

void EdidPlus::forwardIndexA(QTextEdit* text)
{
    if (m_edidManagement)
        m_edidManagement->setTextEdit(text);
}

bool EdidPlus::isSorvaneBusy()
{
    return m_sorvaneInterface->isBusy();
}

bool EdidPlus::setSorvaneFlag(bool enabled)
{
    return m_sorvaneInterface->setSorvaneFlag(enabled);
}

QList<Device> EdidPlus::sorvaneDeviceList()
{
    return m_sorvaneInterface->updateDeviceList();
}

void EdidPlus::selectProduct(Device device)
{
    resetDeviceView();
    m_sorvaneInterface->selectedProductChanged(device);
}

void EdidPlus::setDeviceInfoA(Device device, Scaler* scaler)
{
    m_sorvaneInterface->setDeviceInfoA(device, scaler);
    selectedDevice = device;
    this->scaler = scaler;
}

void EdidPlus::setDeviceInfoB(Device device, Lunmora* lunmora)
{
    m_sorvaneInterface->setDeviceInfoB(device, lunmora);
    selectedDevice = device;
    splitter = lunmora;
}

// Clears what the previously selected EDID test unit put on the page: its version text and the
// sources it added to the device drop-down.
void EdidPlus::resetDeviceView()
{
    ui->sorvaneBox->setEnabled(false);
    ui->versionInfo->clear();
    QComboBox* sources = ui->selectEDIDFromDevice;
    while (sources->count() > monitorList.size() + 1)
        sources->removeItem(1);
    m_sorvaneInterface->clearDeviceState();
}

TimingModel* EdidPlus::getTimingModel()
{
    return m_edidManagement ? m_edidManagement->getTimingModel() : nullptr;
}

void EdidPlus::saveEDID()
{
    if (m_edidManagement)
        m_edidManagement->saveEDID();
}

void EdidPlus::setDiffMode(bool on)
{
    if (m_edidManagement)
        m_edidManagement->setDiffMode(on);
}

void EdidPlus::startNewEDID()
{
    if (!m_edidManagement)
        return;
    m_edidManagement->initNewEDID();
    m_edidManagement->clearEDID();
    m_edidManagement->enableEditButtons(true);
    m_edidManagement->refreshEDID();
    m_edidManagement->resetHistory();
    ui->editEDID->setEnabled(false);
}

void EdidPlus::openSelectedEDID()
{
    if (!m_edidManagement)
        return;
    if (m_edidManagement->currentEdid().isEmpty()) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("Error"), QStringLiteral("Unable to read the selected EDID."));
        return;
    }
    m_edidManagement->displayEDID(selectedName);
    ui->functionEDIDButton->click();
}

QByteArray EdidPlus::readConverterEdid(bool scalerVariant)
{
    // A page object of its own, so the read does not disturb the converter page of the hub.
    Converter reader(ui, monitorList);
    return scalerVariant ? reader.doScalerViewEDID() : reader.doViewEDID();
}

void EdidPlus::openEDIDFromDevice(QByteArray edid)
{
    if (!m_edidManagement)
        return;
    const int index = ui->selectEDIDFromDevice->currentIndex();
    selectedName = ui->selectEDIDFromDevice->currentText();
    ui->loadedEDID->setText(QStringLiteral("Viewing %1").arg(selectedName));

    if (!edid.isEmpty()) {
        m_edidManagement->setEdidData(edid);
        openSelectedEDID();
        return;
    }
    if (index == 0)
        return;
    if (index > 0) {
        const QString source = ui->selectEDIDFromDevice->currentText();
        const QString product = ui->productCombobox->currentText();
        QByteArray bytes;
        switch (edidRouteFor(source, product)) {
        case EdidRoute::Converter:
        case EdidRoute::ConverterScaler:
            bytes = readConverterEdid(edidRouteFor(source, product) == EdidRoute::ConverterScaler);
            ui->ConfiguratorTabs->setEnabled(true);
            break;
        case EdidRoute::Scaler:
            if (scaler)
                bytes = scaler->getEDID(selectedDevice);
            break;
        case EdidRoute::JovarisScaler:
            if (scaler)
                bytes = scaler->getJOVARISEDID();
            break;
        case EdidRoute::ZarrickScaler:
            if (scaler)
                bytes = scaler->getZARRICKEDID();
            break;
        case EdidRoute::CavroshScaler:
            if (scaler)
                bytes = scaler->getCAVROSHEDID();
            break;
        case EdidRoute::Splitter:
            if (splitter)
                bytes = splitter->getEDID();
            break;
        case EdidRoute::TestDevice: bytes = m_sorvaneInterface->getEDID(index); break;
        }
        m_edidManagement->setEdidData(bytes);
    }
    openSelectedEDID();
}

void EdidPlus::openMonitorEDIDFromNewDropdown()
{
    if (!m_edidManagement)
        return;
    selectedName = ui->selectEDIDFromMonitor->currentText();
    ui->loadedEDID->setText(QStringLiteral("Viewing %1").arg(selectedName));

    const int k = ui->selectEDIDFromMonitor->currentIndex() - 1;
    if (k < 0 || k >= monitorList.size())
        return;
    const QByteArray edid = monitorList.at(k).edid;
    m_edidManagement->setEdidData(edid);

    // An EDID that announces one extension without carrying it was cut short by the source.
    const auto byteAt = [&edid](int i) { return i < edid.size() ? quint8(edid.at(i)) : quint8(0); };
    if (edid.size() >= 128 && byteAt(126) == 1 && byteAt(128) == 0) {
        Dialogs::warning(ui->centralFrame, QStringLiteral("Warning"),
                         QStringLiteral("The EDID that the kernel reports for this display's connector "
                                        "announces an extension block that it does not contain, so only its base "
                                        "block can be parsed. As an alternative, your display's EDID can be "
                                        "recorded, viewed, and edited with this tool and the aid of a Velmo EDID "
                                        "Sorvane product. e.g. Part# Pastrim"));
    }
    openSelectedEDID();
}

void EdidPlus::openEDIDFromFile(QString path)
{
    if (!m_edidManagement)
        return;
    QString error;
    const QByteArray content = readEdidFile(path, &error);
    if (content.isEmpty()) {
        // A file that is there and readable was refused for what it holds: say what.
        const QFileInfo info(path);
        const bool opened = info.exists() && info.isReadable() && !info.isDir();
        Dialogs::critical(ui->centralFrame, QStringLiteral("I/O Error"),
                          opened && !error.isEmpty() ? error : QStringLiteral("Cannot open file for reading."));
        return;
    }
    ui->loadedEDID->setText(QStringLiteral("Viewing File: %1").arg(QFileInfo(path).baseName()));
    m_edidManagement->setEdidData(content);
    m_edidManagement->displayEDID(path);
}

bool EdidPlus::setMonitorList(const QList<EdidEntry>& entries)
{
    if (sameEntries(entries, monitorList))
        return false;

    // Rebuilt from the fixed first item, so the drop-down always holds exactly one item per entry.
    QComboBox* monitors = ui->selectEDIDFromMonitor;
    while (monitors->count() > 1)
        monitors->removeItem(monitors->count() - 1);
    monitorList = entries;
    ui->selectEDIDFromDevice->setEnabled(true);

    int unnamed = 1;
    for (const EdidEntry& entry : qAsConst(monitorList)) {
        QString shown = entry.name;
        if (shown.trimmed().isEmpty())
            shown = QStringLiteral("Default Monitor %1").arg(unnamed++);
        monitors->addItem(QStringLiteral("Connected Display: %1").arg(shown));
    }
    return true;
}

void EdidPlus::updateDisplayList()
{
    readGpuEdids();
}

void EdidPlus::sendRefreshImmediately()
{
    qDebug() << "Refreshing because of a sorvane device.";
    emit refreshImmediately();
}

void EdidPlus::sendscalerFirmwareUpdateEvent(bool b)
{
    emit firmwareUpdateEvent(b);
}
