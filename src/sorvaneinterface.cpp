// Placeholder: a later change replaces this skeleton with the real EDID test-device controller.
#include "sorvaneinterface.h"
#include "hdbaset.h"

SorvaneInterface::SorvaneInterface(Ui_MainUI* ui, QSerialPort* port)
    : SorvaneInterface(ui, port, new HDBaseT(ui, port), NoSetup())
{
}

SorvaneInterface::SorvaneInterface(Ui_MainUI* ui, QSerialPort* port, HDBaseT* hdbaseT, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
    , port(port)
    , m_hdbaseT(hdbaseT)
{
}

SorvaneInterface::~SorvaneInterface()
{
    delete m_hdbaseT;
}

HDBaseT* SorvaneInterface::hdbaseT() const
{
    return m_hdbaseT;
}

QList<Device> SorvaneInterface::updateDeviceList()
{
    return {};
}

void SorvaneInterface::selectedProductChanged(Device device)
{
    Q_UNUSED(device)
}

void SorvaneInterface::setDeviceInfoA(Device device, Scaler* scaler)
{
    Q_UNUSED(device)
    scalerLink = scaler;
}

void SorvaneInterface::setDeviceInfoB(Device device, Lunmora* lunmora)
{
    Q_UNUSED(device)
    lunmoraLink = lunmora;
}

bool SorvaneInterface::setSorvaneFlag(bool enabled)
{
    return enabled;
}

void SorvaneInterface::monitoringClose() {}

void SorvaneInterface::onSuddenReconnect() {}

void SorvaneInterface::closePort() {}

void SorvaneInterface::sorvaneFirmwareUpdate() {}

void SorvaneInterface::downloadEdid() {}

void SorvaneInterface::checkDeviceCount() {}
