#include "lyrics/lyrics.h"

#include <algorithm>

int Lyrics::lineAt(qint64 ms) const
{
    const auto after = std::upper_bound(lines.cbegin(), lines.cend(), ms,
                                        [](qint64 at, const LyricsLine &line) { return at < line.ms; });
    return int(after - lines.cbegin()) - 1;
}
