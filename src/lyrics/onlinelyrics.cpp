#include "lyrics/onlinelyrics.h"

#include "lyrics/lrcparser.h"
#include "lyrics/lyricslog.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int NotFound = 404;

QString percentEncoded(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

}  // namespace

OnlineLyrics::Answer OnlineLyrics::fetch(const QUrl &base, const LyricsSong &song)
{
    // Nothing to look up by; not remembered, since the tags may still be filled in.
    if (song.artist.isEmpty() || song.title.isEmpty())
        return {Outcome::Failed, {}};
    int status = 0;
    const std::optional<QByteArray> body
            = http.get(requestUrl(base, song), LrcParser::MaxBytes, nullptr, &status);
    if (body)
        return answerOf(*body);
    qCDebug(lcLyrics) << "No lyrics from" << base.toDisplayString() << "for" << song.file
                      << "status" << status;
    return {status == NotFound ? Outcome::None : Outcome::Failed, {}};
}

void OnlineLyrics::setTimeout(int ms)
{
    http.setTimeout(ms);
}

void OnlineLyrics::abort()
{
    http.abort();
}

void OnlineLyrics::clearAbort()
{
    http.clearAbort();
}

QUrl OnlineLyrics::requestUrl(const QUrl &base, const LyricsSong &song)
{
    // Encoded by hand: QUrlQuery would leave "+" (a space to the service) and "&" in values alone.
    const QString query = QStringLiteral("artist_name=") + percentEncoded(song.artist)
            + QStringLiteral("&track_name=") + percentEncoded(song.title)
            + QStringLiteral("&album_name=") + percentEncoded(song.album)
            + QStringLiteral("&duration=") + QString::number(song.seconds);
    QUrl url = base;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + QStringLiteral("api/get"));
    url.setQuery(query, QUrl::StrictMode);
    return url;
}

OnlineLyrics::Answer OnlineLyrics::answerOf(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return {Outcome::Failed, {}};
    const QJsonObject answer = document.object();
    for (const char *field : {"syncedLyrics", "plainLyrics"}) {
        const QString lyrics = answer.value(QLatin1String(field)).toString();
        if (!lyrics.trimmed().isEmpty())
            return {Outcome::Found, lyrics.toUtf8()};
    }
    return {Outcome::None, {}};
}
