// SilentListener: a loopback TCP server on a thread of its own that accepts every connection and
// never sends a byte, like a wedged server. Its own thread, because the client under test blocks
// the GUI thread while it waits for a greeting. Owned by the test; the destructor stops the thread.
#ifndef SILENTLISTENER_H
#define SILENTLISTENER_H

#include <QThread>

#include <atomic>

class SilentListener : public QThread
{
    Q_OBJECT

public:
    SilentListener() = default;
    ~SilentListener() override;

    // Starts the thread and waits (bounded) until it listens; the port, or 0 on failure.
    quint16 listen();
    int acceptedConnections() const { return accepted; }

protected:
    void run() override;

private:
    std::atomic<quint16> port{0};
    std::atomic<bool> failed{false};
    std::atomic<int> accepted{0};
};

#endif
