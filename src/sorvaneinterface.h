#ifndef SORVANEINTERFACE_H
#define SORVANEINTERFACE_H

#include "controllerfactory.h"
#include "device.h"

#include <QList>
#include <QWidget>

class HDBaseT;

// Controller of the EDID test and booster units on the serial port. Owns the HDBaseT page,
// which shares its serial port.
class SorvaneInterface : public QWidget
{
    Q_OBJECT

public:
    SorvaneInterface(Ui_MainUI* ui, QSerialPort* port);
    ~SorvaneInterface() override;

    HDBaseT* hdbaseT() const;

    virtual QList<Device> updateDeviceList();
    virtual void selectedProductChanged(Device device);
    virtual void setDeviceInfoA(Device device, Scaler* scaler);
    virtual void setDeviceInfoB(Device device, Lunmora* lunmora);
    // While false, the device-count poll does nothing. Returns the stored value.
    virtual bool setSorvaneFlag(bool enabled);
    virtual void monitoringClose();
    virtual void onSuddenReconnect();
    virtual void closePort();
    virtual void sorvaneFirmwareUpdate();

    // The controllers through which the EDID controls reach scaler-driven units and splitters.
    Scaler* scalerLink = nullptr;
    Lunmora* lunmoraLink = nullptr;

signals:
    void refreshImmediately();
    void firmwareUpdateEvent(bool started);

public slots:
    virtual void downloadEdid();
    void checkDeviceCount();

protected:
    // Takes ownership of hdbaseT.
    SorvaneInterface(Ui_MainUI* ui, QSerialPort* port, HDBaseT* hdbaseT, NoSetup);

    Ui_MainUI* ui = nullptr;
    QSerialPort* port = nullptr; // created by the main window; not owned

private:
    HDBaseT* m_hdbaseT = nullptr;
};

#endif // SORVANEINTERFACE_H
