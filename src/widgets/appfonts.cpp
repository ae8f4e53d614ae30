#include "appfonts.h"

#include <QApplication>
#include <QFont>

void installApplicationFonts()
{
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Liberation Sans"));
    QApplication::setFont(QFont(QStringLiteral("Arial"), 8));
}
