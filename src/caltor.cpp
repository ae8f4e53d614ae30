// Placeholder: a later change replaces this skeleton with the real Caltor controller.
#include "caltor.h"

Caltor::Caltor(Ui_MainUI* ui)
    : Caltor(ui, NoSetup())
{
}

Caltor::Caltor(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

Caltor::~Caltor() = default;

void Caltor::browseUpdateFiles() {}

void Caltor::initiateCALTORFirmwareUpdate() {}
