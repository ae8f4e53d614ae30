#ifndef FORMTESTUTIL_H
#define FORMTESTUTIL_H

#include <QString>

class QWidget;

// The object name of a widget's parent as the form names it: a tab page's parent is its tab
// widget, not the tab widget's internal stack.
QString parentName(const QWidget* w);

#endif // FORMTESTUTIL_H
