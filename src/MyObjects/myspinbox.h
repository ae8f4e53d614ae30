#ifndef MYSPINBOX_H
#define MYSPINBOX_H

#include <QSpinBox>

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
