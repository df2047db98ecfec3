#include "fakempd.h"

#include <QTest>

#include <csignal>
#include <sys/prctl.h>

namespace {
constexpr int startTimeoutMs = 5000;
}

bool FakeMpd::start()
{
    stop();
    process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel); // its complaints show in the test log
    // If the test crashes, its destructors never run: the kernel then ends the server.
    process->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process->start("python3", {TUNELOOM_SOURCE_DIR "/tests/support/fakempd.py", scenario});
    const bool listening = QTest::qWaitFor([this] {
        return process->canReadLine() || process->state() == QProcess::NotRunning;
    }, startTimeoutMs) && process->canReadLine();
    serverPort = listening ? process->readLine().trimmed().toInt() : 0;
    if (serverPort == 0) {
        error = "fakempd.py " + scenario + " did not start: " + process->errorString();
        stop();
    }
    return serverPort != 0;
}

void FakeMpd::stop()
{
    if (process && process->state() != QProcess::NotRunning)
        process->kill(), process->waitForFinished(5000);
    process.reset();
    accepted = 0;
}

int FakeMpd::connectionCount()
{
    while (process && process->canReadLine())
        accepted += process->readLine() == "accepted\n";
    return accepted;
}
