#ifndef MYDOUBLEVALIDATOR_H
#define MYDOUBLEVALIDATOR_H

#include <QDoubleValidator>

// A decimal validator that never leaves an out-of-range value as Intermediate, so a line edit
// cannot hold a value above its top or with more decimals than allowed.
class MyDoubleValidator : public QDoubleValidator
{
    Q_OBJECT

public:
    MyDoubleValidator(double bottom, double top, int decimals, QObject* parent = nullptr);

    State validate(QString& input, int& pos) const override;
};

#endif // MYDOUBLEVALIDATOR_H
