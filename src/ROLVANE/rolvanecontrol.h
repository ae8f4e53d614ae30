#ifndef ROLVANECONTROL_H
#define ROLVANECONTROL_H

#include "nosetup.h"

class Ui_MainUI;

#include <QWidget>

// Firmware burner of the Rolvane wireless units over raw USB.
class rolvaneControl : public QWidget
{
    Q_OBJECT

public:
    explicit rolvaneControl(Ui_MainUI* ui);
    ~rolvaneControl() override;

signals:
    // False while a burn holds the USB bus, true when it is free again.
    void setUSBDiscover(bool isenable);

public slots:
    virtual void initiateFirmwareUpdate();

protected:
    rolvaneControl(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;
};

#endif // ROLVANECONTROL_H
