#include "mydoublespinbox.h"

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

MyDoubleSpinBox::MyDoubleSpinBox(QWidget* parent)
    : QDoubleSpinBox(parent)
{
    installEventFilter(this);
}

bool MyDoubleSpinBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && isEnterKeyPress(event)) {
        interpretText();
        qDebug() << "enterPressed";
        emit enterPressed();
        return true;
    }
    return QDoubleSpinBox::eventFilter(watched, event);
}
