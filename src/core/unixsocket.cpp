#include "core/unixsocket.h"

#include <QFile>

#include <cstddef>
#include <cstring>

bool UnixSocket::addressOf(const QString &host, Address &result)
{
    QByteArray name = QFile::encodeName(host);
    result.address = {};
    result.address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof result.address.sun_path)
        return false;
    // An abstract name begins with a NUL byte and ends where the address ends, with no NUL.
    const bool abstract = host.startsWith(QLatin1Char('@'));
    if (abstract)
        name[0] = '\0';
    std::memcpy(result.address.sun_path, name.constData(), size_t(name.size()));
    result.length = abstract ? socklen_t(offsetof(sockaddr_un, sun_path) + size_t(name.size()))
                             : socklen_t(sizeof result.address);
    return true;
}
