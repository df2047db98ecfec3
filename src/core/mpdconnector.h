// MpdConnector: makes the window's connections without ever blocking it. It connects in the
// background (ConnectAttempt), hands over a ready ServerConnection, and after a lost connection keeps
// trying the same server with growing pauses until it answers or the user goes elsewhere.
// A new request supersedes whatever was running. It can also look for a server: several
// addresses tried in turn, the first that answers kept. Member of the main window; GUI thread.
#ifndef MPDCONNECTOR_H
#define MPDCONNECTOR_H

#include "core/connectattempt.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

class ServerConnection;

class MpdConnector : public QObject
{
    Q_OBJECT

public:
    static constexpr int FirstRetryMs = 500;
    static constexpr int MaxRetryMs = 30000;
    // A connection lost sooner than this after it came up counts as another failure: the pause
    // before the next attempt keeps growing (a server that drops every connection at once, say
    // on an answer the window cannot take, is not asked again twice a second).
    static constexpr int HealthyMs = 30000;
    // How long quitting waits for given-up attempts to close their connections.
    static constexpr int ExitWaitMs = 200;

    explicit MpdConnector(QObject *parent = nullptr);
    ~MpdConnector() override;

    void connectTo(const ServerAddress &server);
    // Tries the servers one after another; the first that answers is connected. When none
    // does, failed() comes with no error: nothing was asked for by name.
    void connectToFirst(const QList<ServerAddress> &servers);
    // Tries the last server again and again, until it answers, cancel() or connectTo().
    void reconnect();
    // Gives up the running attempt and any retry.
    void cancel();
    bool isActive() const { return attempt || retryTimer.isActive(); }
    bool isReconnecting() const { return reconnecting; }

signals:
    // The connection is up; the receiver owns it.
    void connected(ServerConnection *connection);
    // An attempt failed and will not be retried; `error` is libmpd's first error, if any.
    void failed(const QString &error);

private:
    void startAttempt();
    void onAttemptDone(ConnectAttempt::Outcome outcome);

    ServerAddress server;
    QList<ServerAddress> untried;  // the rest of a search
    bool searching = false;
    std::shared_ptr<ConnectAttempt> attempt;
    QTimer retryTimer;
    int retryMs = FirstRetryMs;
    QElapsedTimer connectedSince;
    bool reconnecting = false;
};

#endif
