// Probe: one measured run in a process of its own, started by BenchSuite, so
// that every run starts cold and its peak memory is its own. Prints its figures
// as "RESULT <name> <value>" lines on stdout. Runs in the probe's GUI thread.
#ifndef PROBE_H
#define PROBE_H

#include <QStringList>

class Probe
{
public:
    // args: the probe's kind and its arguments (see Probe::run in probe.cpp).
    static int run(const QStringList &args);

private:
    static int builder(int port, bool fromServer, int expectedSongs);
    static int window(const QString &scenario, int expectedSongs);
};

#endif
