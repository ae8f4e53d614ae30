// Placeholder: a later change replaces this skeleton with the real raw-USB burner.
#include "rolvanecontrol.h"

rolvaneControl::rolvaneControl(Ui_MainUI* ui)
    : rolvaneControl(ui, NoSetup())
{
}

rolvaneControl::rolvaneControl(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

rolvaneControl::~rolvaneControl() = default;

void rolvaneControl::initiateFirmwareUpdate() {}
