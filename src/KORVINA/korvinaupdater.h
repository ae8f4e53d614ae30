#ifndef KORVINAUPDATER_H
#define KORVINAUPDATER_H

#include "nosetup.h"

class Ui_MainUI;

#include <QWidget>

// Firmware updater of the Korvina KVM extender over USB HID.
class KorvinaUpdater : public QWidget
{
    Q_OBJECT

public:
    explicit KorvinaUpdater(Ui_MainUI* ui);
    ~KorvinaUpdater() override;

signals:
    // False while an update holds the HID device, true after a successful upload.
    void setUSBDiscover(bool isenable);

public slots:
    virtual void initiateFirmwareUpdate();

protected:
    KorvinaUpdater(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;
};

#endif // KORVINAUPDATER_H
