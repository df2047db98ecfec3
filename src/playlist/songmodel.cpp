#include "playlist/songmodel.h"

#include <QDateTime>
#include <QSet>

#include <algorithm>
#include <iterator>

namespace {

const char *const headerTexts[SongModel::ColumnCount] = {
        QT_TRANSLATE_NOOP("SongModel", "Title"), QT_TRANSLATE_NOOP("SongModel", "Artist"),
        QT_TRANSLATE_NOOP("SongModel", "Album"), QT_TRANSLATE_NOOP("SongModel", "Track"),
        QT_TRANSLATE_NOOP("SongModel", "Date"),  QT_TRANSLATE_NOOP("SongModel", "Duration"),
        QT_TRANSLATE_NOOP("SongModel", "File"),  QT_TRANSLATE_NOOP("SongModel", "Rating"),
        QT_TRANSLATE_NOOP("SongModel", "Plays"), QT_TRANSLATE_NOOP("SongModel", "Last played"),
};

QString fileName(const QString &path)
{
    return path.section(QLatin1Char('/'), -1);
}

// Untagged songs are listed by their file name up to the first dot.
QString titleOrFileBaseName(const QmpdSong &song)
{
    if (!song.title.isEmpty())
        return song.title;
    return fileName(song.file).section(QLatin1Char('.'), 0, 0);
}

// The rating is drawn as stars, not written.
QString factText(const SongFact &fact, int column)
{
    if (column == SongModel::Plays && fact.playCount > 0)
        return QString::number(fact.playCount);
    if (column == SongModel::LastPlayed && fact.lastPlayed > 0)
        return QDateTime::fromSecsSinceEpoch(fact.lastPlayed).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return QString();
}

QString displayText(const QmpdSong &song, int column)
{
    switch (column) {
    case SongModel::Title:
        return titleOrFileBaseName(song);
    case SongModel::Artist:
        return song.artist;
    case SongModel::Album:
        return song.album;
    case SongModel::Track:
        return song.track;
    case SongModel::Date:
        return song.date;
    case SongModel::Duration:
        return song.timeText();
    case SongModel::File:
        return fileName(song.file);
    }
    return QString();
}

bool sameSong(const QmpdSong &a, const QmpdSong &b)
{
    return a.id == b.id && a.time == b.time && a.file == b.file && a.title == b.title
            && a.artist == b.artist && a.album == b.album && a.track == b.track && a.date == b.date;
}

}  // namespace

SongModel::SongModel(QObject *parent) : QAbstractTableModel(parent) { }

SongModel::~SongModel() = default;

int SongModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(songs.size());
}

int SongModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SongModel::data(const QModelIndex &index, int role) const
{
    const QmpdSong *song = songAt(index);
    if (!song)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() >= Rating)
            return facts ? factText(facts->of(song->file), index.column()) : QString();
        return displayText(*song, index.column());
    case RatingRole:
        return facts ? facts->of(song->file).rating : -1;
    case FileRole:
        return song->file;
    case NowPlayingRole:
        return song->nowPlaying;
    }
    return QVariant();
}

QVariant SongModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= ColumnCount)
        return QVariant();
    return tr(headerTexts[section]);
}

Qt::ItemFlags SongModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
}

void SongModel::addItem(QmpdSong *song)
{
    if (!song)
        return;
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    songs.emplace_back(song);
    endInsertRows();
}

void SongModel::addItems(std::vector<std::unique_ptr<QmpdSong>> newSongs)
{
    newSongs.erase(std::remove(newSongs.begin(), newSongs.end(), nullptr), newSongs.end());
    if (newSongs.empty())
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + int(newSongs.size()) - 1);
    songs.insert(songs.end(), std::make_move_iterator(newSongs.begin()),
                 std::make_move_iterator(newSongs.end()));
    endInsertRows();
}

void SongModel::removeItem(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    songs.erase(songs.begin() + row);
    endRemoveRows();
}

void SongModel::clear()
{
    if (songs.empty())
        return;
    beginRemoveRows(QModelIndex(), 0, rowCount() - 1);
    songs.clear();
    endRemoveRows();
}

void SongModel::replaceTail(int first, std::vector<QmpdSong> tail)
{
    first = std::clamp(first, 0, rowCount());
    QSet<int> newIds;
    for (const QmpdSong &song : tail)
        newIds.insert(song.id);
    // Gone: removed block by block from the end, so the rows before stay where they are.
    for (int last = rowCount() - 1; last >= first; --last) {
        if (newIds.contains(songs[last]->id))
            continue;
        int start = last;
        while (start > first && !newIds.contains(songs[start - 1]->id))
            --start;
        beginRemoveRows(QModelIndex(), start, last);
        songs.erase(songs.begin() + start, songs.begin() + last + 1);
        endRemoveRows();
        last = start;
    }
    QSet<int> oldIds;
    for (int row = first; row < rowCount(); ++row)
        oldIds.insert(songs[row]->id);
    // New: inserted block by block where they belong.
    const int count = int(tail.size());
    for (int i = 0; i < count;) {
        if (oldIds.contains(tail[i].id)) {
            ++i;
            continue;
        }
        int end = i;
        while (end < count && !oldIds.contains(tail[end].id))
            ++end;
        beginInsertRows(QModelIndex(), first + i, first + end - 1);
        std::vector<std::unique_ptr<QmpdSong>> block;
        for (int k = i; k < end; ++k)
            block.push_back(std::make_unique<QmpdSong>(tail[k]));
        songs.insert(songs.begin() + first + i, std::make_move_iterator(block.begin()),
                     std::make_move_iterator(block.end()));
        endInsertRows();
        i = end;
    }
    // Same songs now (ids are unique in a queue), maybe in another order or with other tags:
    // replaced, announced per run.
    const int compared = std::min(count, rowCount() - first);
    int runStart = -1;
    for (int i = 0; i <= compared; ++i) {
        const int row = first + i;
        if (i < compared && !sameSong(*songs[row], tail[i])) {
            songs[row] = std::make_unique<QmpdSong>(std::move(tail[i]));
            if (runStart < 0)
                runStart = row;
        } else if (runStart >= 0) {
            emit dataChanged(index(runStart, 0), index(row - 1, ColumnCount - 1));
            runStart = -1;
        }
    }
}

const QmpdSong *SongModel::songAtRow(int row) const
{
    return row >= 0 && row < rowCount() ? songs[row].get() : nullptr;
}

int SongModel::onWhichRow(int id) const
{
    const auto found = std::find_if(songs.begin(), songs.end(),
                                    [id](const auto &song) { return song->id == id; });
    return found == songs.end() ? -1 : int(std::distance(songs.begin(), found));
}

void SongModel::setNowPlaying(int row)
{
    // Only rows whose mark flips are announced, so the view repaints the old and
    // the new playing row at once instead of on its next unrelated repaint.
    for (int r = 0; r < rowCount(); ++r) {
        QmpdSong &song = *songs[r];
        const bool playing = r == row;
        if (song.nowPlaying == playing)
            continue;
        song.nowPlaying = playing;
        emit dataChanged(index(r, 0), index(r, ColumnCount - 1), {NowPlayingRole});
    }
}

void SongModel::setFacts(const SongFacts *newFacts)
{
    if (facts)
        disconnect(facts, nullptr, this, nullptr);
    facts = newFacts;
    connect(facts, &SongFacts::changed, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0, Rating), index(rowCount() - 1, LastPlayed));
    });
}

const QmpdSong *SongModel::songAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= rowCount()
        || index.column() >= ColumnCount)
        return nullptr;
    return songs[index.row()].get();
}
