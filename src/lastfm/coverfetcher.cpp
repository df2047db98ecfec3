#include "coverfetcher.h"

#include "lastfmlog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrlQuery>
#include <QXmlStreamReader>

namespace {

const char API_KEY[] = "5f0c2e9a7b1d4c3e8a6f2b0d9e7c1a45";

// A real answer is a few KiB and a cover a few hundred KiB; the caps keep a broken or hostile
// server from filling memory or the disk.
const qint64 MAX_ANSWER_BYTES = 4 * 1024 * 1024;
const qint64 MAX_COVER_BYTES = 16 * 1024 * 1024;

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

// The text of the element just started, its children's text included. Read token by token:
// QXmlStreamReader::readElementText recurses once per nested element, and an answer nested
// deeply enough inside an image element overflows the worker's stack.
QString elementText(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement())
            ++depth;
        else if (xml.isEndElement())
            --depth;
        else if (xml.isCharacters() || xml.isEntityReference())
            text += xml.text();
    }
    return text;
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
}

void CoverFetcher::setServiceUrl(const QUrl &url)
{
    serviceUrl = url;
}

void CoverFetcher::setTimeout(int ms)
{
    http.setTimeout(ms);
}

void CoverFetcher::abort()
{
    http.abort();
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
    if (!download(albumInfoUrl(), answerPath(), MAX_ANSWER_BYTES))
        return;
    const QString address = extraLargeImageAddress(readAnswerFile());
    if (address.isEmpty()) {
        qCDebug(lcLastfm) << "No cover image in the answer for" << artist << album;
        return;
    }
    success = download(QUrl(address), cover, MAX_COVER_BYTES);
}

QUrl CoverFetcher::albumInfoUrl() const
{
    // Encoded by hand: QUrlQuery would leave "+" (a space to the service) and "%" alone.
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("method"), QStringLiteral("album.getinfo"));
    query.addQueryItem(QStringLiteral("api_key"), QString::fromLatin1(API_KEY));
    query.addQueryItem(QStringLiteral("album"), percentEncoded(album));
    if (!artist.isEmpty())
        query.addQueryItem(QStringLiteral("artist"), percentEncoded(artist));
    QUrl url = serviceUrl;
    url.setQuery(query);
    return url;
}

// Only a complete, successful transfer replaces the file, so a failure never leaves a broken
// cover behind that would count as cached.
bool CoverFetcher::download(const QUrl &url, const QString &path, qint64 maxBytes)
{
    const std::optional<QByteArray> body = http.get(url, maxBytes);
    if (!body || body->isEmpty() || !makeParentDirectory(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCDebug(lcLastfm) << "Cannot write" << path << file.errorString();
        return false;
    }
    file.write(*body);
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

// The image elements are children of the first "album" child of the document element; the
// last extra-large one wins. A streaming walk keeps deep or huge documents cheap.
QString CoverFetcher::extraLargeImageAddress(const QString &answer)
{
    QXmlStreamReader xml(answer);
    xml.setNamespaceProcessing(false);
    QString address;
    int depth = 0;
    bool albumSeen = false;
    bool inAlbum = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (depth == 2 && !albumSeen && xml.qualifiedName() == QLatin1String("album")) {
                albumSeen = inAlbum = true;
            } else if (inAlbum && depth == 3 && xml.qualifiedName() == QLatin1String("image")
                       && xml.attributes().value(QLatin1String("size"))
                               == QLatin1String("extralarge")) {
                address = elementText(xml);
                --depth;  // the end of the image element has been read with its text
            }
        } else if (xml.isEndElement()) {
            if (depth == 2)
                inAlbum = false;
            --depth;
        }
    }
    if (xml.hasError()) {
        qCDebug(lcLastfm) << "Unusable answer:" << xml.errorString();
        return QString();
    }
    return address.trimmed();
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
