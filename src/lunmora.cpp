// Placeholder: a later change replaces this skeleton with the real splitter controller.
#include "lunmora.h"

Lunmora::Lunmora(Ui_MainUI* ui)
    : Lunmora(ui, NoSetup())
{
}

Lunmora::Lunmora(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

Lunmora::~Lunmora() = default;

void Lunmora::setPollingEnabled(bool enabled)
{
    Q_UNUSED(enabled)
}

void Lunmora::setTabState(int state)
{
    Q_UNUSED(state)
}

void Lunmora::selectedProductChanged(Device device)
{
    Q_UNUSED(device)
}

void Lunmora::previewProductControls(QString name)
{
    Q_UNUSED(name)
}

void Lunmora::deactivate() {}

QList<Device> Lunmora::updateDeviceList()
{
    return {};
}

void Lunmora::tabChanged(int index)
{
    Q_UNUSED(index)
}

void Lunmora::refreshFWPage() {}
