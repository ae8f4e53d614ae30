#ifndef SCALERFIXTURE_H
#define SCALERFIXTURE_H

#include "constants.h"
#include "scaler.h"
#include "serialports.h"
#include "ui_mainui.h"

#include <QColor>
#include <QComboBox>
#include <QMainWindow>
#include <QPalette>
#include <QStatusBar>

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

#endif // SCALERFIXTURE_H
