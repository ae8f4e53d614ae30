#ifndef UPDATETABCONTROL_H
#define UPDATETABCONTROL_H

#include "nosetup.h"

class Ui_MainUI;
#include "device.h"

#include <QString>
#include <QWidget>

// The "Update" page: shows the selected product's firmware state, downloads and unpacks its
// firmware and asks the window to run the family's uploader (FirmwareUpdateSignal).
class UpdateTabControl : public QWidget
{
    Q_OBJECT

public:
    explicit UpdateTabControl(Ui_MainUI* ui);
    ~UpdateTabControl() override;

    // The update target, one call per kind of product the drop-down can hold.
    virtual void setUSBDevice(Device device);
    virtual void setUSBSerialDevice(Device device);
    virtual void setUSBSerialProductAlt(Device device);
    virtual void setUSBProduct(QString name);
    virtual void setUSBProductChecked(QString name);
    virtual void setUSBSerialProduct(QString name);
    virtual void setCALTORDevice(QString name);
    virtual void setIPProduct(_Device* unit);
    virtual void setRS232Product(QString name);
    virtual void setOfflineDevice(QString name);
    // True for the models updated over RS-232 through the serial firmware page.
    virtual bool isGroupOneDevice(QString name);
    virtual void startupUpdatesCheck();

signals:
    void FirmwareUpdateSignal(int type);

public slots:
    virtual void setFirmwareColors();

protected:
    UpdateTabControl(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;
};

#endif // UPDATETABCONTROL_H
