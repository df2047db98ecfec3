#include "servers/localservers.h"

namespace {

int portFrom(const QProcessEnvironment &environment)
{
    bool isNumber = false;
    const int port = environment.value(QStringLiteral("MPD_PORT")).toInt(&isNumber);
    return isNumber && port > 0 && port <= 65535 ? port : LocalServers::DefaultPort;
}

}  // namespace

std::optional<ServerAddress> LocalServers::fromEnvironment(const QProcessEnvironment &environment)
{
    const QString value = environment.value(QStringLiteral("MPD_HOST"));
    if (value.isEmpty())
        return std::nullopt;
    ServerAddress server{value, portFrom(environment), QString()};
    // A leading '@' is an abstract socket's; any other '@' ends a password (which may itself be
    // followed by an abstract name: "secret@@mpd").
    const qsizetype at = value.indexOf(QLatin1Char('@'), 1);
    if (!value.startsWith(QLatin1Char('@')) && at > 0) {
        server.password = value.left(at);
        server.host = value.mid(at + 1);
    }
    if (server.isSocket())
        server.port = 0;
    return server;
}

QList<ServerAddress> LocalServers::candidates(const QProcessEnvironment &environment)
{
    QList<ServerAddress> servers;
    if (const std::optional<ServerAddress> named = fromEnvironment(environment))
        servers << *named;
    const QString runtimeDir = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (!runtimeDir.isEmpty())
        servers << ServerAddress{runtimeDir + QStringLiteral("/mpd/socket"), 0, QString()};
    servers << ServerAddress{QStringLiteral("/run/mpd/socket"), 0, QString()}
            << ServerAddress{QStringLiteral("localhost"), DefaultPort, QString()};
    return servers;
}
