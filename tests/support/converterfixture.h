#ifndef CONVERTERFIXTURE_H
#define CONVERTERFIXTURE_H

// The converter page's tests: the form, fake HID units and a fake raw-USB bus installed for the
// whole program, scripted dialogs, and EDIDs of one and two blocks.

#include "convertersim.h"
#include "fakehidunit.h"
#include "fakeusbbus.h"
#include "hid.h"
#include "scripteddialogs.h"
#include "simedid.h"
#include "ui_mainui.h"

#include <QColor>
#include <QMainWindow>
#include <QPalette>
#include <QStatusBar>

#include <memory>

struct ConverterFixture {
    QMainWindow window;
    Ui_MainUI ui;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope dialogScope{dialogs};
    FakeHidBus hid;
    FakeUsbBus usb;
    FakeUsbBus::Scope usbScope{usb};
    std::unique_ptr<ConverterSim> orrelin;
    std::unique_ptr<ConverterSim> perrick;
    FakeHidUnit* orrelinUnit = nullptr;
    FakeHidUnit* perrickUnit = nullptr;

    ConverterFixture()
    {
        ui.setupUi(&window);
        HidBackend::setCurrent(&hid);
    }
    ~ConverterFixture() { HidBackend::setCurrent(nullptr); }
    ConverterFixture(const ConverterFixture&) = delete;
    ConverterFixture& operator=(const ConverterFixture&) = delete;

    ConverterSim& addOrrelin()
    {
        orrelinUnit = &hid.addUnit(0x1EC7, 0x000E);
        orrelin = std::make_unique<ConverterSim>(*orrelinUnit, ConverterSim::Kind::Converter);
        return *orrelin;
    }
    ConverterSim& addPerrick()
    {
        perrickUnit = &hid.addUnit(0x1EC7, 0x001E);
        perrick = std::make_unique<ConverterSim>(*perrickUnit, ConverterSim::Kind::Scaler);
        return *perrick;
    }

    QString status() const { return ui.statusBar->currentMessage(); }
    bool statusIsError() const { return ui.statusBar->palette().color(QPalette::WindowText) == QColor(255, 70, 50); }
    bool statusIsSuccess() const { return ui.statusBar->palette().color(QPalette::WindowText) == QColor(Qt::green); }
};

// A valid one-block EDID; with `twoBlocks` it announces and carries a CTA-861 extension.
inline QByteArray converterTestEdid(int seed, bool twoBlocks)
{
    QByteArray edid = simSampleEdid(seed);
    if (!twoBlocks)
        return edid;
    edid[126] = 1;
    edid[127] = char(edid.at(127) - 1);
    QByteArray extension(128, '\0');
    extension[0] = 0x02;
    extension[1] = 0x03;
    extension[2] = 0x04;
    extension[3] = char(seed);
    quint8 sum = 0;
    for (int i = 0; i < 127; ++i)
        sum = quint8(sum + quint8(extension.at(i)));
    extension[127] = char(quint8(256 - sum));
    return edid + extension;
}

#endif // CONVERTERFIXTURE_H
