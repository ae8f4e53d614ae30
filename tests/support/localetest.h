#ifndef LOCALETEST_H
#define LOCALETEST_H

#include <QLocale>
#include <QString>
#include <QTest>

// The user's locale as a parameter of a test instead of the machine's: the C locale and two
// locales that write decimals with a comma (and group thousands with a point or a blank).
inline void addLocaleRows()
{
    QTest::addColumn<QString>("locale");
    for (const char* name : {"C", "de_DE", "fr_FR"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Makes `name` the default locale (what widgets and validators built from now on take) for the
// scope's lifetime.
class DefaultLocaleScope
{
public:
    explicit DefaultLocaleScope(const QString& name) { QLocale::setDefault(QLocale(name)); }
    ~DefaultLocaleScope() { QLocale::setDefault(previous); }
    DefaultLocaleScope(const DefaultLocaleScope&) = delete;
    DefaultLocaleScope& operator=(const DefaultLocaleScope&) = delete;

private:
    const QLocale previous;
};

#endif // LOCALETEST_H
