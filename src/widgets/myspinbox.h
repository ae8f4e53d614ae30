#ifndef MYSPINBOX_H
#define MYSPINBOX_H

#include <QSpinBox>

class QAbstractSpinBox;

// Whether `event` is a Return or Enter key press sent to `box` itself. If so, the typed text has
// been taken as the value; the spin box reports enterPressed() and swallows the key.
bool takeEnterKey(QAbstractSpinBox* box, QObject* watched, QEvent* event);

// A spin box that reports Return and Enter as enterPressed() instead of handling them itself.
// The typed text is taken as the value first, so the receiver reads what the user sees.
class MySpinBox : public QSpinBox
{
    Q_OBJECT

public:
    explicit MySpinBox(QWidget* parent = nullptr);

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void enterPressed();
};

#endif // MYSPINBOX_H
