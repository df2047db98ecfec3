#include "lyrics/lyricsfetcher.h"

#include "lyrics/lyricscache.h"
#include "lyrics/lyricslog.h"
#include "lyrics/sidecarlyrics.h"

LyricsFetcher::LyricsFetcher(QObject *parent) : QThread(parent) { }

LyricsFetcher::~LyricsFetcher()
{
    abort();
    wait();
}

void LyricsFetcher::setRequest(const Request &request)
{
    this->request = request;
    online.clearAbort();
}

void LyricsFetcher::setTimeout(int ms)
{
    online.setTimeout(ms);
}

void LyricsFetcher::abort()
{
    online.abort();
}

void LyricsFetcher::run()
{
    emit fetched(request.song.file, find());
}

// Local sources are read every time, so that an edited file shows at once; only the online
// service's answers are cached.
QByteArray LyricsFetcher::find()
{
    const QByteArray fromFile = SidecarLyrics::read(request.musicFolder, request.song.file);
    if (!fromFile.isEmpty()) {
        qCDebug(lcLyrics) << "Lyrics of" << request.song.file << "from its lyrics file";
        return fromFile;
    }
    if (!request.tagLyrics.isEmpty()) {
        qCDebug(lcLyrics) << "Lyrics of" << request.song.file << "from its tags";
        return request.tagLyrics;
    }
    return fetchOnline();
}

QByteArray LyricsFetcher::fetchOnline()
{
    if (request.serviceUrl.isEmpty())
        return QByteArray();
    const LyricsCache::Entry cached = LyricsCache::read(request.song);
    if (cached.state != LyricsCache::State::Unknown)
        return cached.lyrics;
    const OnlineLyrics::Answer answer = online.fetch(request.serviceUrl, request.song);
    if (answer.outcome != OnlineLyrics::Outcome::Failed)
        LyricsCache::store(request.song, answer.lyrics);
    return answer.lyrics;
}
