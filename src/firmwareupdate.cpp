// Placeholder: a later change replaces this skeleton with the real serial firmware page.
#include "firmwareupdate.h"

FirmwareUpdate::FirmwareUpdate(Ui_MainUI* ui)
    : FirmwareUpdate(ui, NoSetup())
{
}

FirmwareUpdate::FirmwareUpdate(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

FirmwareUpdate::~FirmwareUpdate() = default;

void FirmwareUpdate::slot_ui_browse() {}

void FirmwareUpdate::slot_ui_startUpgrading() {}

void FirmwareUpdate::slot_ui_startDownload() {}

void FirmwareUpdate::slot_ui_updateConsole(QString text)
{
    Q_UNUSED(text)
}

void FirmwareUpdate::slot_ui_updateProgressBar(int value, int maximum)
{
    Q_UNUSED(value)
    Q_UNUSED(maximum)
}
