// PartitionMenu: Playback ▸ Partition, the server's partitions (MPD 0.22 on: several players
// with a queue, status and outputs each). Switches the window's connection to one, creates and
// deletes them (never "default", never the one in use), moves an output into the current one.
// The partition chosen is kept per server and chosen again on the next connection. Hidden while
// the server does not know partitions. Created by the main window; GUI thread.
#ifndef PARTITIONMENU_H
#define PARTITIONMENU_H

#include "core/mpdstatus.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QMenu;
class QWidget;
class ServerConnection;

class PartitionMenu : public QObject
{
    Q_OBJECT

public:
    static constexpr char DefaultPartition[] = "default";

    // Adds the submenu to `playbackMenu`; questions and refusals are shown over `window`.
    PartitionMenu(QMenu *playbackMenu, QWidget *window);

    // Why `name` cannot be a new partition, or empty when it can.
    static QString nameProblem(const QString &name, const QStringList &existing);

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

signals:
    void message(const QString &text);

private:
    void onStatus(const MpdStatus &status, MpdStatus::Changes what);
    void restorePartition();
    void refresh();
    void rebuild();
    void switchTo(const QString &name);
    void onCreate();
    void remove(const QString &name);
    void moveHere(const QString &output);
    void rememberPartition(const QString &name) const;

    QWidget *window;
    QMenu *menu;
    QMenu *deleteMenu;
    QMenu *moveMenu;
    QPointer<ServerConnection> server;
    QStringList names;
    QString current;
    QStringList outputs;
    bool restorePending = false;
};

#endif
