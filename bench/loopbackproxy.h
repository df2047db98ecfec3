// LoopbackProxy: a TCP relay on loopback to a local port, on a thread of its own. It counts the
// bytes it carries both ways, keeps what the clients send (their commands) and can hold each
// chunk back, to stand for a slow link. Owned by the probe that measures through it; the
// destructor stops the thread.
#ifndef LOOPBACKPROXY_H
#define LOOPBACKPROXY_H

#include <QMutex>
#include <QThread>

#include <atomic>

class LoopbackProxy : public QThread
{
    Q_OBJECT

public:
    // Each direction waits half the round trip.
    LoopbackProxy(quint16 target, int roundTripMs) : target(target), roundTripMs(roundTripMs) { }
    ~LoopbackProxy() override;

    // Starts the thread and waits (bounded) until it listens; its port, or 0.
    quint16 listen();
    qint64 bytes() const { return carried; }
    // Everything the clients sent so far, all connections in the order it arrived.
    QByteArray clientBytes() const;

protected:
    void run() override;

private:
    const quint16 target;
    const int roundTripMs;
    std::atomic<quint16> port{0};
    std::atomic<qint64> carried{0};
    mutable QMutex sentLock;
    QByteArray sent;
};

#endif
