// UnixSocket: the address of an MPD server's Unix socket, a path or "@name" in Linux's abstract
// namespace (as mpc writes it), for the connections that open such sockets themselves. Any thread.
#ifndef UNIXSOCKET_H
#define UNIXSOCKET_H

#include <QString>

#include <sys/socket.h>
#include <sys/un.h>

namespace UnixSocket {

struct Address
{
    sockaddr_un address{};
    socklen_t length = 0;

    const sockaddr *get() const { return reinterpret_cast<const sockaddr *>(&address); }
};

// Nothing (false) when the name does not fit.
bool addressOf(const QString &host, Address &result);

}  // namespace UnixSocket

#endif
