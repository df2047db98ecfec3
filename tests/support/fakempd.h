// FakeMpd: the scripted server of fakempd.py (which lists its scenarios) in a child process on a
// free loopback port, for the faults a real mpd cannot produce. Owned by a test, GUI thread.
#pragma once

#include <QProcess>

#include <memory>

class FakeMpd
{
public:
    explicit FakeMpd(const QString &scenario) : scenario(scenario) { }
    ~FakeMpd() { stop(); }

    bool start(); // returns once it listens (else see errorString())
    void stop();
    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return serverPort; }
    int connectionCount(); // connections accepted so far
    QString errorString() const { return error; }

private:
    QString scenario;
    std::unique_ptr<QProcess> process;
    int serverPort = 0;
    int accepted = 0;
    QString error;
};
