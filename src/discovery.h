#ifndef DISCOVERY_H
#define DISCOVERY_H

#include "controllerfactory.h"
#include "device.h"

#include <QItemSelection>
#include <QList>
#include <QModelIndex>
#include <QString>
#include <QWidget>

class QTableWidgetItem;
class QTimer;

// Finds the Ethernet units by UDP broadcast and multicast and drives the "Discover" page.
// The unit records it hands out stay owned by it.
class Discovery : public QWidget
{
    Q_OBJECT

public:
    explicit Discovery(Ui_MainUI* ui);
    ~Discovery() override;

    virtual void setDetectEnabled(bool enabled);
    virtual void findDevices();
    virtual QList<_Device*> updateDeviceList();
    virtual QList<_Device*> removedDevices();
    virtual void rebootDevice();
    virtual void selectDeviceRow(_Device* unit);

    // The single-shot timer whose time-out runs detectChanges(); firmware uploads that must not
    // be disturbed by a change check block its signals.
    QTimer* changeDetectionTimer() const;

signals:
    void refreshPerformed();
    void ipTableClicked(QString macAddress);

public slots:
    virtual void clearDeviceSettings();
    void selectedRowChanged(QItemSelection selected, QItemSelection deselected);
    void showDeviceSettings(QString macAddress);
    void findDevicesHandlerWrapper();
    void detectChanges();
    void updateProductForDiscovery();
    void saveChangesHandler();
    void showYourself();
    void ipModeChanged(int index);
    void selectedInterfaceChanged(int index);
    void myIpInfoClicked(QTableWidgetItem* item);
    void checkSubnetError(QString theURL);
    void onTableDoubleClick(QModelIndex indx);

protected:
    Discovery(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

private:
    QTimer* m_detectTimer = nullptr;
};

#endif // DISCOVERY_H
