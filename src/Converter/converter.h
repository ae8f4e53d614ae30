#ifndef CONVERTER_H
#define CONVERTER_H

#include "nosetup.h"

class Ui_MainUI;
#include "device.h"
#include "edidentry.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

// Controller of the HID converters; also lists every HID and raw-USB unit of the maker.
class Converter : public QWidget
{
    Q_OBJECT

public:
    explicit Converter(Ui_MainUI* ui);
    // A converter page object for one EDID read of the EDID viewer: opens and wires nothing.
    // Placeholder until the converter's EDID reads are written.
    Converter(Ui_MainUI* ui, QList<EdidEntry> monitorList)
        : Converter(ui, NoSetup())
    {
        Q_UNUSED(monitorList)
    }
    ~Converter() override;

    // Arms or disarms the periodic USB device-count poll.
    virtual void setDeviceCheckEnabled(bool enabled);

    // Read the EDID of the attached HID converter, respectively of its scaler variant; empty on
    // failure. Placeholders until the converter's EDID reads are written.
    virtual QByteArray doViewEDID() { return {}; }
    virtual QByteArray doScalerViewEDID() { return {}; }
    // Upload an EDID file to the attached HID converter, respectively to the HID scaler, and show
    // the result. Placeholders until the converter's EDID uploads are written.
    virtual void uploadEDID(QString fileName) { Q_UNUSED(fileName) }
    virtual void uploadScaler12EDID(QString fileName) { Q_UNUSED(fileName) }

signals:
    void refreshImmediately();
    void setUSBDiscover(bool isenabled);

public slots:
    virtual QList<Device> updateDeviceList();
    virtual void selectedProductChanged(Device device);
    virtual void initiateFirmwareUpdate();

protected:
    Converter(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;
};

#endif // CONVERTER_H
