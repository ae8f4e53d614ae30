#include "baudprobe.h"

#include "delay.h"

#include <QSerialPort>

qint32 probeBaudRate(QSerialPort& port, const QString& portName, const BaudProbeOptions& options)
{
    for (const qint32 rate : options.rates) {
        if (port.isOpen())
            port.close();
        port.setPortName(portName);
        port.setBaudRate(rate);
        if (!port.open(QIODevice::ReadWrite))
            continue;
        // A pseudo-terminal refuses data-bit and parity changes; it runs 8N1 anyway, so a
        // refusal is no reason to skip the rate.
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
        port.clearError();

        port.readAll(); // what came before the question is no answer to it
        port.write(options.command);
        port.flush();
        delay(options.answerWaitMs);
        const QByteArray reply = port.readAll();
        if (!reply.contains(options.answer))
            continue;
        if (options.settleMs > 0)
            delay(options.settleMs);
        port.readAll();
        return rate;
    }
    return 0;
}
