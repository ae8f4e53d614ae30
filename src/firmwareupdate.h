#ifndef FIRMWAREUPDATE_H
#define FIRMWAREUPDATE_H

#include "nosetup.h"

class Ui_MainUI;

#include <QString>
#include <QWidget>

// The serial firmware page: installs a firmware package over a COM port. Unpacking the package
// is platform work, left to the subclass.
class FirmwareUpdate : public QWidget
{
    Q_OBJECT

public:
    explicit FirmwareUpdate(Ui_MainUI* ui);
    ~FirmwareUpdate() override;

    virtual bool unzip() = 0;

public slots:
    void slot_ui_browse();
    virtual void slot_ui_startUpgrading();
    void slot_ui_startDownload();
    void slot_ui_updateConsole(QString text);
    void slot_ui_updateProgressBar(int value, int maximum);

protected:
    FirmwareUpdate(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;
};

#endif // FIRMWAREUPDATE_H
