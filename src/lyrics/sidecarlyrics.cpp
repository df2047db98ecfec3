#include "lyrics/sidecarlyrics.h"

#include "lyrics/lrcparser.h"
#include "lyrics/lyricslog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The song's path without its extension, inside the folder; empty when it is not inside.
QString stemInside(const QString &musicFolder, const QString &songFile)
{
    if (musicFolder.isEmpty() || songFile.isEmpty() || songFile.contains(QLatin1String("://")))
        return QString();
    const QString folder = QDir::cleanPath(musicFolder) + QLatin1Char('/');
    const QString path = QDir::cleanPath(folder + songFile);
    if (!path.startsWith(folder))
        return QString();
    const int slash = int(path.lastIndexOf(QLatin1Char('/')));
    const int dot = int(path.lastIndexOf(QLatin1Char('.')));
    return dot > slash + 1 ? path.left(dot) : path;
}

}  // namespace

QByteArray SidecarLyrics::read(const QString &musicFolder, const QString &songFile)
{
    const QString stem = stemInside(musicFolder, songFile);
    if (stem.isEmpty())
        return QByteArray();
    for (const char *suffix : {".lrc", ".txt"}) {
        QFile file(stem + QLatin1String(suffix));
        if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.read(LrcParser::MaxBytes);
        if (!bytes.trimmed().isEmpty())
            return bytes;
    }
    qCDebug(lcLyrics) << "No lyrics file beside" << songFile << "in" << musicFolder;
    return QByteArray();
}
