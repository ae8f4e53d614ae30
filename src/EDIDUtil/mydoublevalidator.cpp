#include "mydoublevalidator.h"

#include <QLocale>

MyDoubleValidator::MyDoubleValidator(double bottom, double top, int decimals, QObject* parent)
    : QDoubleValidator(bottom, top, decimals, parent)
{
}

QValidator::State MyDoubleValidator::validate(QString& input, int& pos) const
{
    Q_UNUSED(pos)
    if (input.isEmpty())
        return Intermediate;
    const QLocale locale;
    const QChar point = locale.decimalPoint();
    if (input.count(point) > 1)
        return Invalid;
    const int pointAt = input.indexOf(point);
    if (pointAt >= 0 && input.size() - pointAt - 1 > decimals())
        return Invalid;
    bool ok = false;
    const double value = locale.toDouble(input, &ok);
    if (!ok)
        return Invalid;
    return value >= bottom() && value <= top() ? Acceptable : Invalid;
}
