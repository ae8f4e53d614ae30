#ifndef FIRMWAREUPDATEWIN_H
#define FIRMWAREUPDATEWIN_H

#include "firmwareupdate.h"

// The serial firmware page with the package unpacked by the program's ZIP reader.
class FirmwareUpdateWin : public FirmwareUpdate
{
    Q_OBJECT

public:
    explicit FirmwareUpdateWin(Ui_MainUI* ui);
    ~FirmwareUpdateWin() override;

    bool unzip() override;
};

#endif // FIRMWAREUPDATEWIN_H
