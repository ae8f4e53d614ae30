#include "productcatalogue.h"

#include "constants.h"

int supportedProductIndex(const QString& name, bool mayBeLonger)
{
    if (name.isEmpty())
        return -1;
    for (int i = 0; i < SUPPORTED_PRODUCTS.size(); ++i) {
        const QString& entry = SUPPORTED_PRODUCTS.at(i);
        if (entry.startsWith(name) || (mayBeLonger && name.startsWith(entry)))
            return i;
    }
    return -1;
}

QStringList knownProductNames(const QStringList& names, bool mayBeLonger)
{
    QStringList known;
    for (const QString& name : names) {
        const int index = supportedProductIndex(name, mayBeLonger);
        if (index >= 0 && !known.contains(SUPPORTED_PRODUCTS.at(index)))
            known.append(SUPPORTED_PRODUCTS.at(index));
    }
    return known;
}
