// LibraryStatsAction: "Library statistics..." in the File menu: asks the server for its "stats"
// and shows artists, albums, songs, total play time and the last database update in a dialog.
// Created by the main window; GUI thread; reaches the server only through the window's
// connection, while there is one.
#ifndef LIBRARYSTATSACTION_H
#define LIBRARYSTATSACTION_H

#include "core/librarystats.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>

class QAction;
class QMenu;
class QWidget;
class ServerConnection;

class LibraryStatsAction : public QObject
{
    Q_OBJECT

public:
    // The entry goes into menu before `before`; the dialog opens over window.
    LibraryStatsAction(QMenu *menu, QAction *before, QWidget *window);

    // The dialog's rows: a label and its value.
    static QList<QPair<QString, QString>> rows(const LibraryStats &stats);

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

private:
    void ask();
    void show(const LibraryStats &stats);

    QAction *action;
    QWidget *window;
    QPointer<ServerConnection> server;
};

#endif
