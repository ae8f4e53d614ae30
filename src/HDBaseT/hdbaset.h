#ifndef HDBASET_H
#define HDBASET_H

#include "nosetup.h"

class Ui_MainUI;
class QSerialPort;
#include "device.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

// The HDBaseT link page: the pair units' EDIDs, link monitoring and plots.
class HDBaseT : public QWidget
{
    Q_OBJECT

public:
    HDBaseT(Ui_MainUI* ui, QSerialPort* port);
    ~HDBaseT() override;

    virtual void selectedProductChanged(Device device);
    // One received chunk of the link-monitor stream, handed on by the test-device page while it
    // monitors. Placeholder until the monitor is written.
    virtual void processMonitorReadyRead(const QByteArray& chunk) { Q_UNUSED(chunk) }

signals:
    void refreshImmediately();

public slots:
    virtual QList<Device> updateDeviceList();
    virtual void startThePlot();

protected:
    HDBaseT(Ui_MainUI* ui, QSerialPort* port, NoSetup);

    Ui_MainUI* ui = nullptr;
    QSerialPort* port = nullptr; // shared with the EDID test-device page; not owned
};

#endif // HDBASET_H
