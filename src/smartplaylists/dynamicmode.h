// DynamicMode: keeps the queue going from a smart playlist's songs. While on, at least `upcoming`
// songs follow the playing one: when fewer do, songs of the pool are added at random, none that
// is already coming or was added lately. With `trimHistory` and consume off, played songs beyond
// `history` before the playing one are removed. Decided and done on the connection thread in one
// job, so that the queue it looks at is the server's. Stops when switched off or when the
// connection closes. Created by the smart playlists controller; GUI thread.
#ifndef DYNAMICMODE_H
#define DYNAMICMODE_H

#include "core/mpdstatus.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class ServerConnection;

class DynamicMode : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        int upcoming = 10;
        int history = 20;
        bool trimHistory = false;
    };

    using QObject::QObject;

    bool isOn() const { return server != nullptr; }
    void start(ServerConnection *connection, const QStringList &pool, const Settings &settings);
    void stop();

signals:
    void switched(bool on);

private:
    void onStatus(const MpdStatus &status, MpdStatus::Changes what);
    void topUp();

    QPointer<ServerConnection> server;
    QStringList pool;
    Settings settings;
    // The songs added lately, oldest first: not added again while here.
    QStringList recent;
    bool working = false;
    bool again = false;
};

#endif
