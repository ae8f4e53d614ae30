// Placeholder: a later change replaces this skeleton with the real HDBaseT link page.
#include "hdbaset.h"

HDBaseT::HDBaseT(Ui_MainUI* ui, QSerialPort* port)
    : HDBaseT(ui, port, NoSetup())
{
}

HDBaseT::HDBaseT(Ui_MainUI* ui, QSerialPort* port, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
    , port(port)
{
}

HDBaseT::~HDBaseT() = default;

void HDBaseT::selectedProductChanged(Device device)
{
    Q_UNUSED(device)
}

QList<Device> HDBaseT::updateDeviceList()
{
    return {};
}

void HDBaseT::startThePlot() {}
