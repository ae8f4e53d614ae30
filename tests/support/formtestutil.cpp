#include "formtestutil.h"

#include <QWidget>

QString parentName(const QWidget* w)
{
    const QWidget* p = w->parentWidget();
    if (p && p->objectName() == QLatin1String("qt_tabwidget_stackedwidget"))
        p = p->parentWidget();
    return p ? p->objectName() : QString();
}
