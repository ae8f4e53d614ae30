#include "myspinbox.h"

#include <QDebug>
#include <QKeyEvent>

namespace {
bool isEnterKeyPress(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
} // namespace

MySpinBox::MySpinBox(QWidget* parent)
    : QSpinBox(parent)
{
    installEventFilter(this);
}

bool MySpinBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && isEnterKeyPress(event)) {
        interpretText();
        qDebug() << "enterPressed";
        emit enterPressed();
        return true;
    }
    return QSpinBox::eventFilter(watched, event);
}
