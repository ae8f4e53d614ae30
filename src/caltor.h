#ifndef CALTOR_H
#define CALTOR_H

#include "nosetup.h"

class Ui_MainUI;

#include <QString>
#include <QWidget>

// Controller of the Caltor extender, reached over serial or TCP, with its firmware update.
class Caltor : public QWidget
{
    Q_OBJECT

public:
    explicit Caltor(Ui_MainUI* ui);
    ~Caltor() override;

    // Address of the unit, written by the product selection; empty for a unit attached by USB.
    QString ipAddress;
    int tcpPort = 23;

public slots:
    virtual void browseUpdateFiles();
    virtual void initiateCALTORFirmwareUpdate();

protected:
    Caltor(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;
};

#endif // CALTOR_H
