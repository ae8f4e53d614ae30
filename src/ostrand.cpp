// Placeholder: a later change replaces this skeleton with the real telnet matrix page.
#include "ostrand.h"

Ostrand::Ostrand(Ui_MainUI* ui)
    : Ostrand(ui, NoSetup())
{
}

Ostrand::Ostrand(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

Ostrand::~Ostrand() = default;

void Ostrand::selectedProductChanged(_Device* unit)
{
    Q_UNUSED(unit)
}

void Ostrand::downloadEDID() {}
