#include "mainwin.h"

#include "controllerfactory.h"
#include "edidplus.h"
#include "firmwareupdate.h"
#include "hdbaset.h"
#include "sorvaneinterface.h"
#include "updatetabcontrol.h"

MainWin::MainWin(ControllerFactory* factory)
    : MainWindow(nullptr, factory)
{
    firmwareUpdate = this->factory->createFirmwareUpdate(ui);
    edidPlus = this->factory->createEdidPlus(ui, serialPort);
    edidPlus->forwardIndexA(summaryText);
    hdbaseT = edidPlus->sorvaneInterface()->hdbaseT();
    connect(hdbaseT, SIGNAL(refreshImmediately()), this, SLOT(autoRefreshList()));
    refreshList();
    connect(edidPlus, SIGNAL(refreshImmediately()), this, SLOT(autoRefreshList()));
    connect(edidPlus, SIGNAL(firmwareUpdateEvent(bool)), updateTabControl, SLOT(setFirmwareColors()));
}

MainWin::~MainWin() = default;
