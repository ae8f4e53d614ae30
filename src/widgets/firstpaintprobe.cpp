#include "firstpaintprobe.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <unistd.h>

namespace {
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Watches the whole application rather than each widget: one filter, installed in constant time
// however large the form is, and removed again once the first paint has been seen, so neither the
// measured start-up nor the idle run afterwards carries it.
class FirstPaintProbe : public QObject
{
public:
    enum class Mode { Stay, Quit, Exit };

    FirstPaintProbe(QWidget* window, Mode mode)
        : QObject(window)
        , m_window(window)
        , m_mode(mode)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_done && watched->isWidgetType()
            && static_cast<QWidget*>(watched)->window() == m_window) {
            m_done = true;
            qApp->removeEventFilter(this);
            // Report after the paint has completed.
            QTimer::singleShot(0, this, [this] {
                std::printf("PAINTED %ld\n", residentKb());
                std::fflush(stdout);
                if (m_mode == Mode::Exit)
                    _exit(0); // nothing after the paint is counted, not even the tear-down
                if (m_mode == Mode::Quit)
                    QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    QWidget* m_window;
    Mode m_mode;
    bool m_done = false;
};
} // namespace

void installFirstPaintProbe(QWidget* window)
{
    const QByteArray mode = qgetenv("PLEXA_REPORT_FIRST_PAINT");
    if (mode.isEmpty() || !qApp)
        return;
    const auto how = mode == "quit"   ? FirstPaintProbe::Mode::Quit
                     : mode == "exit" ? FirstPaintProbe::Mode::Exit
                                      : FirstPaintProbe::Mode::Stay;
    qApp->installEventFilter(new FirstPaintProbe(window, how));
}
