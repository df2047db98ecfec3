// Helpers for tests that drive a whole MainWindow against a real server.
#ifndef WINDOWTESTING_H
#define WINDOWTESTING_H

#include <QString>

class MainWindow;

namespace WindowTesting {
// Connects (in the background, as the window does) and waits, bounded, until the connection
// is up; false if it never came up.
bool connectWindow(MainWindow *window, const QString &host, int port,
                   const QString &password = QString());
// Connects and waits (bounded) until the collection build that every connection
// starts has ended, so the collection and file browser tabs are usable again.
bool connectAndWaitForCollection(MainWindow *window, const QString &host, int port,
                                 const QString &password = QString());
}  // namespace WindowTesting

#endif
