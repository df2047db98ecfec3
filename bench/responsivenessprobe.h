// ResponsivenessProbe: whether the window ever waits on its server, measured in a probe process
// of its own like Probe, through the window's public face only (its connect call, its
// connection controller's connectionReady signal, widgets found by object name). Prints
// "RESULT <name> <value>" lines. GUI thread.
#ifndef RESPONSIVENESSPROBE_H
#define RESPONSIVENESSPROBE_H

#include <QStringList>

namespace ResponsivenessProbe {
// "traffic PORT ROUNDTRIPMS SECONDS": the GUI thread's time inside socket calls to the server
//     over SECONDS, through a relay, while another client adds a song every 2 s; and the same
//     for the connection thread ("MPD connection") and any other thread, apart.
// "external PORT ROUNDTRIPMS CHANGES": from another client's "setvol" to the window's volume
//     slider showing it, CHANGES times, through a relay.
// "stall PORT QUITAFTERMS STALLMS": prints ready_ns once connected, for the benchmark to stop
//     the server then; clicks Next a second later and, unless QUITAFTERMS is 0, triggers Quit
//     that long after ready; else reports the longest gap between 10 ms ticks over STALLMS
//     and when it began.
// "quiet PORT SECONDS": the commands the window sends in SECONDS of nothing happening, read
//     off a relay: one command_<name> count each.
// "bigqueue PORT QUEUE WAITMS": from the connect call to the playlist showing QUEUE rows, or
//     not_shown after WAITMS.
int run(const QStringList &args);
}  // namespace ResponsivenessProbe

#endif
