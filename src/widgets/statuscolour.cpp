#include "statuscolour.h"

#include <QEvent>
#include <QStatusBar>
#include <QStyle>

void StatusColourKeeper::install(QStatusBar* bar)
{
    if (!bar)
        return;
    bar->installEventFilter(new StatusColourKeeper(bar));
}

StatusColourKeeper::StatusColourKeeper(QStatusBar* bar)
    : QObject(bar)
    , bar(bar)
{
    follow();
}

bool StatusColourKeeper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == bar && event->type() == QEvent::PaletteChange && !restyling)
        follow();
    return QObject::eventFilter(watched, event);
}

void StatusColourKeeper::follow()
{
    const QPalette given = bar->palette();
    const QColor wanted = given.color(QPalette::WindowText);
    if (wanted == shown && !bar->styleSheet().isEmpty())
        return;
    shown = wanted;
    // Re-polishing changes the palette itself; those changes are not the code's.
    restyling = true;
    // The style sheet remembers the palette a widget had when it was polished and puts it back
    // when it polishes the widget again. Let it put back the old one now, and remember the one
    // just given, so that a later re-polish cannot bring an earlier colour back.
    bar->style()->unpolish(bar);
    bar->setPalette(given);
    bar->setStyleSheet(QStringLiteral("QStatusBar { color: rgba(%1, %2, %3, %4); }")
                           .arg(wanted.red())
                           .arg(wanted.green())
                           .arg(wanted.blue())
                           .arg(wanted.alpha()));
    restyling = false;
}
