#ifndef NETPARAMS_H
#define NETPARAMS_H

#include <QString>

// The PC's own network parameters shown on the Discover page. On Linux the DNS server comes from
// the resolver configuration and the gateway from the kernel's routing table.
namespace Platform {
// First "nameserver" of resolv.conf, or an empty text.
QString dnsServer(const QString& resolvConfPath = QStringLiteral("/etc/resolv.conf"));
// Gateway of the default IPv4 route (through the given interface, when one is named); an empty
// text when there is none.
QString defaultGateway(const QString& interfaceName = QString(),
                       const QString& routeTablePath = QStringLiteral("/proc/net/route"));
} // namespace Platform

#endif // NETPARAMS_H
