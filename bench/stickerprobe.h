// StickerProbe: the ratings and smart playlist figures, measured in a probe process of its own
// like Probe, through the window's public face (its connect call, widgets found by object
// name). Prints "RESULT <name> <value>" lines. GUI thread.
#ifndef STICKERPROBE_H
#define STICKERPROBE_H

#include <QStringList>

namespace StickerProbe {
// "ratings PORT QUEUE": from the connect call to the playlist's first screenful of QUEUE rows
//     showing ratings (every song has one), and the GUI thread's longest gap between 10 ms
//     ticks meanwhile.
// "rule PORT EXPECTED": the window connected and its collection built; the first stored smart
//     playlist loaded: from the Load click to the server's queue holding EXPECTED songs, and
//     the GUI thread's longest gap meanwhile.
int run(const QStringList &args);
}  // namespace StickerProbe

#endif
