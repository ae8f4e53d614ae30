#ifndef CONVERTER_H
#define CONVERTER_H

#include "nosetup.h"

class Ui_MainUI;
#include "device.h"
#include "edidentry.h"

#include <QByteArray>
#include <QList>
#include <QPalette>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QTimer;
enum class EdidUploadAnswers; // convertercontrol.h

// Controller of the pages of the units that attach by USB: the HID converters (Orrelin,
// Palomir) and the HID scaler (Perrick), whose settings and version it shows. It also runs the
// USB scan of the whole program (the maker's HID units and the raw-USB wireless units) with a
// 2500 ms count poll, moves the units' EDIDs (convertercontrol.h) and starts their firmware burn.
class Converter : public QWidget
{
    Q_OBJECT

public:
    explicit Converter(Ui_MainUI* ui);
    // A page object for one EDID operation of another page (the EDID viewer, the test device
    // page): it opens nothing, wires nothing and polls nothing.
    Converter(Ui_MainUI* ui, QList<EdidEntry> monitorList)
        : Converter(ui, NoSetup())
    {
        Q_UNUSED(monitorList)
    }
    ~Converter() override;

    // Arms or disarms the periodic USB device-count poll (off until the hub arms it).
    virtual void setDeviceCheckEnabled(bool enabled);
    bool isDeviceCheckEnabled() const { return pollingEnabled; }

    // The last burn's message.
    QString lastBurnResult() const { return burnResult; }

signals:
    void refreshImmediately();
    void setUSBDiscover(bool isenabled);

public slots:
    void firmwareBrowse();
    // Burns the firmware file of the update page into the unit named in the product drop-down.
    virtual void initiateFirmwareUpdate();
    void updateStatus(const QString& msg);
    virtual QList<Device> updateDeviceList();
    virtual void selectedProductChanged(Device device);
    void unloadConvertersEDID();
    void enableRelevantFields();
    // The EDID of the converter, respectively of the HID scaler source chosen in the EDID box;
    // empty when the read failed at any step or the bytes are no EDID.
    virtual QByteArray doViewEDID();
    virtual QByteArray doScalerViewEDID();
    // Upload an EDID file to the converter, respectively to the HID scaler's user EDID, and show
    // the result on the status bar; the perform… forms return it.
    virtual void uploadEDID(QString fileName);
    QString performUploadEDID(QString fileName);
    virtual void uploadScaler12EDID(QString fileName);
    QString performScaler12UploadEDID(QString fileName);
    void handleScaler12Controls(QAbstractButton* b);
    void checkDeviceCount();
    void clearStatus();

protected:
    Converter(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

private slots:
    void burnChosenFirmware();

private:
    void connectSignals();
    void burnFirmware(const QString& fileName);
    bool askScalerInfo(const Device& device, QByteArray* reply);
    void showScalerSettings(const QByteArray& reply);
    void showEdidBox(const QString& destination);
    bool sendScalerSetting(quint8 reg, quint8 value);
    QString performEdidUpload(const QString& fileName, quint16 productId, const QByteArray& command,
                              EdidUploadAnswers answers);
    void showResult(const QString& text, bool ok);

    QString firmwareFileName;
    QString burnResult;
    QList<Device> deviceList;
    QPalette errorPalette;
    QPalette normalPalette;
    QTimer* deviceTimer = nullptr;
    QList<Device> previousDeviceList;
    bool pollingEnabled = false;
    // Set while the page waits for the HID scaler with the event loop running: the poll keeps
    // out, so a rescan cannot start a second selection inside the first.
    bool waitingForUnit = false;
};

#endif // CONVERTER_H
