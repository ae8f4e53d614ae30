#ifndef CONTROLLERFACTORY_H
#define CONTROLLERFACTORY_H

#include <QList>
#include <QPointer>

#include "nosetup.h"

class Ui_MainUI;
class QObject;
class QSerialPort;

class Discovery;
class Scaler;
class Ostrand;
class Lunmora;
class Converter;
class rolvaneControl;
class KorvinaUpdater;
class UpdateTabControl;
class Caltor;
class FirmwareUpdate;
class EdidPlus;

// Creates the controllers of the main window. The window asks this factory instead of calling
// `new` itself, so a test can hand it doubles that record what the window does with them.
// Controllers come back without a Qt parent; the caller decides how long they live.
class ControllerFactory
{
public:
    virtual ~ControllerFactory();

    virtual QSerialPort* createSerialPort();
    virtual Discovery* createDiscovery(Ui_MainUI* ui);
    virtual Scaler* createScaler(Ui_MainUI* ui);
    virtual Ostrand* createOstrand(Ui_MainUI* ui);
    virtual Lunmora* createLunmora(Ui_MainUI* ui);
    virtual Converter* createConverter(Ui_MainUI* ui);
    virtual rolvaneControl* createRolvaneControl(Ui_MainUI* ui);
    virtual KorvinaUpdater* createKorvinaUpdater(Ui_MainUI* ui);
    virtual UpdateTabControl* createUpdateTabControl(Ui_MainUI* ui);
    virtual Caltor* createCaltor(Ui_MainUI* ui);
    // The platform variants: FirmwareUpdateWin and EdidPlusWin.
    virtual FirmwareUpdate* createFirmwareUpdate(Ui_MainUI* ui);
    virtual EdidPlus* createEdidPlus(Ui_MainUI* ui, QSerialPort* port);

    // Deletes what this factory created, newest first. The window calls it when it is destroyed,
    // after the event loop has ended, so every controller closes its links before the process
    // exits. A factory whose controllers are owned elsewhere (test doubles) deletes nothing here.
    virtual void disposeControllers();

    // The factory of the running program: creates the real controllers.
    static ControllerFactory* standard();

protected:
    template <typename T> T* track(T* object)
    {
        m_created.append(object);
        return object;
    }

private:
    QList<QPointer<QObject>> m_created;
};

#endif // CONTROLLERFACTORY_H
