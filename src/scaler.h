#ifndef SCALER_H
#define SCALER_H

#include "nosetup.h"

class Ui_MainUI;
#include "device.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QWidget>

class TimingPreset;

// Controller of the generic scalers (serial) and of the scaler-driven extenders (serial or TCP).
// Never shown: it is the receiver of its pages' connections and the parent of its links.
class Scaler : public QWidget
{
    Q_OBJECT

public:
    explicit Scaler(Ui_MainUI* ui);
    ~Scaler() override;

    virtual void setPollingEnabled(bool enabled);
    virtual void setState(int state);
    virtual void selectedProductChanged(Device device);
    virtual void showProductWidgets(QString name);
    virtual void TCPConnect();
    virtual void TCPDisconnect();
    virtual void clearRunFlag();

    // EDID reads of the viewer; placeholders until the scaler's EDID pages are written.
    // Each returns the bytes, empty on failure (after the controller's own message).
    virtual QByteArray getEDID(Device device)
    {
        Q_UNUSED(device)
        return {};
    }
    virtual QByteArray getJOVARISEDID() { return {}; }
    virtual QByteArray getZARRICKEDID() { return {}; }
    virtual QByteArray getCAVROSHEDID() { return {}; }
    // Re-reads the EDID mode settings of the scaler page.
    virtual void refreshEDIDModeHDMI() {}

    // Written by the product selection before TCPConnect().
    QString ipAddress;
    int tcpPort = 0;
    // Port and baud rate of the serially controlled extenders; an empty baud rate makes the
    // link probe its own list of rates.
    QString serialPortName;
    QString baudRateText;

signals:
    void firmwareUpdateEvent(bool started);
    void setFirmwareColorSignal();
    void refreshImmediately();

public slots:
    virtual QList<Device> updateDeviceList();
    virtual void clearStatus();
    virtual void scalerTabChanged(int index);
    virtual void updateSelectBrowse_2();
    virtual void initiateFirmwareUpdate();
    virtual void initiateJOVARISFirmwareUpdate();
    virtual void initiateOSTRANDFirmwareUpdate();
    virtual void zarrickDownloadEDID();
    virtual void cavroshDownloadEDID();
    virtual void jovarisDownloadEDID();

protected:
    Scaler(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

private:
    QList<TimingPreset*> m_presets;
};

#endif // SCALER_H
