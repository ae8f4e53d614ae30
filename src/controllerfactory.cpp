#include "controllerfactory.h"

#include "caltor.h"
#include "converter.h"
#include "discovery.h"
#include "edidpluswin.h"
#include "firmwareupdatewin.h"
#include "korvinaupdater.h"
#include "lunmora.h"
#include "ostrand.h"
#include "rolvanecontrol.h"
#include "scaler.h"
#include "updatetabcontrol.h"

#include <QSerialPort>

ControllerFactory::~ControllerFactory() = default;

QSerialPort* ControllerFactory::createSerialPort()
{
    return new QSerialPort();
}

Discovery* ControllerFactory::createDiscovery(Ui_MainUI* ui)
{
    return new Discovery(ui);
}

Scaler* ControllerFactory::createScaler(Ui_MainUI* ui)
{
    return new Scaler(ui);
}

Ostrand* ControllerFactory::createOstrand(Ui_MainUI* ui)
{
    return new Ostrand(ui);
}

Lunmora* ControllerFactory::createLunmora(Ui_MainUI* ui)
{
    return new Lunmora(ui);
}

Converter* ControllerFactory::createConverter(Ui_MainUI* ui)
{
    return new Converter(ui);
}

rolvaneControl* ControllerFactory::createRolvaneControl(Ui_MainUI* ui)
{
    return new rolvaneControl(ui);
}

KorvinaUpdater* ControllerFactory::createKorvinaUpdater(Ui_MainUI* ui)
{
    return new KorvinaUpdater(ui);
}

UpdateTabControl* ControllerFactory::createUpdateTabControl(Ui_MainUI* ui)
{
    return new UpdateTabControl(ui);
}

Caltor* ControllerFactory::createCaltor(Ui_MainUI* ui)
{
    return new Caltor(ui);
}

FirmwareUpdate* ControllerFactory::createFirmwareUpdate(Ui_MainUI* ui)
{
    return new FirmwareUpdateWin(ui);
}

EdidPlus* ControllerFactory::createEdidPlus(Ui_MainUI* ui, QSerialPort* port)
{
    return new EdidPlusWin(ui, port);
}

ControllerFactory* ControllerFactory::standard()
{
    static ControllerFactory factory;
    return &factory;
}
