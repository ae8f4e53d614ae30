#ifndef SORVANEINTERFACE_H
#define SORVANEINTERFACE_H

#include "nosetup.h"

class Ui_MainUI;
class Scaler;
class QSerialPort;
class Lunmora;
#include "device.h"

#include <QByteArray>
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

    // EDID viewer services; placeholders until the test-device controller is written.
    // Connects the serial port and starts the device-count poll; called once by the viewer.
    virtual void init() {}
    // Reads the EDID chosen by the source drop-down index; empty on failure (after its own message).
    virtual QByteArray getEDID(int index)
    {
        Q_UNUSED(index)
        return {};
    }
    // Set while the device-count poll re-enumerates the serial ports.
    virtual bool isBusy() const { return false; }
    // Forgets the state of the selected unit (also cleared by updateDeviceList()).
    virtual void clearDeviceState() {}

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
