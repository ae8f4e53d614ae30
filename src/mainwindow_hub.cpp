// The device hub: product list refresh, drop-down, selection and the firmware router.
// Placeholders until the hub is built; refreshList() already arms the first drop-down fill.
#include "mainwindow.h"
#include "ui_mainui.h"

#include "timescale.h"

#include <QTimer>

void MainWindow::refreshList()
{
    if (dropdownPending)
        dropdownTimer->start(TimeScale::ms(5000));
}

void MainWindow::updateProductDropdown() {}
void MainWindow::selectedProductChanged(int) {}
void MainWindow::rebootIpProduct() {}
void MainWindow::firmwareUpdateEvent(bool) {}
void MainWindow::firmwareUpdateRouter(int) {}
void MainWindow::selectProductByMacAddress(QString) {}
void MainWindow::autoRefreshList() {}
void MainWindow::converterDeviceCountCheckWrapper(bool) {}
void MainWindow::updateProductDropdownFromDiscovery() {}
