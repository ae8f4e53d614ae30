#ifndef BAUDPROBE_H
#define BAUDPROBE_H

// Finding the serial rate of a unit whose rate the user may have changed (the Jovaris and Surrow
// extenders, the serial/TCP extender): at each rate of a list the port is opened 8N1 without
// flow control and "#HELP" is sent; the first rate at which the unit echoes "#HELP" wins.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

class QSerialPort;

struct BaudProbeOptions
{
    QList<qint32> rates = {115200, 57600, 38400, 19200, 9600, 4800, 2400};
    QByteArray command = QByteArrayLiteral("#HELP\r\n");
    QByteArray answer = QByteArrayLiteral("#HELP"); // case-sensitive, anywhere in the reply
    int answerWaitMs = 500;  // device ms (TimeScale), run with delay()
    int settleMs = 2500;     // after a hit: the rest of the help text, then dropped; 0 for none
};

// Returns the rate at which the unit answered, with the port left open at it and its input
// cleared; 0 when no rate answered (the port may then be open at the last rate tried). The probe
// reads the port itself: no readyRead() slot of the caller may read it meanwhile.
qint32 probeBaudRate(QSerialPort& port, const QString& portName,
                     const BaudProbeOptions& options = BaudProbeOptions());

#endif // BAUDPROBE_H
