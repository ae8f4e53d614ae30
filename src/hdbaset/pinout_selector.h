#ifndef PINOUT_SELECTOR_H
#define PINOUT_SELECTOR_H

#include <QDialog>

class Ui_pinout_selector;

// Modal choice of the link cable's wiring standard, T-568A or T-568B (the starting choice), shown
// as two pictures. Ok emits selectedPinoutChanged(isB) with the choice, even when it is the one
// already in force; Cancel, Esc and the window's close button restore the last confirmed choice
// and emit nothing.
class pinout_selector : public QDialog
{
    Q_OBJECT

public:
    explicit pinout_selector(QWidget* parent = nullptr);
    ~pinout_selector() override;

    bool confirmedIsB() const { return isB; }

signals:
    void selectedPinoutChanged(bool isB);

public slots:
    void done(int r) override;

private:
    Ui_pinout_selector* ui;
    bool isB = true;
};

#endif // PINOUT_SELECTOR_H
