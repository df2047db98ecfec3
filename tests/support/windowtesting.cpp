#include "windowtesting.h"

#include "mainwindow.h"

#include <QTest>

namespace WindowTesting {

bool connectAndWaitForCollection(MainWindow *window, const QString &host, int port,
                                 const QString &password)
{
    if (!window->connectMPD(host, port, password))
        return false;
    const auto *collectionTab = window->findChild<QWidget *>(QStringLiteral("tabCollection"));
    return QTest::qWaitFor([collectionTab] { return collectionTab->isEnabled(); }, 10000);
}

}  // namespace WindowTesting
