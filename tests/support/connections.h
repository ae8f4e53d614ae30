#ifndef CONNECTIONS_H
#define CONNECTIONS_H

#include <QStringList>

class QObject;

// The outgoing connections of `sender` as "signal -> ReceiverClass::objectName slot" lines
// (signal and slot without arguments), read from Qt's own object dump.
QStringList outgoingConnections(QObject* sender);

#endif // CONNECTIONS_H
