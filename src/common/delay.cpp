#include "delay.h"
#include "timescale.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

void delay(int ms)
{
    QDeadlineTimer deadline(qMax(0, TimeScale::ms(ms)), Qt::PreciseTimer);
    // Events are always handled once more after the last sleep: a thread that was held up past
    // the deadline (a busy machine) must still see the reply that arrived meanwhile before its
    // caller takes the end of the wait for silence.
    for (;;) {
        const qint64 left = deadline.remainingTime();
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(qMin<qint64>(50, qMax<qint64>(left, 0))));
        const qint64 rest = deadline.remainingTime();
        if (rest <= 0)
            break;
        QThread::msleep(quint64(qMin<qint64>(5, rest)));
    }
}
