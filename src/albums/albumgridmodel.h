// AlbumGridModel: the albums of the collection index as tiles of a wall of covers: title and
// artist under each, the thumbnail when it is at hand, else a placeholder. Sorts and filters
// itself (a reset each time: a new order moves nearly every tile). Owned by the albums
// controller; GUI thread.
#ifndef ALBUMGRIDMODEL_H
#define ALBUMGRIDMODEL_H

#include "collection/albumsummary.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPixmap>

#include <vector>

class AlbumThumbnails;

class AlbumGridModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { ArtistRole = Qt::UserRole + 1, AlbumRole, KeyRole };
    enum class Order { Artist, Title, Year, Modified };

    AlbumGridModel(const AlbumThumbnails *thumbnails, QPixmap placeholder, QObject *parent);

    void setAlbums(QList<AlbumSummary> albums);
    void setOrder(Order order);
    // Words as the collection's search field takes them (case and accents ignored); an album is
    // shown when its title and artist hold them all.
    void setSearch(const QString &typed);

    const AlbumSummary &albumAt(int row) const;
    static QString keyOf(const AlbumSummary &album);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    void onThumbnailArrived(const QString &key);

private:
    void arrange();
    bool comesBefore(const AlbumSummary &a, const AlbumSummary &b) const;

    const AlbumThumbnails *thumbnails;
    const QPixmap placeholder;
    QList<AlbumSummary> albums;
    std::vector<QByteArray> foldedNames;  // per album, its title and artist
    QList<QByteArray> words;
    Order order = Order::Artist;
    std::vector<int> shown;  // positions in albums, in view order
    QHash<QString, int> rowOfKey;
};

#endif
