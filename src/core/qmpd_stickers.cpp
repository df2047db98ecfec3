// Qmpd's song stickers (the values MPD's sticker database keeps per song for every client), and
// the tag searches smart playlists ask for.
#include "core/qmpd.h"

#include "core/rawanswer.h"
#include "core/songlist.h"

namespace {

// The server's answer when a song has no such sticker: normal, not worth a box.
constexpr int NoSuchThing = 50;

QByteArray stickerRequest(const char *verb, const QString &file, const QString &name,
                          const QString &value = QString())
{
    QList<QByteArray> arguments{verb, "song", file.toUtf8(), name.toUtf8()};
    if (!value.isNull())
        arguments << value.toUtf8();
    return RawAnswer::request("sticker", arguments);
}

// "sticker: name=value" -> value
QString stickerValue(const QByteArray &line, const QString &name)
{
    const QByteArray prefix = "sticker: " + name.toUtf8() + '=';
    return line.startsWith(prefix) ? QString::fromUtf8(line.mid(prefix.size())) : QString();
}

}  // namespace

std::optional<QString> Qmpd::songSticker(const QString &file, const QString &name)
{
    const std::optional<RawAnswer::Answer> answer = exchange(stickerRequest("get", file, name));
    if (!answer)
        return std::nullopt;
    if (!answer->refusal.isEmpty()) {
        if (refusalCode(answer->refusal) != NoSuchThing)
            reportRefusal(answer->refusal);
        return std::nullopt;
    }
    return stickerValue(answer->lines.value(0), name);
}

bool Qmpd::putSongStickers(const QStringList &files, const QString &name, const QString &value)
{
    // One request each: in a command list, deleting a sticker a song does not have would end
    // the list there.
    for (const QString &file : files) {
        const QByteArray request = value.isEmpty() ? stickerRequest("delete", file, name)
                                                   : stickerRequest("set", file, name, value);
        const std::optional<RawAnswer::Answer> answer = exchange(request);
        if (!answer)
            return false;
        if (!answer->refusal.isEmpty()
            && !(value.isEmpty() && refusalCode(answer->refusal) == NoSuchThing)) {
            reportRefusal(answer->refusal);
            return false;
        }
    }
    return true;
}

std::optional<QHash<QString, QString>> Qmpd::findSongStickers(const QString &name)
{
    // Every song under the root folder: one request for the whole database.
    const std::optional<RawAnswer::Answer> answer
            = exchange(RawAnswer::request("sticker", {"find", "song", "", name.toUtf8()}));
    if (!answer)
        return std::nullopt;
    if (!answer->refusal.isEmpty()) {
        reportRefusal(answer->refusal);
        return std::nullopt;
    }
    QHash<QString, QString> values;
    values.reserve(answer->lines.size() / 2);
    QString file;
    for (const QByteArray &line : answer->lines) {
        if (line.startsWith("file: "))
            file = QString::fromUtf8(line.mid(6));
        else if (!file.isEmpty() && line.startsWith("sticker: "))
            values.insert(file, stickerValue(line, name));
    }
    return values;
}

QStringList Qmpd::filesWithTag(const QString &tag, const QString &value)
{
    // A filter expression (MPD 0.21): "search" compares without case.
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    const QByteArray filter = '(' + tag.toUtf8() + " == \"" + quoted.toUtf8() + "\")";
    QStringList files;
    const std::optional<SongList> found
            = fetchSongs(RawAnswer::request("search", {filter}), QmpdSong::TrackDateDecoding::Latin1);
    for (const QmpdSong &song : found ? found->songs : std::vector<QmpdSong>())
        files << song.file;
    return files;
}
