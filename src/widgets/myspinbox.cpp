#include "myspinbox.h"

#include <QDebug>
#include <QKeyEvent>

bool takeEnterKey(QAbstractSpinBox* box, QObject* watched, QEvent* event)
{
    if (watched != box || event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    box->interpretText();
    qDebug() << "enterPressed";
    return true;
}

MySpinBox::MySpinBox(QWidget* parent)
    : QSpinBox(parent)
{
    installEventFilter(this);
}

bool MySpinBox::eventFilter(QObject* watched, QEvent* event)
{
    if (takeEnterKey(this, watched, event)) {
        emit enterPressed();
        return true;
    }
    return QSpinBox::eventFilter(watched, event);
}
