#include "windowtesting.h"

#include "mainwindow.h"

#include <QSignalSpy>
#include <QTest>

namespace WindowTesting {

bool connectWindow(MainWindow *window, const QString &host, int port, const QString &password)
{
    QSignalSpy ready(window, &MainWindow::connectionReady);
    window->connectMPD(host, port, password);
    return ready.wait(15000);
}

bool connectAndWaitForCollection(MainWindow *window, const QString &host, int port,
                                 const QString &password)
{
    if (!connectWindow(window, host, port, password))
        return false;
    const auto *collectionTab = window->findChild<QWidget *>(QStringLiteral("tabCollection"));
    return QTest::qWaitFor([collectionTab] { return collectionTab->isEnabled(); }, 10000);
}

}  // namespace WindowTesting
