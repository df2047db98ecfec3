#include "lyrics/lyricscache.h"

#include "core/settingsstore.h"
#include "lyrics/lrcparser.h"
#include "lyrics/lyricslog.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The service looks songs up by these four, so they name the entry: a song in two folders
// shares one. A digest keeps any title out of the file name.
QString pathOf(const LyricsSong &song, const char *suffix)
{
    const QString key = song.artist + QLatin1Char('\n') + song.title + QLatin1Char('\n')
            + song.album + QLatin1Char('\n') + QString::number(song.seconds);
    const QByteArray digest
            = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
    return LyricsCache::directory() + QString::fromLatin1(digest + suffix);
}

QString foundPath(const LyricsSong &song)
{
    return pathOf(song, ".lrc");
}

QString notFoundPath(const LyricsSong &song)
{
    return pathOf(song, ".none");
}

// Replaced only by a complete write: a failure never leaves half a file that would count.
bool writeFile(const QString &path, const QByteArray &bytes)
{
    if (!SettingsStore::ensureDirectory() || !QDir().mkpath(LyricsCache::directory()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCDebug(lcLyrics) << "Cannot write" << path << file.errorString();
        return false;
    }
    file.write(bytes);
    return file.commit();
}

}  // namespace

QString LyricsCache::directory()
{
    return SettingsStore::directory() + QStringLiteral("/lyrics/");
}

LyricsCache::Entry LyricsCache::read(const LyricsSong &song)
{
    QFile found(foundPath(song));
    if (found.open(QIODevice::ReadOnly))
        return {State::Found, found.read(LrcParser::MaxBytes)};
    const QFileInfo notFound(notFoundPath(song));
    if (notFound.exists()
        && notFound.lastModified().daysTo(QDateTime::currentDateTime()) < NotFoundDays)
        return {State::NotFound, {}};
    return {};
}

bool LyricsCache::store(const LyricsSong &song, const QByteArray &lyrics)
{
    return writeFile(lyrics.isEmpty() ? notFoundPath(song) : foundPath(song), lyrics);
}
