// SongModel: the table of songs behind the playlist view and the file browser's song list: the
// songs' tags, and what the server's stickers say of them (SongFacts, when given). Owns its song
// records; created without a parent and owned by whoever installs it. GUI thread only.
#ifndef SONGMODEL_H
#define SONGMODEL_H

#include "core/qmpdsong.h"
#include "core/songfacts.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <memory>
#include <vector>

class SongModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // New columns go at the end: a saved header layout keeps its meaning.
    enum Column { Title, Artist, Album, Track, Date, Duration, File, Rating, Plays, LastPlayed };
    static constexpr int ColumnCount = LastPlayed + 1;

    enum Role {
        FileRole = Qt::UserRole,  // the song's MPD path, for every column
        NowPlayingRole,           // the record's now-playing mark, as a bool
        RatingRole                // 0 to 10, -1 for none (see SongFacts)
    };

    explicit SongModel(QObject *parent = nullptr);
    ~SongModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Rows can be dragged and dropped between others, never onto one.
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Appends one row and takes ownership of the record; a null record adds nothing.
    void addItem(QmpdSong *song);
    // Appends a whole block with a single insert notification; null entries are dropped.
    void addItems(std::vector<std::unique_ptr<QmpdSong>> newSongs);
    // Removes and deletes the record at row; a row outside the list removes nothing.
    void removeItem(int row);
    // Removes every row in one notification.
    void clear();
    // Makes the rows from `first` on equal to `tail`, in place: songs (by id) no longer there are
    // removed and new ones inserted, each block with its own notification, so that selections
    // follow their songs; rows that then differ (moved songs, changed tags) are replaced.
    void replaceTail(int first, std::vector<QmpdSong> tail);
    // The record at row, or null.
    const QmpdSong *songAtRow(int row) const;
    // The first row holding the song id, or -1.
    int onWhichRow(int id) const;
    // Marks row as the only playing one; a row outside the list just clears the mark.
    void setNowPlaying(int row);
    // The stickers the fact columns show; followed as they change. Not owned.
    void setFacts(const SongFacts *facts);

private:
    const QmpdSong *songAt(const QModelIndex &index) const;

    std::vector<std::unique_ptr<QmpdSong>> songs;
    QPointer<const SongFacts> facts;
};

#endif
