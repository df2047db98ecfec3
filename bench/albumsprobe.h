// AlbumsProbe: the Albums tab of a window whose collection is loaded, measured in a probe process
// of its own like Probe, through the window's public face only (widgets found by object name, its
// connection through a relay that holds each chunk back). Prints "RESULT <name> <value>" lines.
// GUI thread.
#ifndef ALBUMSPROBE_H
#define ALBUMSPROBE_H

#include <QStringList>

namespace AlbumsProbe {
// "PORT ROUNDTRIPMS": the window connects to mpd on PORT through a relay with ROUNDTRIPMS round
// trips. From opening the tab: the first paint of the grid (first_paint_ms), the covers of every
// tile on screen shown (covers_ms, tiles, cover_requests: the songs whose pictures were asked
// for by then, and a second later); then the grid scrolled end to end a screen per 16 ms
// (scroll_tick_gap_ms), the last screen's covers, and the memory the tab added (grid_mib).
int run(const QStringList &args);
}  // namespace AlbumsProbe

#endif
