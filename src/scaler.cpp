// Placeholder: a later change replaces this skeleton with the real scaler controller.
#include "scaler.h"
#include "timingpreset.h"

namespace {
const int presetCount = 6;
}

Scaler::Scaler(Ui_MainUI* ui)
    : Scaler(ui, NoSetup())
{
    for (int i = 0; i < presetCount; ++i)
        m_presets.append(new TimingPreset(ui, i));
}

Scaler::Scaler(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

Scaler::~Scaler()
{
    qDeleteAll(m_presets);
}

void Scaler::setPollingEnabled(bool enabled)
{
    Q_UNUSED(enabled)
}

void Scaler::setState(int state)
{
    Q_UNUSED(state)
}

void Scaler::selectedProductChanged(Device device)
{
    Q_UNUSED(device)
}

void Scaler::showProductWidgets(QString name)
{
    Q_UNUSED(name)
}

void Scaler::TCPConnect() {}

void Scaler::TCPDisconnect() {}

void Scaler::clearRunFlag() {}

QList<Device> Scaler::updateDeviceList()
{
    return {};
}

void Scaler::clearStatus() {}

void Scaler::scalerTabChanged(int index)
{
    Q_UNUSED(index)
}

void Scaler::updateSelectBrowse_2() {}

void Scaler::initiateFirmwareUpdate() {}

void Scaler::initiateJOVARISFirmwareUpdate() {}

void Scaler::initiateOSTRANDFirmwareUpdate() {}

void Scaler::zarrickDownloadEDID() {}

void Scaler::cavroshDownloadEDID() {}

void Scaler::jovarisDownloadEDID() {}
