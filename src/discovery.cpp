// Placeholder: a later change replaces this skeleton with the real discovery controller.
#include "discovery.h"

#include <QTimer>

Discovery::Discovery(Ui_MainUI* ui)
    : Discovery(ui, NoSetup())
{
}

Discovery::Discovery(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
    , m_detectTimer(new QTimer(this))
{
    m_detectTimer->setSingleShot(true);
    connect(m_detectTimer, SIGNAL(timeout()), this, SLOT(detectChanges()));
}

Discovery::~Discovery() = default;

void Discovery::setDetectEnabled(bool enabled)
{
    Q_UNUSED(enabled)
}

void Discovery::findDevices() {}

QList<_Device*> Discovery::updateDeviceList()
{
    return {};
}

QList<_Device*> Discovery::removedDevices()
{
    return {};
}

void Discovery::rebootDevice() {}

void Discovery::selectDeviceRow(_Device* unit)
{
    Q_UNUSED(unit)
}

QTimer* Discovery::changeDetectionTimer() const
{
    return m_detectTimer;
}

void Discovery::clearDeviceSettings() {}

void Discovery::selectedRowChanged(QItemSelection selected, QItemSelection deselected)
{
    Q_UNUSED(selected)
    Q_UNUSED(deselected)
}

void Discovery::showDeviceSettings(QString macAddress)
{
    Q_UNUSED(macAddress)
}

void Discovery::findDevicesHandlerWrapper() {}

void Discovery::detectChanges() {}

void Discovery::updateProductForDiscovery() {}

void Discovery::saveChangesHandler() {}

void Discovery::showYourself() {}

void Discovery::ipModeChanged(int index)
{
    Q_UNUSED(index)
}

void Discovery::selectedInterfaceChanged(int index)
{
    Q_UNUSED(index)
}

void Discovery::myIpInfoClicked(QTableWidgetItem* item)
{
    Q_UNUSED(item)
}

void Discovery::checkSubnetError(QString theURL)
{
    Q_UNUSED(theURL)
}

void Discovery::onTableDoubleClick(QModelIndex indx)
{
    Q_UNUSED(indx)
}
