// OnlineLyrics: asks a service with the LRCLIB API for a song's lyrics
// (GET {base}/api/get?artist_name=…&track_name=…&album_name=…&duration=…), synced ones before
// plain ones. Held by value by the lyrics worker: fetch() runs on its thread, abort() may come from
// any thread.
#ifndef ONLINELYRICS_H
#define ONLINELYRICS_H

#include "lastfm/httpgetter.h"
#include "lyrics/lyricssong.h"

#include <QByteArray>
#include <QUrl>

class OnlineLyrics
{
public:
    enum class Outcome {
        Found,
        None,    // the service has none (404, or an answer without words): worth remembering
        Failed,  // no answer, or one we cannot read: worth asking again
    };
    struct Answer
    {
        Outcome outcome = Outcome::Failed;
        QByteArray lyrics;  // UTF-8, LRC or plain
    };

    // A song without artist or title is not asked for.
    Answer fetch(const QUrl &base, const LyricsSong &song);
    void setTimeout(int ms);
    void abort();
    void clearAbort();

private:
    static QUrl requestUrl(const QUrl &base, const LyricsSong &song);
    static Answer answerOf(const QByteArray &json);

    HttpGetter http;
};

#endif
