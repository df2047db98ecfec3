#include "albums/albumgridmodel.h"

#include "albums/albumthumbnails.h"
#include "core/searchtext.h"

#include <algorithm>

namespace {

int compareText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive);
}

}  // namespace

AlbumGridModel::AlbumGridModel(const AlbumThumbnails *thumbnails, QPixmap placeholder,
                               QObject *parent)
    : QAbstractListModel(parent), thumbnails(thumbnails), placeholder(std::move(placeholder))
{ }

void AlbumGridModel::setAlbums(QList<AlbumSummary> list)
{
    albums = std::move(list);
    foldedNames.clear();
    foldedNames.reserve(size_t(albums.size()));
    for (const AlbumSummary &album : std::as_const(albums))
        foldedNames.push_back(SearchText::fold(album.album + QLatin1Char(' ') + album.artist));
    arrange();
}

void AlbumGridModel::setOrder(Order newOrder)
{
    order = newOrder;
    arrange();
}

void AlbumGridModel::setSearch(const QString &typed)
{
    const QList<QByteArray> typedWords = SearchText::words(typed);
    if (typedWords == words)
        return;
    words = typedWords;
    arrange();
}

const AlbumSummary &AlbumGridModel::albumAt(int row) const
{
    return albums.at(shown.at(size_t(row)));
}

QString AlbumGridModel::keyOf(const AlbumSummary &album)
{
    return album.artist + QLatin1Char('\n') + album.album;
}

int AlbumGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shown.size());
}

QVariant AlbumGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    const AlbumSummary &album = albumAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString(album.album + QLatin1Char('\n') + album.artist);
    case Qt::ToolTipRole:
        return album.year.isEmpty() ? keyOf(album) : keyOf(album) + QLatin1String(" (")
                                                             + album.year + QLatin1Char(')');
    case Qt::DecorationRole: {
        const QPixmap cover = thumbnails->thumbnail(keyOf(album));
        return cover.isNull() ? placeholder : cover;
    }
    case ArtistRole:
        return album.artist;
    case AlbumRole:
        return album.album;
    case KeyRole:
        return keyOf(album);
    default:
        return QVariant();
    }
}

void AlbumGridModel::onThumbnailArrived(const QString &key)
{
    const auto row = rowOfKey.constFind(key);
    if (row == rowOfKey.constEnd())
        return;
    const QModelIndex changed = index(*row);
    emit dataChanged(changed, changed, {Qt::DecorationRole});
}

// Ties fall back to artist, then title, so that every order is complete and repeatable.
bool AlbumGridModel::comesBefore(const AlbumSummary &a, const AlbumSummary &b) const
{
    const int byArtist = compareText(a.artist, b.artist);
    const int byTitle = compareText(a.album, b.album);
    const auto artistThenTitle = [&] { return byArtist != 0 ? byArtist < 0 : byTitle < 0; };
    switch (order) {
    case Order::Artist:
        return artistThenTitle();
    case Order::Title:
        return byTitle != 0 ? byTitle < 0 : byArtist < 0;
    case Order::Year:
        // Albums without a year come last.
        if (a.year.isEmpty() != b.year.isEmpty())
            return b.year.isEmpty();
        return a.year != b.year ? a.year < b.year : artistThenTitle();
    case Order::Modified:
        return a.lastModified != b.lastModified ? a.lastModified > b.lastModified
                                                : artistThenTitle();
    }
    return false;
}

void AlbumGridModel::arrange()
{
    beginResetModel();
    shown.clear();
    for (int i = 0; i < albums.size(); ++i) {
        if (SearchText::containsAll(foldedNames[size_t(i)], words))
            shown.push_back(i);
    }
    std::stable_sort(shown.begin(), shown.end(), [this](int a, int b) {
        return comesBefore(albums.at(a), albums.at(b));
    });
    rowOfKey.clear();
    rowOfKey.reserve(qsizetype(shown.size()));
    for (size_t row = 0; row < shown.size(); ++row)
        rowOfKey.insert(keyOf(albums.at(shown[row])), int(row));
    endResetModel();
}
