// WindowFixture: what every window test needs. One real mpd on the standard library for the
// whole test program (started once, reset per test), and per test a fresh main window, connected
// and past its first status and collection build, with a ModalCloser that answers every box.
// Owned by the test object, by value; GUI thread only.
#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QTemporaryDir>

#include <memory>

class WindowFixture
{
public:
    MpdFixture server;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;

    explicit WindowFixture(const MpdFixture::Options &options = {}) : server(options) { }
    // initTestCase(): generates the standard library and starts the server on it.
    bool startServer();
    QString musicDir() const { return library.path(); }
    // Removes settings, caches and covers (everything under ~/.config/tuneloom).
    static bool resetHome();
    // init(): the server running and reset, a new closer (with handler) and a new window.
    bool open(std::function<void(QDialog *)> dialogHandler = {});
    // Connects the window and waits for the first status and the collection build's end.
    bool connect(const MpdFixture &mpd, const QString &password = QString());
    bool connect() { return connect(server, server.password()); }
    // cleanup(): destroys the window, then the closer; returns the texts of the boxes shown.
    QStringList close();

    // After losing the server: no box, the window reconnecting by itself. Fails the test.
    void verifyReconnectingWithoutBox() const;
    // Restarts mpd and connects through the Connect dialog, as a user would. Fails the test.
    void reconnectFromDialog(MpdFixture &mpd);

    template<typename T = QWidget> T *widget(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QStringList banners() const;
    bool bannerShows(const QString &message) const { return banners().contains(message); }
    // Column texts (or another role) of a model, top to bottom.
    static QStringList rows(const QAbstractItemModel *model, int column = 0,
                            int role = Qt::DisplayRole);
    QStringList rows(const char *view, int column = 0, int role = Qt::DisplayRole) const;
    // A real mouse click on a row of a view; false when the row is not there.
    static bool click(QAbstractItemView *view, int row, Qt::KeyboardModifiers modifiers = {});
    bool click(const char *view, const QString &text, Qt::KeyboardModifiers modifiers = {}) const;

private:
    QTemporaryDir library;
};

namespace WindowTesting {
// Connects (in the background, as the window does) and waits, bounded, until the connection is
// up; false if it never came up.
bool connectWindow(MainWindow *window, const QString &host, int port,
                   const QString &password = QString());
// Connects and waits (bounded) until the collection build that every connection starts has
// ended, so the collection and file browser tabs are usable again.
bool connectAndWaitForCollection(MainWindow *window, const QString &host, int port,
                                 const QString &password = QString());
}  // namespace WindowTesting

#endif
