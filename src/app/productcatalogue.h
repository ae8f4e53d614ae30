#ifndef PRODUCTCATALOGUE_H
#define PRODUCTCATALOGUE_H

#include <QString>
#include <QStringList>

// Which supported product (SUPPORTED_PRODUCTS, in its order) a unit's model name stands for:
// the first whose name starts with `name`. A unit that names itself over the network may also
// report a longer name than the catalogue's (`mayBeLonger`). An empty name names nothing.
// -1 when the program does not know the product.
int supportedProductIndex(const QString& name, bool mayBeLonger);

// The catalogue name of each name that stands for a supported product, each once, in the order
// first met. Sender-chosen names of products the program does not know are left out.
QStringList knownProductNames(const QStringList& names, bool mayBeLonger);

#endif // PRODUCTCATALOGUE_H
