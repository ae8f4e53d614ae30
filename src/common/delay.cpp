#include "delay.h"
#include "timescale.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

void delay(int ms)
{
    QDeadlineTimer deadline(qMax(0, TimeScale::ms(ms)), Qt::PreciseTimer);
    do {
        const qint64 left = deadline.remainingTime();
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(qMin<qint64>(50, qMax<qint64>(left, 0))));
        const qint64 rest = deadline.remainingTime();
        if (rest <= 0)
            break;
        QThread::msleep(quint64(qMin<qint64>(5, rest)));
    } while (!deadline.hasExpired());
}
