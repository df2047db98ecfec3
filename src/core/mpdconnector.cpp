#include "core/mpdconnector.h"

#include "core/serverconnection.h"

#include <algorithm>

MpdConnector::MpdConnector(QObject *parent) : QObject(parent)
{
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &MpdConnector::startAttempt);
}

MpdConnector::~MpdConnector()
{
    cancel();
    // An attempt blocked on a silent server is left to its thread: quitting never waits for it.
    ConnectAttempt::waitForAll(ExitWaitMs);
}

void MpdConnector::connectTo(const ServerAddress &address)
{
    connectToFirst({address});
    searching = false;
}

void MpdConnector::connectToFirst(const QList<ServerAddress> &servers)
{
    cancel();
    if (servers.isEmpty()) {
        emit failed(QString());
        return;
    }
    untried = servers;
    server = untried.takeFirst();
    searching = true;
    retryMs = FirstRetryMs;
    startAttempt();
}

void MpdConnector::reconnect()
{
    cancel();
    reconnecting = true;
    const bool healthy = connectedSince.isValid() && connectedSince.elapsed() >= HealthyMs;
    retryMs = healthy ? FirstRetryMs : std::min(retryMs * 2, MaxRetryMs);
    retryTimer.start(retryMs);
}

void MpdConnector::cancel()
{
    if (attempt)
        attempt->abandon();
    attempt.reset();
    retryTimer.stop();
    reconnecting = false;
    untried.clear();
}

void MpdConnector::startAttempt()
{
    attempt = ConnectAttempt::start(server, this, [this](ConnectAttempt::Outcome outcome) {
        onAttemptDone(outcome);
    });
}

void MpdConnector::onAttemptDone(ConnectAttempt::Outcome outcome)
{
    attempt.reset();
    if (outcome.connection) {
        reconnecting = false;
        untried.clear();
        connectedSince.start();
        emit connected(new ServerConnection(outcome.connection, server));
        return;
    }
    // A server that is away is waited for; one that says no (a wrong password) is a
    // settings problem, and so is any first connection that fails.
    if (reconnecting && !outcome.refused) {
        retryMs = std::min(retryMs * 2, MaxRetryMs);
        retryTimer.start(retryMs);
        return;
    }
    if (!untried.isEmpty()) {
        server = untried.takeFirst();
        startAttempt();
        return;
    }
    reconnecting = false;
    emit failed(searching ? QString() : outcome.error);
}
