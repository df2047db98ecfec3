// ConnectionProbe: the window's connection measured in a probe process of its own, like Probe:
// one song added to a long queue by another client, connecting to a listener that never
// answers, and a server restart. Prints "RESULT <name> <value>" lines. GUI thread.
#ifndef CONNECTIONPROBE_H
#define CONNECTIONPROBE_H

#include <QStringList>

class MainWindow;

namespace ConnectionProbe {
// "change PORT ROUNDTRIPMS": per song added by another client, the GUI thread's CPU time, the
//     bytes on the link and the wall time of the poll that shows it, through a relay that
//     counts and delays.
// "silent": the longest gap between 10 ms timer ticks while connecting to a listener that
//     never answers, and the time the window then takes to close.
// "restart DATABASE QUEUE": from a restarted server accepting connections to the window
//     showing its queue of QUEUE songs again.
int run(const QStringList &args);
// The rows of the window's playlist view.
int queueLength(const MainWindow &window);
}

#endif
