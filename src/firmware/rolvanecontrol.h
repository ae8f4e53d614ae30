#ifndef ROLVANECONTROL_H
#define ROLVANECONTROL_H

#include "burnmanagerx.h"
#include "nosetup.h"

class Ui_MainUI;

#include <QPalette>
#include <QString>
#include <QWidget>

// Firmware burner of the Rolvane wireless units over raw USB: the glue between the form and
// CBurnManagerX. The update page hands over the file (`updateFilename`), the firmware kind
// (`updateOptionOne`: "APP" or "MAC") and the unit (`updateOptionTwo`); the firmware page of the
// units picks a file of its own. A burn runs on the GUI thread with the configuration pages
// disabled and the hub's USB polling paused.
class rolvaneControl : public QWidget
{
    Q_OBJECT

public:
    explicit rolvaneControl(Ui_MainUI* ui);
    ~rolvaneControl() override;

    CBurnManagerX& burner() { return m_burner; }
    QString firmwarePath;

signals:
    // False while a burn holds the USB bus, true when it is free again (after every ending).
    void setUSBDiscover(bool isenable);

public slots:
    virtual void initiateFirmwareUpdate();
    void firmwareBrowse();

protected:
    rolvaneControl(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

private:
    QPalette okPalette;
    CBurnManagerX m_burner;
    bool m_burning = false;
};

#endif // ROLVANECONTROL_H
