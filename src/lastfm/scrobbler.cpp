#include "lastfm/scrobbler.h"

#include "lastfm/lastfmlog.h"

#include <QStringList>
#include <QUrlQuery>

#include <optional>

namespace {

// A handshake answer is four short lines.
const qint64 MAX_ANSWER_BYTES = 64 * 1024;

// The number the line ends in ("INTERVAL 1800" gives 1800); nothing without one.
std::optional<int> trailingNumber(const QString &line)
{
    qsizetype start = line.size();
    while (start > 0 && line.at(start - 1) >= QLatin1Char('0')
           && line.at(start - 1) <= QLatin1Char('9'))
        --start;
    bool ok = false;
    const int number = line.mid(start).toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

}  // namespace

Scrobbler::Scrobbler() = default;

Scrobbler::~Scrobbler()
{
    abort();
    wait();
}

void Scrobbler::setUser(const QString &user, const QString &hash)
{
    this->user = user;
    passwordHash = hash;
    http.clearAbort();
}

void Scrobbler::enqueueSong(const QmpdSong &song)
{
    queue.append(song);
}

void Scrobbler::submit()
{
    if (!queue.isEmpty())
        protocolState = SubmitPending;
}

void Scrobbler::setHandshakeUrl(const QUrl &url)
{
    handshakeUrl = url;
}

void Scrobbler::setTimeout(int ms)
{
    http.setTimeout(ms);
}

void Scrobbler::abort()
{
    http.abort();
}

int Scrobbler::state() const
{
    return protocolState;
}

QString Scrobbler::submissionUrl() const
{
    return submitUrl;
}

int Scrobbler::interval() const
{
    return submitInterval;
}

int Scrobbler::queueSize() const
{
    return int(queue.size());
}

void Scrobbler::run()
{
    handshake();
}

void Scrobbler::handshake()
{
    protocolState = Handshaking;
    const std::optional<QByteArray> answer = http.get(handshakeRequestUrl(), MAX_ANSWER_BYTES);
    if (!answer) {
        protocolState = NoSession;
        return;
    }
    const qsizetype end = answer->indexOf('\0');
    readHandshakeAnswer(QString::fromLatin1(end < 0 ? *answer : answer->left(end)));
}

QUrl Scrobbler::handshakeRequestUrl() const
{
    const auto encoded = [](const QString &value) {
        return QString::fromLatin1(QUrl::toPercentEncoding(value));
    };
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("hs"), QStringLiteral("true"));
    query.addQueryItem(QStringLiteral("p"), QStringLiteral("1.1"));
    query.addQueryItem(QStringLiteral("c"), QString::fromLatin1(CLIENT_ID));
    query.addQueryItem(QStringLiteral("v"), QString::fromLatin1(CLIENT_VERSION));
    query.addQueryItem(QStringLiteral("u"), encoded(user));
    QUrl url = handshakeUrl;
    url.setQuery(query);
    return url;
}

// "UPTODATE", the challenge, the submission URL and "INTERVAL n"; anything else is a notice of
// the service (BADUSER, FAILED ...), after which the handshake is over as well.
void Scrobbler::readHandshakeAnswer(const QString &answer)
{
    const QStringList lines = answer.split(QLatin1Char('\n'));
    if (lines.first().trimmed() != QLatin1String("UPTODATE")) {
        qCDebug(lcLastfm) << "Handshake answered:" << lines.first().trimmed().left(200);
        protocolState = HandshakeDone;
        return;
    }
    if (lines.size() < 4) {
        protocolState = NoSession;
        return;
    }
    submitUrl = lines.at(2).trimmed();
    const std::optional<int> seconds = trailingNumber(lines.at(3).trimmed());
    if (!seconds) {
        protocolState = NoSession;
        return;
    }
    submitInterval = *seconds;
    protocolState = HandshakeDone;
}
