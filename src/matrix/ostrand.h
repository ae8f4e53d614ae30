#ifndef OSTRAND_H
#define OSTRAND_H

#include "nosetup.h"

class Ui_MainUI;
class QTcpSocket;
#include "device.h"

#include <QByteArray>
#include <QHash>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

// Control page of the telnet-driven matrix switchers (the four-port Quillon and the eight-port
// Rennart), reached over TCP only. The page is never shown: it parents its sockets and its
// password question, and works through the main form's EDID source drop-down, its two buttons,
// the firmware-version field and the status bar.
//
// Every exchange goes through runCommand(): one connection per command or short sequence, the
// unit's Admin login when it asks for one, each reply taken once the unit falls quiet after it
// (whatever its prompt says), within a bounded wait. The EDID operations (edid.cpp) read, save and upload EDIDs as hex text.
class Ostrand : public QWidget
{
    Q_OBJECT

public:
    explicit Ostrand(Ui_MainUI* ui);
    ~Ostrand() override;

    // The hub passes discovery's record, valid only during the call: what the page needs of it
    // is copied here.
    virtual void selectedProductChanged(_Device* unit);

    // The names ("Input " and the number) of the unit's inputs in custom EDID mode and not
    // locked; empty when there is none (a failed link reports itself, and the inputs found before
    // it are kept).
    virtual QStringList getAvailableInputs(QString productName, QString ip, QString port);
    // Sends `edid` to the custom EDID of `input` (its number as text) and reports the outcome.
    virtual void uploadCustomEDID(QString input, QString ip, QString port, QByteArray edid, QString productName);

    // The command runner. Returns the answer (the lines between the unit's echo of the command
    // and its prompt, joined and trimmed), or "err" when there is no connection, no reply within
    // the wait, or no login. `open` starts a new connection; `close` ends it afterwards (every
    // failure ends it too). The command goes out in upper case.
    QString runCommand(const QString& ip, const QString& port, const QString& command, bool open, bool close);
    // The same for the selected unit.
    QString runCommand(const QString& command, bool open, bool close);

    // The answer of a whole reply as the unit sends it: the lines between the first (the echo)
    // and the last (the prompt), joined without separator and trimmed.
    static QString answerOf(const QString& reply);
    // The EDID source list of a unit: inputs, outputs, the six presets, "External EDID", with
    // empty texts where separators go.
    static QStringList edidSourceList(bool eightPorts);

signals:
    void refreshImmediately();

public slots:
    void showResult();
    virtual void downloadEDID();
    // Reads the EDID chosen on the unit's page; empty on failure.
    virtual QByteArray getEDID();
    void clearStatus();
    void finishWriteFile(QByteArray out);

protected:
    Ostrand(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

private:
    // What the page keeps of the selected unit.
    struct Unit {
        bool valid = false;
        QString ip;   // dotted decimal
        QString port; // decimal telnet port
        QString productName;
        QString firmwareVersion;
        QString mac;  // "02:1C:9A:0A:FF:3E"
    };
    struct Step; // one reply of an exchange (ostrand.cpp)

    void showStatus(const QString& message);
    void clearExpiredStatus();
    QString fail();
    QString closeSockErr(QTcpSocket* link);
    bool openLink(const QString& ip, const QString& port);
    Step exchange(const QByteArray& line, int pauseMs, int waitMs, bool command);
    QString loginKey(const QString& ip, const QString& port) const;
    bool askPassword(QString* password);
    void showConnectionError(const QString& text);

    QPointer<QTcpSocket> socket;
    qint64 statusDeadline = 0;
    // The Admin passwords typed during this run, by unit (its MAC, or its address when the page
    // never saw its MAC); memory only. A rejected one is forgotten.
    QHash<QString, QString> passwords;
    QHash<QString, QString> macByAddress; // "ip:port" of units selected so far -> MAC
    QString promptContext;
    QString lastReply;
    Unit device;
    QPalette errorPalette;
    QPalette okPalette;
    QPalette busyPalette;
};

#endif // OSTRAND_H
