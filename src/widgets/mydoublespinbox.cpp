#include "mydoublespinbox.h"

#include "myspinbox.h"

MyDoubleSpinBox::MyDoubleSpinBox(QWidget* parent)
    : QDoubleSpinBox(parent)
{
    installEventFilter(this);
}

bool MyDoubleSpinBox::eventFilter(QObject* watched, QEvent* event)
{
    if (takeEnterKey(this, watched, event)) {
        emit enterPressed();
        return true;
    }
    return QDoubleSpinBox::eventFilter(watched, event);
}
