#ifndef FORMTESTUTIL_H
#define FORMTESTUTIL_H

#include "pagerender.h"

#include <QString>

class QAbstractButton;
class QWidget;

// The object name of a widget's parent as the form names it: a tab page's parent is its tab
// widget, not the tab widget's internal stack.
QString parentName(const QWidget* w);

// Brings `page` to the front: each tab widget and stacked widget above it shows the page, or
// the page that holds it.
void bringToFront(QWidget* page);

// Lays out everything in `w` that waits for it and lets the posted layout and polish work run.
void settleLayouts(QWidget* w);

// The first button inside `frame` whose text is `text`; null when there is none.
QAbstractButton* buttonWithText(QWidget* frame, const QString& text);

// When PLEXA_SCREENSHOT_DIR is set (scripts/screenshots.sh), saves `widget` there as name.png.
// False only when a screenshot was asked for and could not be saved.
bool saveScreenshot(QWidget* widget, const QString& name);

// What the main form lays out on purpose, for the render check.
RenderExceptions mainFormRenderExceptions();

#endif // FORMTESTUTIL_H
