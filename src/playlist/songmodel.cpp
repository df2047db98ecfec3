#include "songmodel.h"

#include <algorithm>
#include <iterator>

namespace {

const char *const headerTexts[SongModel::ColumnCount] = {
        QT_TRANSLATE_NOOP("SongModel", "Title"), QT_TRANSLATE_NOOP("SongModel", "Artist"),
        QT_TRANSLATE_NOOP("SongModel", "Album"), QT_TRANSLATE_NOOP("SongModel", "Track"),
        QT_TRANSLATE_NOOP("SongModel", "Date"),  QT_TRANSLATE_NOOP("SongModel", "Duration"),
        QT_TRANSLATE_NOOP("SongModel", "File"),
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
        return song.timeText;
    case SongModel::File:
        return fileName(song.file);
    }
    return QString();
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
        return displayText(*song, index.column());
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

void SongModel::applyChanges(int length, std::vector<std::pair<int, QmpdSong>> changed)
{
    std::sort(changed.begin(), changed.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    const int oldCount = rowCount();
    auto next = changed.begin();
    // Replaced rows, announced per contiguous run.
    int runStart = -1;
    int runEnd = -1;
    const auto announceRun = [&] {
        if (runStart >= 0)
            emit dataChanged(index(runStart, 0), index(runEnd, ColumnCount - 1));
        runStart = -1;
    };
    for (; next != changed.end() && next->first < std::min(oldCount, length); ++next) {
        if (next->first < 0)
            continue;
        songs[next->first] = std::make_unique<QmpdSong>(std::move(next->second));
        if (runStart >= 0 && next->first != runEnd + 1)
            announceRun();
        if (runStart < 0)
            runStart = next->first;
        runEnd = next->first;
    }
    announceRun();
    if (length < oldCount) {
        beginRemoveRows(QModelIndex(), length, oldCount - 1);
        songs.erase(songs.begin() + length, songs.end());
        endRemoveRows();
        return;
    }
    std::vector<std::unique_ptr<QmpdSong>> tail;
    for (int row = oldCount; row < length && next != changed.end() && next->first == row;
         ++row, ++next)
        tail.push_back(std::make_unique<QmpdSong>(std::move(next->second)));
    addItems(std::move(tail));
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

const QmpdSong *SongModel::songAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= rowCount()
        || index.column() >= ColumnCount)
        return nullptr;
    return songs[index.row()].get();
}
