#ifndef CONVERTER_H
#define CONVERTER_H

#include "controllerfactory.h"
#include "device.h"

#include <QList>
#include <QWidget>

// Controller of the HID converters; also lists every HID and raw-USB unit of the maker.
class Converter : public QWidget
{
    Q_OBJECT

public:
    explicit Converter(Ui_MainUI* ui);
    ~Converter() override;

    // Arms or disarms the periodic USB device-count poll.
    virtual void setDeviceCheckEnabled(bool enabled);

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
