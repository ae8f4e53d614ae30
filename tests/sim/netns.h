#ifndef NETNS_H
#define NETNS_H

#include <QString>

// Two fresh network namespaces joined by a veth pair: the program's side ("host", 10.77.0.1/24 on
// pxh0) and the simulator's side ("sim", 10.77.0.2/24 on pxs0). Each side has routes for the
// limited broadcast address and for 224.0.0.0/4 on its veth end, so broadcast and multicast
// really cross the pair, and nothing reaches the machine's own network.
//
// Needs root (CAP_NET_ADMIN and CAP_SYS_ADMIN) and iproute2. The namespaces are created with
// names, which are removed again at once: only the descriptors held here keep them alive, so the
// kernel frees both namespaces and the veth pair as soon as this object, the threads inside and
// their sockets are gone, even when the test crashes.
class VethNamespacePair
{
public:
    VethNamespacePair() = default;
    ~VethNamespacePair();
    VethNamespacePair(const VethNamespacePair&) = delete;
    VethNamespacePair& operator=(const VethNamespacePair&) = delete;

    // False with the reason in `error` when the namespaces cannot be made (not root, no iproute2,
    // no veth support).
    bool create(QString* error);
    bool isValid() const { return m_hostFd >= 0 && m_simFd >= 0; }

    int hostNamespace() const { return m_hostFd; }
    int simNamespace() const { return m_simFd; }
    static QString hostAddress() { return QStringLiteral("10.77.0.1"); }
    static QString simAddress() { return QStringLiteral("10.77.0.2"); }
    static QString hostInterface() { return QStringLiteral("pxh0"); }

    // Moves the calling thread into a namespace (other threads stay where they are).
    static bool enter(int namespaceFd, QString* error = nullptr);

private:
    int m_hostFd = -1;
    int m_simFd = -1;
};

// Puts the calling thread into a namespace for its lifetime and back where it was afterwards.
class NamespaceScope
{
public:
    explicit NamespaceScope(int namespaceFd);
    ~NamespaceScope();
    NamespaceScope(const NamespaceScope&) = delete;
    NamespaceScope& operator=(const NamespaceScope&) = delete;
    bool isEntered() const { return m_entered; }

private:
    int m_previousFd = -1;
    bool m_entered = false;
};

#endif // NETNS_H
