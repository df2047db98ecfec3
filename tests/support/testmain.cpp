#include "testmain.h"

#include <QNetworkProxy>

namespace TestSupport {

QString isolateHome()
{
    // Lives until the process ends; removed then with everything in it.
    static QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tuneloom-home-XXXXXX"));
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CACHE_HOME");
    return home.path();
}

void keepNetworkLocal()
{
    // Qt never proxies loopback addresses, so tests against local servers are unaffected.
    const quint16 discardPort = 9;
    QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), discardPort));
}

} // namespace TestSupport
