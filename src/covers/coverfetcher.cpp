#include "covers/coverfetcher.h"

#include "lastfm/albuminfoanswer.h"
#include "covers/coverimage.h"
#include "lastfm/lastfmlog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSaveFile>
#include <QUrlQuery>

namespace {

// A real answer is a few KiB; the cap keeps a broken or hostile server from filling memory.
const qint64 MAX_ANSWER_BYTES = 4 * 1024 * 1024;

// NAME_MAX is 255 bytes; QSaveFile needs 7 more for the suffix of its temporary file.
const int MAX_FILE_NAME_BYTES = 248;

QString cleanedForFileName(QString text)
{
    // Slashes and backslashes would lead out of the cover directory; NUL ends a file name.
    return text.remove(QLatin1Char(' '))
            .remove(QLatin1Char('/'))
            .remove(QLatin1Char('\\'))
            .remove(QChar(0));
}

// Long names are cut and marked with a digest of the whole, so that different albums with a
// common beginning keep different files.
QString fittedFileName(const QString &stem, const QString &suffix)
{
    if (QFile::encodeName(stem + suffix).size() <= MAX_FILE_NAME_BYTES)
        return stem + suffix;

    const QByteArray digest
            = QCryptographicHash::hash(stem.toUtf8(), QCryptographicHash::Md5).toHex();
    const QString mark = QLatin1Char('~') + QString::fromLatin1(digest);
    QString head = stem.left(MAX_FILE_NAME_BYTES);
    while (QFile::encodeName(head + mark + suffix).size() > MAX_FILE_NAME_BYTES) {
        head.chop(1);
        if (!head.isEmpty() && head.back().isHighSurrogate())
            head.chop(1);
    }
    return head + mark + suffix;
}

QString percentEncoded(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

bool isCached(const QString &path)
{
    const QFileInfo file(path);
    return file.isFile() && file.size() > 0;
}

}  // namespace

CoverFetcher::CoverFetcher(QObject *parent) : QThread(parent) { }

CoverFetcher::~CoverFetcher()
{
    abort();
    wait();
}

void CoverFetcher::setAlbumArtist(const QString &artist, const QString &album)
{
    this->artist = artist;
    this->album = album;
    http.clearAbort();
    server.clearAbort();
}

void CoverFetcher::setSong(const QString &file, const QString &host, int port,
                           const QString &password)
{
    songFile = file;
    server.setServer(host, port, password);
}

void CoverFetcher::setServiceUrl(const QUrl &url)
{
    serviceUrl = url;
}

void CoverFetcher::setTimeout(int ms)
{
    http.setTimeout(ms);
}

void CoverFetcher::setApiKey(const QString &key)
{
    const QMutexLocker locker(&keyMutex);
    this->key = key;
}

QString CoverFetcher::apiKey() const
{
    const QMutexLocker locker(&keyMutex);
    return key;
}

void CoverFetcher::abort()
{
    http.abort();
    server.abort();
}

void CoverFetcher::removeCachedCovers()
{
    // Plain files only: hidden files and subdirectories are not ours to delete.
    const QDir directory(coverDirectory());
    if (!directory.exists())
        return;
    const QStringList files = directory.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString &file : files)
        QFile::remove(directory.filePath(file));
}

QString CoverFetcher::coverDirectory()
{
    return QDir::homePath() + QStringLiteral("/.config/tuneloom/coverart/");
}

QString CoverFetcher::coverPath(const QString &artist, const QString &album)
{
    const QString stem = cleanedForFileName(artist) + QLatin1Char('_') + cleanedForFileName(album);
    return coverDirectory() + fittedFileName(stem, QStringLiteral(".jpg"));
}

QString CoverFetcher::answerPath()
{
    return QDir::homePath() + QStringLiteral("/.config/tuneloom/xml__tmp.xml");
}

void CoverFetcher::run()
{
    fetch();
    emit finished(success);
}

void CoverFetcher::fetch()
{
    success = false;
    const QString cover = coverPath(artist, album);
    if (isCached(cover)) {
        success = true;
        return;
    }
    const QByteArray picture = server.fetch(songFile);
    success = picture.isEmpty() ? fetchFromLastfm(cover) : writeFile(cover, picture);
}

bool CoverFetcher::fetchFromLastfm(const QString &cover)
{
    const QString key = apiKey();
    if (key.isEmpty() || key == rejectedKey)
        return false;
    const std::optional<QByteArray> answer = getAlbumInfo(key);
    if (!answer || answer->isEmpty() || !writeFile(answerPath(), *answer))
        return false;
    const QString address = AlbumInfoAnswer::extraLargeImageAddress(readAnswerFile());
    if (address.isEmpty()) {
        qCDebug(lcLastfm) << "No cover image in the answer for" << artist << album;
        return false;
    }
    const std::optional<QByteArray> image = http.get(QUrl(address), CoverImage::MAX_BYTES);
    return image && CoverImage::isUsable(*image) && writeFile(cover, *image);
}

// The answer; nothing after an error, and after the service's refusal of the key, which is
// then reported once and not used again.
std::optional<QByteArray> CoverFetcher::getAlbumInfo(const QString &key)
{
    QByteArray errorAnswer;
    const std::optional<QByteArray> answer
            = http.get(albumInfoUrl(key), MAX_ANSWER_BYTES, &errorAnswer);
    if (!AlbumInfoAnswer::rejectsKey(QString::fromLatin1(answer.value_or(errorAnswer))))
        return answer;
    qCWarning(lcLastfm) << "Last.fm refused the API key";
    rejectedKey = key;
    emit apiKeyRejected();
    return std::nullopt;
}

QUrl CoverFetcher::albumInfoUrl(const QString &key) const
{
    // Encoded by hand: QUrlQuery would leave "+" (a space to the service) and "%" alone.
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("method"), QStringLiteral("album.getinfo"));
    query.addQueryItem(QStringLiteral("api_key"), percentEncoded(key));
    query.addQueryItem(QStringLiteral("album"), percentEncoded(album));
    if (!artist.isEmpty())
        query.addQueryItem(QStringLiteral("artist"), percentEncoded(artist));
    QUrl url = serviceUrl;
    url.setQuery(query);
    return url;
}

// Replaced only by a complete write, so a failure never leaves a broken cover behind that would
// count as cached.
bool CoverFetcher::writeFile(const QString &path, const QByteArray &bytes)
{
    if (!makeParentDirectory(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCDebug(lcLastfm) << "Cannot write" << path << file.errorString();
        return false;
    }
    file.write(bytes);
    return file.commit();
}

QString CoverFetcher::readAnswerFile() const
{
    QFile file(answerPath());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray answer = file.read(MAX_ANSWER_BYTES + 1);
    return answer.size() > MAX_ANSWER_BYTES ? QString() : QString::fromLatin1(answer);
}

bool CoverFetcher::makeParentDirectory(const QString &filePath)
{
    // The directory may hold the MPD password in the settings file: keep it private.
    const QString configDirectory = QDir::homePath() + QStringLiteral("/.config/tuneloom");
    if (!QFileInfo::exists(configDirectory)) {
        if (!QDir().mkpath(configDirectory))
            return false;
        QFile::setPermissions(configDirectory,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return QDir().mkpath(QFileInfo(filePath).absolutePath());
}
