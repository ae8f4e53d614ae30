// Scaler controller: finding the generic scalers among the serial ports and watching their count.
#include "scaler.h"

#include "constants.h"
#include "delay.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QStatusBar>
#include <QTimer>

namespace {
const int pollIntervalMs = 2000;

// A port's description with its dashes and blanks removed: "COR-MITH Scaler" is a CORMITH unit.
QString portKey(const QString& description)
{
    QString key = description;
    key.remove(QLatin1Char('-'));
    key.remove(QLatin1Char(' '));
    return key;
}

bool isGenericScalerPort(const SerialPortEntry& port)
{
    const QString key = portKey(port.description);
    return key.startsWith(ID_CORMITH) || key.startsWith(ID_DARVOSK) || key.startsWith(ID_FORNALE);
}
} // namespace

void Scaler::findDevices()
{
    deviceList.clear();
    bool selectedStillPresent = false;
    for (const SerialPortEntry& port : SerialPortLister::availablePorts()) {
        if (!isGenericScalerPort(port))
            continue;
        const QString key = portKey(port.description);
        Device device = deviceOnPort(port);
        if (key.contains(ID_CORMITH)) {
            device.name = NAME_SCALER_HDMI_VGA_TO_3GSDI;
            device.type = 4;
        } else if (key.contains(ID_DARVOSK)) {
            device.name = NAME_SCALER_VGA_AUDIO_TO_HDMI;
            device.type = 6;
        } else {
            device.name = NAME_SCALER_VGA_TO_DVI;
            device.type = 5;
        }
        if (device.portName == selectedDevice.portName && device.name == selectedDevice.name)
            selectedStillPresent = true;
        deviceList.append(device);
    }
    // Not through setState: the pages keep their look, but tab changes read nothing any more.
    // Only a generic scaler's state hangs on its port: a Zarrick, Cavrosh or Jovaris-family unit
    // picked meanwhile is not in this list and keeps its state.
    const QString product = ui->productCombobox->currentText();
    const bool genericSelected = product.contains(NAME_SCALER_HDMI_VGA_TO_3GSDI)
                                 || product.contains(NAME_SCALER_VGA_TO_DVI)
                                 || product.contains(NAME_SCALER_VGA_AUDIO_TO_HDMI);
    if (!selectedStillPresent && genericSelected)
        deviceState = 0;
}

void Scaler::checkDeviceCount()
{
    const QString product = ui->productCombobox->currentText();
    // The splitters are serial units with a poll of their own.
    if (product.contains(MODEL_FARRUND) || product.contains(MODEL_HARLISK) || product.contains(MODEL_JORVALE))
        return;
    if (!pollingEnabled)
        return;

    int count = 0;
    for (const SerialPortEntry& port : SerialPortLister::availablePorts()) {
        if (isGenericScalerPort(port))
            ++count;
    }
    if (firstPoll) {
        lastDeviceCount = count;
        firstPoll = false;
        return;
    }
    if (count != lastDeviceCount) {
        lastDeviceCount = count;
        // Reported once: the list refresh that answers restarts the poll.
        if (pollTimer)
            pollTimer->stop();
        emit refreshImmediately();
    }
}

QList<Device> Scaler::updateDeviceList()
{
    for (int i = 0; i < 10 && availability != AVAILABLE; ++i)
        delay(100);
    if (availability == AVAILABLE)
        findDevices();
    ui->statusBar->clearMessage();
    if (pollTimer)
        pollTimer->start(TimeScale::ms(pollIntervalMs));
    return deviceList;
}
