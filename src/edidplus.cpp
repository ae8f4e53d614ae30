// Placeholder: a later change replaces this skeleton with the real EDID viewer.
#include "edidplus.h"
#include "edidmanagement.h"
#include "sorvaneinterface.h"

EdidPlus::EdidPlus(Ui_MainUI* ui, QSerialPort* port)
    : EdidPlus(ui, new SorvaneInterface(ui, port), NoSetup())
{
    m_edidManagement = new EdidManagement(ui, &monitorList);
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
    return false;
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
    m_sorvaneInterface->selectedProductChanged(device);
}

void EdidPlus::setDeviceInfoA(Device device, Scaler* scaler)
{
    m_sorvaneInterface->setDeviceInfoA(device, scaler);
}

void EdidPlus::setDeviceInfoB(Device device, Lunmora* lunmora)
{
    m_sorvaneInterface->setDeviceInfoB(device, lunmora);
}

void EdidPlus::updateDisplayList() {}

void EdidPlus::sendRefreshImmediately()
{
    emit refreshImmediately();
}

void EdidPlus::sendscalerFirmwareUpdateEvent(bool b)
{
    emit firmwareUpdateEvent(b);
}
