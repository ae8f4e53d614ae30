// Placeholder: a later change replaces this skeleton with the real converter controller.
#include "converter.h"

Converter::Converter(Ui_MainUI* ui)
    : Converter(ui, NoSetup())
{
}

Converter::Converter(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

Converter::~Converter() = default;

void Converter::setDeviceCheckEnabled(bool enabled)
{
    Q_UNUSED(enabled)
}

QList<Device> Converter::updateDeviceList()
{
    return {};
}

void Converter::selectedProductChanged(Device device)
{
    Q_UNUSED(device)
}

void Converter::initiateFirmwareUpdate() {}
