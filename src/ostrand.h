#ifndef OSTRAND_H
#define OSTRAND_H

#include "nosetup.h"

class Ui_MainUI;
#include "device.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
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

    // EDID services of the viewer; placeholders until the telnet page is written.
    // Reads the EDID chosen on the unit's page; empty on failure.
    virtual QByteArray getEDID() { return {}; }
    // The names ("Input " and the number) of the unit's inputs in custom EDID mode and not
    // locked; empty when there is none (a failed link reports itself).
    virtual QStringList getAvailableInputs(QString productName, QString ip, QString port)
    {
        Q_UNUSED(productName)
        Q_UNUSED(ip)
        Q_UNUSED(port)
        return {};
    }
    // Sends `edid` to the custom EDID of `input` (its number as text) and reports the outcome.
    virtual void uploadCustomEDID(QString input, QString ip, QString port, QByteArray edid, QString productName)
    {
        Q_UNUSED(input)
        Q_UNUSED(ip)
        Q_UNUSED(port)
        Q_UNUSED(edid)
        Q_UNUSED(productName)
    }

signals:
    void refreshImmediately();

public slots:
    virtual void downloadEDID();

protected:
    Ostrand(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;
};

#endif // OSTRAND_H
