// Probe: one measured run in a process of its own, started by BenchSuite, so
// that every run starts cold and its peak memory is its own. Prints its figures
// as "RESULT <name> <value>" lines on stdout. Runs in the probe's GUI thread.
#ifndef PROBE_H
#define PROBE_H

#include <QStringList>

class Probe
{
public:
    // "builder PORT server|cache SONGS": one build by a CollectionBuilder alone, from
    //     the server or from the cache; fails unless it holds SONGS songs.
    // "window build|startup|idleSECONDS": a MainWindow that connects from the
    //     autoconnect settings, watched until its collection is built; then the
    //     window's figures, or the CPU time of SECONDS idle.
    // "window search|queuesearch": the same window, then a ten-letter word typed into the
    //     collection's or the playlist's search field, and Esc.
    // "albums ...": see AlbumsProbe; "connection ...": see ConnectionProbe; "responsiveness ...": see ResponsivenessProbe.
    static int run(const QStringList &args);
    // One figure, as "RESULT <name> <value>" on stdout.
    static void report(const char *name, double value);
    // CPU time the calling thread has used, in ms.
    static double threadCpuMs();
    // The process's resident memory now, in KiB.
    static double currentRssKiB();
    // Runs the event loop until something exits it, or a watchdog gives up (code 3).
    static int loop();

private:
    static int builder(int port, bool fromServer, int expectedSongs);
    static int window(const QString &scenario);
};

#endif
