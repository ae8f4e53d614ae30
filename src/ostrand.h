#ifndef OSTRAND_H
#define OSTRAND_H

#include "controllerfactory.h"
#include "device.h"

#include <QWidget>

// Control page of the telnet-driven matrix models, reached over TCP only.
class Ostrand : public QWidget
{
    Q_OBJECT

public:
    explicit Ostrand(Ui_MainUI* ui);
    ~Ostrand() override;

    // The unit stays owned by Discovery.
    virtual void selectedProductChanged(_Device* unit);

signals:
    void refreshImmediately();

public slots:
    virtual void downloadEDID();

protected:
    Ostrand(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;
};

#endif // OSTRAND_H
