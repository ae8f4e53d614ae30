// Placeholder: a later change replaces this skeleton with the real HID updater.
#include "korvinaupdater.h"

KorvinaUpdater::KorvinaUpdater(Ui_MainUI* ui)
    : KorvinaUpdater(ui, NoSetup())
{
}

KorvinaUpdater::KorvinaUpdater(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

KorvinaUpdater::~KorvinaUpdater() = default;

void KorvinaUpdater::initiateFirmwareUpdate() {}
