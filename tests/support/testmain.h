// The main() of every test program: no test reads or writes a real user's files or leaves the machine.
#pragma once

#include <QApplication>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QtTest>

// A whole file; empty when there is none.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
// Writes a whole file, and the folders it needs.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

namespace TestSupport {
// Points HOME at a fresh temporary directory, removed at exit; returns its path.
inline QString isolateHome()
{
    static QTemporaryDir home(QDir::tempPath() + "/tuneloom-home-XXXXXX");
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CACHE_HOME");
    // A window with no server chosen looks for one: never the user's.
    qunsetenv("MPD_HOST");
    qunsetenv("MPD_PORT");
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    return home.path();
}
// Sends all HTTP but loopback's (never proxied) to a closed port: a real service fails at once.
inline void keepNetworkLocal()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", 9));
}
template<typename... TestObjects> int runAll(int argc, char *argv[])
{
    int status = 0;
    (void(status |= QTest::qExec(std::make_unique<TestObjects>().get(), argc, argv)), ...);
    return status;
}
}

#define TUNELOOM_TEST_MAIN(...)                                                                    \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestSupport::isolateHome();                                                                \
        TestSupport::keepNetworkLocal();                                                           \
        Q_INIT_RESOURCE(systray);                                                                  \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return TestSupport::runAll<__VA_ARGS__>(argc, argv);                                       \
    }
