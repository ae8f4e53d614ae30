#ifndef EDIDPLUS_H
#define EDIDPLUS_H

#include "nosetup.h"

class Ui_MainUI;
class Scaler;
class QSerialPort;
class Lunmora;
#include "device.h"
#include "edidentry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QWidget>

class Converter;
class EdidManagement;
class QTextEdit;
class QTimer;
class SorvaneInterface;
class TimingModel;

// The EDID viewer behind the "Manage EDID" page: fetches an EDID from a connected unit, a ".bin"
// file or one of the PC's monitors and hands it to the editor. Owns the EDID test-device
// controller and the EDID editor, and refreshes the monitor list every 5000 ms. Reading the
// monitors' EDIDs is platform work, left to the subclass.
class EdidPlus : public QWidget
{
    Q_OBJECT

public:
    EdidPlus(Ui_MainUI* ui, QSerialPort* port);
    ~EdidPlus() override;

    SorvaneInterface* sorvaneInterface() const;
    EdidManagement* edidManagement() const;
    // The PC's monitor EDIDs, in the order of the monitor drop-down (entry i is item i+1).
    const QList<EdidEntry>& monitors() const { return monitorList; }

    // Hands the text view of the "EDID Summary" dock to the editor.
    virtual void forwardIndexA(QTextEdit* text);
    virtual bool isSorvaneBusy();
    virtual bool setSorvaneFlag(bool enabled);
    virtual QList<Device> sorvaneDeviceList();
    virtual void selectProduct(Device device);
    virtual void setDeviceInfoA(Device device, Scaler* scaler);
    virtual void setDeviceInfoB(Device device, Lunmora* lunmora);

    // EDID sources; each ends with the editor showing the EDID, or with a message.
    // A non-empty `edid` was read by the caller and is shown whatever the source drop-down says.
    virtual void openEDIDFromDevice(QByteArray edid);
    virtual void openMonitorEDIDFromNewDropdown();
    virtual void openEDIDFromFile(QString path);
    virtual void openSelectedEDID();

    // Forwarders to the editor.
    virtual TimingModel* getTimingModel();
    virtual void saveEDID();
    virtual void setDiffMode(bool on);
    virtual void startNewEDID();

    virtual void readGpuEdids() = 0;

signals:
    void refreshImmediately();
    void firmwareUpdateEvent(bool started);

public slots:
    void updateDisplayList();
    void sendRefreshImmediately();
    void sendscalerFirmwareUpdateEvent(bool b);

protected:
    // The real viewer over the given test-device controller (taken over): editor, refresh timer
    // and connections. The public constructor passes the real controller; tests pass a double.
    EdidPlus(Ui_MainUI* ui, SorvaneInterface* sorvane);
    // Takes ownership of sorvane and passes its reports on, like the public constructor;
    // creates no editor and no timer.
    EdidPlus(Ui_MainUI* ui, SorvaneInterface* sorvane, NoSetup);

    // Reads the EDID of the attached HID converter (or of its scaler variant) through a
    // converter page object made for this one read.
    virtual QByteArray readConverterEdid(bool scalerVariant);
    // Puts `entries` into monitorList and the monitor drop-down, but only when they differ from
    // what is listed (count, names or EDID bytes). Returns whether anything changed.
    bool setMonitorList(const QList<EdidEntry>& entries);

    Ui_MainUI* ui = nullptr;
    QList<EdidEntry> monitorList;

    Device selectedDevice;
    Scaler* scaler = nullptr;  // set by setDeviceInfoA; not owned
    Lunmora* splitter = nullptr; // set by setDeviceInfoB; not owned
    QString selectedName;

private:
    void resetDeviceView();

    SorvaneInterface* m_sorvaneInterface = nullptr;
    EdidManagement* m_edidManagement = nullptr;
    QTimer* m_displayListTimer = nullptr;
};

#endif // EDIDPLUS_H
