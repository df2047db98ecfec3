#include "testmain.h"

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

} // namespace TestSupport
