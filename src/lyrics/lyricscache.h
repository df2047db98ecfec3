// LyricsCache: what the online lyrics service answered, per song, in ~/.config/tuneloom/lyrics/
// beside the covers: the lyrics, or that it has none. A "none" is remembered for NotFoundDays and
// then asked again. Files only, written atomically; used on the lyrics worker thread.
#ifndef LYRICSCACHE_H
#define LYRICSCACHE_H

#include "lyrics/lyricssong.h"

#include <QByteArray>
#include <QString>

namespace LyricsCache {

inline constexpr int NotFoundDays = 7;

enum class State { Unknown, Found, NotFound };
struct Entry
{
    State state = State::Unknown;
    QByteArray lyrics;
};

QString directory();
Entry read(const LyricsSong &song);
// Empty lyrics store "none". False when the file could not be written.
bool store(const LyricsSong &song, const QByteArray &lyrics);

}  // namespace LyricsCache

#endif
