// A QTest main that first moves HOME into a private temporary directory, so no
// test ever reads or writes a real user's settings, caches or covers.
#ifndef TESTMAIN_H
#define TESTMAIN_H

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace TestSupport {
// Points HOME at a fresh temporary directory; returns its path.
QString isolateHome();
// Sends all HTTP that is not for loopback to a closed loopback port, so that a window that
// fetches covers from the real service fails at once instead of leaving the machine.
void keepNetworkLocal();

template<typename... TestObjects> int runAll(int argc, char *argv[])
{
    int status = 0;
    const auto run = [&](auto &&testObject) { status |= QTest::qExec(&testObject, argc, argv); };
    (run(TestObjects()), ...);
    return status;
}
}

// Runs every given test class in turn; the exit status is non-zero when any failed.
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

#endif
