#ifndef MYDOUBLEVALIDATOR_H
#define MYDOUBLEVALIDATOR_H

#include <QDoubleValidator>
#include <QIntValidator>
#include <QLocale>

// Numbers in the EDID editor and its dialogs follow one rule whatever the user's locale: a point
// is the decimal separator and there are no group separators, as in the per-user XML files and
// as the encoder reads the fields (QString::toDouble, the C locale). A comma typed where the
// point belongs is taken as the point (many keyboards give a comma on the numeric keypad), so
// "0,64" becomes "0.64" as it is typed and never reaches the encoder as something else.
QLocale editorNumberLocale();

// A decimal validator on that rule that never leaves an out-of-range value as Intermediate, so a
// line edit cannot hold a value above its top or with more decimals than allowed.
class MyDoubleValidator : public QDoubleValidator
{
    Q_OBJECT

public:
    MyDoubleValidator(double bottom, double top, int decimals, QObject* parent = nullptr);

    State validate(QString& input, int& pos) const override;
};

// An integer validator on the same rule: decimal digits only, no group separators.
QIntValidator* editorIntValidator(int bottom, int top, QObject* parent);

#endif // MYDOUBLEVALIDATOR_H
