// LocalServers: where an MPD server is looked for when none has been chosen yet, in the order
// they are tried: MPD_HOST/MPD_PORT as mpc reads them, the user's socket, the system's socket,
// then localhost:6600. A function of the environment; any thread.
#ifndef LOCALSERVERS_H
#define LOCALSERVERS_H

#include "core/serveraddress.h"

#include <QList>
#include <QProcessEnvironment>

#include <optional>

namespace LocalServers {

constexpr int DefaultPort = 6600;

// MPD_HOST may be "host", "password@host", a socket path or an "@abstract" name (with or without
// a password before it); MPD_PORT a port number. Nothing when MPD_HOST is unset or empty.
std::optional<ServerAddress> fromEnvironment(const QProcessEnvironment &environment);
QList<ServerAddress> candidates(const QProcessEnvironment &environment);

}  // namespace LocalServers

#endif
