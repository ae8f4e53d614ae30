#ifndef LUNMORA_H
#define LUNMORA_H

#include "nosetup.h"

class Ui_MainUI;
#include "device.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QWidget>

// Controller of the serial splitters and their pages.
class Lunmora : public QWidget
{
    Q_OBJECT

public:
    explicit Lunmora(Ui_MainUI* ui);
    ~Lunmora() override;

    virtual void setPollingEnabled(bool enabled);
    virtual void setTabState(int state);
    virtual void selectedProductChanged(Device device);
    // Builds the page controls of a splitter model that is not connected.
    virtual void previewProductControls(QString name);
    virtual void deactivate();

    // EDID services of the viewer; placeholders until the splitter's EDID page is written.
    // Reads the selected splitter's EDID; empty on failure.
    virtual QByteArray getEDID() { return {}; }
    // Re-reads the splitter's EDID settings.
    virtual void refreshEDID() {}

signals:
    void firmwareUpdateEvent(bool started);
    void setFirmwareColorSignal();
    void refreshImmediately();

public slots:
    virtual QList<Device> updateDeviceList();
    virtual void tabChanged(int index);
    virtual void refreshFWPage();

protected:
    Lunmora(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;
};

#endif // LUNMORA_H
