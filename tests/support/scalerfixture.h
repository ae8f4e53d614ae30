#ifndef SCALERFIXTURE_H
#define SCALERFIXTURE_H

#include "constants.h"
#include "scaler.h"
#include "serialports.h"
#include "simdevice.h"
#include "ui_mainui.h"

#include <QColor>
#include <QComboBox>
#include <QMainWindow>
#include <QPalette>
#include <QStatusBar>
#include <QtTest>

#include <memory>

// The main form in a window and the real scaler controller over it, without the hub.
struct ScalerFixture {
    QMainWindow window;
    Ui_MainUI ui;
    std::unique_ptr<Scaler> scaler;

    ScalerFixture()
    {
        ui.setupUi(&window);
        scaler = std::make_unique<Scaler>(&ui);
    }
    ~ScalerFixture() { SerialPortLister::clearRegisteredPorts(); }

    // Puts `text` into the product drop-down and picks it, as the hub would.
    void selectProductText(const QString& text)
    {
        ui.productCombobox->addItem(text);
        ui.productCombobox->setCurrentIndex(ui.productCombobox->count() - 1);
    }
    // A generic scaler on `port`, picked in the drop-down as the hub lists it.
    void pickGeneric(const QString& port, const QString& name = NAME_SCALER_VGA_TO_DVI)
    {
        scaler->selectedDevice.name = name;
        scaler->selectedDevice.portName = port;
        selectProductText(name + QStringLiteral(", ") + port);
    }
    QString status() const { return ui.statusBar->currentMessage(); }
    bool statusIsError() const
    {
        return ui.statusBar->palette().color(QPalette::WindowText) == QColor(255, 70, 50);
    }
};

// Picking a generic scaler writes the boot loader's ping and closes the port again. On a loaded
// machine the simulated unit may read those bytes only later (and take them for the start of the
// next command line if the port has been reopened at the command rate by then), so a test waits
// for the pings of all `picks` before it clears the unit's log.
inline bool selectionPingsArrived(const SimDevice& sim, int picks = 1)
{
    const QByteArray ping("\x03\x20\x20", 3);
    return QTest::qWaitFor([&] { return sim.received().count(ping) >= picks; }, 10000);
}

#endif // SCALERFIXTURE_H
