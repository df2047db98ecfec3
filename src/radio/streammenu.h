// StreamMenu: File ▸ "Add stream…": asks for an internet radio's address (http or https; a
// playlist address, .m3u or .pls, is expanded by the server), adds it to the queue and, if asked,
// keeps it in the stored playlist "Radio", where every client finds it. Created by the main
// window; GUI thread; reaches the server through the window's connection.
#ifndef STREAMMENU_H
#define STREAMMENU_H

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QWidget;
class ServerConnection;

class StreamMenu : public QObject
{
    Q_OBJECT

public:
    static constexpr char RadioPlaylist[] = "Radio";

    // Puts the entry into `fileMenu`, before `before`; the dialog and its refusals show over
    // `window`.
    StreamMenu(QMenu *fileMenu, QAction *before, QWidget *window);

    // Why `address` cannot be added as a stream, or empty when it can.
    static QString addressProblem(const QString &address);

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

signals:
    void message(const QString &text);

private:
    void onAddStream();
    void add(const QString &address, bool keep);

    QWidget *window;
    QAction *action;
    QPointer<ServerConnection> server;
};

#endif
