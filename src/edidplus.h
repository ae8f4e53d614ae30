#ifndef EDIDPLUS_H
#define EDIDPLUS_H

#include "controllerfactory.h"
#include "device.h"
#include "edidentry.h"

#include <QList>
#include <QWidget>

class EdidManagement;
class QTextEdit;
class SorvaneInterface;

// The EDID viewer: gathers EDIDs from devices, files and the PC's monitors for the editor.
// Owns the EDID test-device controller and the EDID editor. Reading the monitors' EDIDs is
// platform work, left to the subclass.
class EdidPlus : public QWidget
{
    Q_OBJECT

public:
    EdidPlus(Ui_MainUI* ui, QSerialPort* port);
    ~EdidPlus() override;

    SorvaneInterface* sorvaneInterface() const;
    EdidManagement* edidManagement() const;

    // Hands the text view of the "EDID Summary" dock to the editor.
    virtual void forwardIndexA(QTextEdit* text);
    virtual bool isSorvaneBusy();
    virtual bool setSorvaneFlag(bool enabled);
    virtual QList<Device> sorvaneDeviceList();
    virtual void selectProduct(Device device);
    virtual void setDeviceInfoA(Device device, Scaler* scaler);
    virtual void setDeviceInfoB(Device device, Lunmora* lunmora);

    virtual void readGpuEdids() = 0;

signals:
    void refreshImmediately();
    void firmwareUpdateEvent(bool started);

public slots:
    void updateDisplayList();
    void sendRefreshImmediately();
    void sendscalerFirmwareUpdateEvent(bool b);

protected:
    // Takes ownership of sorvane and passes its reports on, like the public constructor;
    // creates no editor.
    EdidPlus(Ui_MainUI* ui, SorvaneInterface* sorvane, NoSetup);

    Ui_MainUI* ui = nullptr;

private:
    QList<EdidEntry> monitorList;
    SorvaneInterface* m_sorvaneInterface = nullptr;
    EdidManagement* m_edidManagement = nullptr;
};

#endif // EDIDPLUS_H
