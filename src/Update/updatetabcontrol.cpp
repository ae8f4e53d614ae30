// Placeholder: a later change replaces this skeleton with the real update page.
#include "updatetabcontrol.h"

UpdateTabControl::UpdateTabControl(Ui_MainUI* ui)
    : UpdateTabControl(ui, NoSetup())
{
}

UpdateTabControl::UpdateTabControl(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

UpdateTabControl::~UpdateTabControl() = default;

void UpdateTabControl::setUSBDevice(Device device)
{
    Q_UNUSED(device)
}

void UpdateTabControl::setUSBSerialDevice(Device device)
{
    Q_UNUSED(device)
}

void UpdateTabControl::setUSBSerialProductAlt(Device device)
{
    Q_UNUSED(device)
}

void UpdateTabControl::setUSBProduct(QString name)
{
    Q_UNUSED(name)
}

void UpdateTabControl::setUSBProductChecked(QString name)
{
    Q_UNUSED(name)
}

void UpdateTabControl::setUSBSerialProduct(QString name)
{
    Q_UNUSED(name)
}

void UpdateTabControl::setCALTORDevice(QString name)
{
    Q_UNUSED(name)
}

void UpdateTabControl::setIPProduct(_Device* unit)
{
    Q_UNUSED(unit)
}

void UpdateTabControl::setRS232Product(QString name)
{
    Q_UNUSED(name)
}

void UpdateTabControl::setOfflineDevice(QString name)
{
    Q_UNUSED(name)
}

bool UpdateTabControl::isGroupOneDevice(QString name)
{
    Q_UNUSED(name)
    return false;
}

void UpdateTabControl::startupUpdatesCheck() {}

void UpdateTabControl::setFirmwareColors() {}
