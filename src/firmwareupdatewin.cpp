// Placeholder: a later change replaces this skeleton with the real package unpacking.
#include "firmwareupdatewin.h"

FirmwareUpdateWin::FirmwareUpdateWin(Ui_MainUI* ui)
    : FirmwareUpdate(ui)
{
}

FirmwareUpdateWin::~FirmwareUpdateWin() = default;

bool FirmwareUpdateWin::unzip()
{
    return false;
}
