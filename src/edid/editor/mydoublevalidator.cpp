#include "mydoublevalidator.h"

QLocale editorNumberLocale()
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return c;
}

MyDoubleValidator::MyDoubleValidator(double bottom, double top, int decimals, QObject* parent)
    : QDoubleValidator(bottom, top, decimals, parent)
{
    setNotation(StandardNotation);
    setLocale(editorNumberLocale());
}

QValidator::State MyDoubleValidator::validate(QString& input, int& pos) const
{
    Q_UNUSED(pos)
    if (input.isEmpty())
        return Intermediate;
    input.replace(QLatin1Char(','), QLatin1Char('.'));
    const QChar point = QLatin1Char('.');
    for (const QChar c : qAsConst(input)) {
        if (c != point && !c.isDigit())
            return Invalid; // signs, exponents, blanks and other locales' digits
    }
    if (input.count(point) > 1)
        return Invalid;
    const int pointAt = input.indexOf(point);
    if (pointAt >= 0 && input.size() - pointAt - 1 > decimals())
        return Invalid;
    // "0." is on its way to "0.64": its value is that of "0".
    const QString number = input.endsWith(point) ? input.chopped(1) : input;
    if (number.isEmpty())
        return Intermediate;
    bool ok = false;
    const double value = editorNumberLocale().toDouble(number, &ok);
    if (!ok)
        return Invalid;
    return value >= bottom() && value <= top() ? Acceptable : Invalid;
}

QIntValidator* editorIntValidator(int bottom, int top, QObject* parent)
{
    auto* validator = new QIntValidator(bottom, top, parent);
    validator->setLocale(editorNumberLocale());
    return validator;
}
