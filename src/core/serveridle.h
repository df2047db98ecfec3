// ServerIdle: MPD's "idle" on the window's connection. Between commands the connection waits in
// idle, so that the server tells of a change the moment it happens (and does not close the
// connection for inactivity); before the next command it leaves idle with "noidle". Works on
// the socket directly, when libmpd has no request outstanding. Owned by Qmpd; connection thread.
#ifndef SERVERIDLE_H
#define SERVERIDLE_H

#include <QStringList>

#include <optional>

class ServerIdle
{
public:
    bool isWaiting() const { return waiting; }
    // Sends "idle"; false when the socket is gone.
    bool enter(int socket);
    // The subsystems that changed, once the server has answered the idle (it has something to
    // read); nothing when the link broke or no answer came within timeoutMs.
    std::optional<QStringList> collect(int socket, int timeoutMs);
    // Sends "noidle" and collects the answer.
    std::optional<QStringList> leave(int socket, int timeoutMs);

private:
    bool waiting = false;
};

#endif
