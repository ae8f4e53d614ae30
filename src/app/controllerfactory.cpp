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
    return track(new QSerialPort());
}

Discovery* ControllerFactory::createDiscovery(Ui_MainUI* ui)
{
    return track(new Discovery(ui));
}

Scaler* ControllerFactory::createScaler(Ui_MainUI* ui)
{
    return track(new Scaler(ui));
}

Ostrand* ControllerFactory::createOstrand(Ui_MainUI* ui)
{
    return track(new Ostrand(ui));
}

Lunmora* ControllerFactory::createLunmora(Ui_MainUI* ui)
{
    return track(new Lunmora(ui));
}

Converter* ControllerFactory::createConverter(Ui_MainUI* ui)
{
    return track(new Converter(ui));
}

rolvaneControl* ControllerFactory::createRolvaneControl(Ui_MainUI* ui)
{
    return track(new rolvaneControl(ui));
}

KorvinaUpdater* ControllerFactory::createKorvinaUpdater(Ui_MainUI* ui)
{
    return track(new KorvinaUpdater(ui));
}

UpdateTabControl* ControllerFactory::createUpdateTabControl(Ui_MainUI* ui)
{
    return track(new UpdateTabControl(ui));
}

Caltor* ControllerFactory::createCaltor(Ui_MainUI* ui)
{
    return track(new Caltor(ui));
}

FirmwareUpdate* ControllerFactory::createFirmwareUpdate(Ui_MainUI* ui)
{
    return track(new FirmwareUpdateWin(ui));
}

EdidPlus* ControllerFactory::createEdidPlus(Ui_MainUI* ui, QSerialPort* port)
{
    return track(new EdidPlusWin(ui, port));
}

void ControllerFactory::disposeControllers()
{
    while (!m_created.isEmpty()) {
        QPointer<QObject> object = m_created.takeLast();
        delete object.data();
    }
}

ControllerFactory* ControllerFactory::standard()
{
    static ControllerFactory factory;
    return &factory;
}
