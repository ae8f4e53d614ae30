#ifndef MYDOUBLESPINBOX_H
#define MYDOUBLESPINBOX_H

#include <QDoubleSpinBox>

// A double spin box that reports Return and Enter as enterPressed() instead of handling them
// itself. The typed text is taken as the value first, so the receiver reads what the user sees.
class MyDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit MyDoubleSpinBox(QWidget* parent = nullptr);

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void enterPressed();
};

#endif // MYDOUBLESPINBOX_H
