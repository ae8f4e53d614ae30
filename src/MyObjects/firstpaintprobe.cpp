#include "firstpaintprobe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <cstdio>

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

class FirstPaintProbe : public QObject
{
public:
    FirstPaintProbe(QObject* parent, bool quit)
        : QObject(parent)
        , m_quit(quit)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // Report after the paint has completed.
            QTimer::singleShot(0, this, [this] {
                std::printf("PAINTED %ld\n", residentKb());
                std::fflush(stdout);
                if (m_quit)
                    QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_quit;
    bool m_done = false;
};
} // namespace

void installFirstPaintProbe(QWidget* window)
{
    const QByteArray mode = qgetenv("PLEXA_REPORT_FIRST_PAINT");
    if (mode.isEmpty())
        return;
    auto* probe = new FirstPaintProbe(window, mode == "quit");
    const auto children = window->findChildren<QWidget*>();
    window->installEventFilter(probe);
    for (QWidget* child : children)
        child->installEventFilter(probe);
}
