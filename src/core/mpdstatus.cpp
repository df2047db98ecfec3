#include "core/mpdstatus.h"

#include <QElapsedTimer>

#include <algorithm>

qint64 MpdStatus::nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

int MpdStatus::elapsedNow() const
{
    if (!playing())
        return elapsed;
    const int advanced = elapsed + int((nowMs() - takenAtMs) / 1000);
    return total > 0 ? std::min(advanced, total) : advanced;
}

QString songCaption(const QmpdSong &song)
{
    if (song.title.isEmpty())
        return song.file.mid(song.file.lastIndexOf(QLatin1Char('/')) + 1);
    return song.artist + QStringLiteral(" - ") + song.title;
}
