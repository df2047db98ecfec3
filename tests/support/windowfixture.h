// What window tests need: one real mpd on the standard library for the whole test program (reset
// per test), and per test a fresh main window, connected, with a ModalCloser answering every box.
#pragma once

#include "ui/connectioncontroller.h"
#include "ui/infobanner.h"
#include "ui/mainwindow.h"
#include "mpdfixture.h"
#include "core/serverconnection.h"
#include "core/settingsstore.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

// Closes every modal box shown while it lives (tests must never hang on one) and keeps their
// texts. Without a handler a box is rejected; a handler may fill a dialog in and accept it.
class ModalCloser : public QObject
{
    Q_OBJECT

public:
    explicit ModalCloser(std::function<void(QDialog *)> handler = {});
    QStringList texts;

private:
    std::function<void(QDialog *)> handler;
    QTimer timer;
};

class WindowFixture
{
public:
    MpdFixture server;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;

    // Web requests (Last.fm covers) go to a closed port on loopback unless a test sets a proxy of
    // its own: tests never reach out of the machine.
    explicit WindowFixture(const MpdFixture::Options &options = {});
    // initTestCase(): the standard library and the server on it.
    bool startServer() { return library.isValid() && TestLibrary::generate(library.path()) && server.start(library.path()); }
    QString musicDir() const { return library.path(); }
    static bool resetHome() { return QDir(SettingsStore::directory()).removeRecursively(); }
    // init(): the server running and reset, a new closer (with handler) and a new window.
    bool open(std::function<void(QDialog *)> dialogHandler = {});
    // Connects the window and waits for the first status and the collection build's end.
    bool connect(const MpdFixture &mpd, const QString &password = QString());
    bool connect() { return connect(server, server.password()); }
    bool settle() const;
    QStringList close(); // cleanup(): the window, then the closer, gone; the boxes' texts

    // After losing the server: no box, the window reconnecting by itself. Fails the test.
    void verifyReconnectingWithoutBox() const;
    // Restarts mpd and connects through the Connect dialog, as a user would.
    void reconnectFromDialog(MpdFixture &mpd);

    template<typename T = QWidget> T *widget(const char *name) const { return window->findChild<T *>(name); }
    QStringList banners() const { return window->findChild<InfoBanner *>()->visibleMessages(); }
    bool bannerShows(const QString &message) const { return banners().contains(message); }
    static QStringList rows(const QAbstractItemModel *model, int column = 0, int role = Qt::DisplayRole);
    QStringList rows(const char *view, int column = 0, int role = Qt::DisplayRole) const { return rows(widget<QAbstractItemView>(view)->model(), column, role); }
    // A real mouse click on a row; false when the row is not there.
    static bool click(QAbstractItemView *view, int row, Qt::KeyboardModifiers modifiers = {});
    bool click(const char *view, const QString &text, Qt::KeyboardModifiers modifiers = {}) const
    {
        const int row = int(rows(view).indexOf(text));
        return row >= 0 && click(widget<QAbstractItemView>(view), row, modifiers);
    }

private:
    QTemporaryDir library;
};

namespace WindowTesting {
ConnectionController *controller(const MainWindow *window);
// The window's live connection, or null.
ServerConnection *connection(const MainWindow *window);
// Waits until the connection has carried out every command sent so far and the window has
// heard what they changed.
bool settle(const MainWindow *window);
// Connects (in the background, as the window does) and waits until the connection is up.
bool connectWindow(MainWindow *window, const QString &host, int port, const QString &password = {});
// Connects and waits until the collection build every connection starts has ended.
bool connectAndWaitForCollection(MainWindow *window, const QString &host, int port, const QString &password = {});
}
