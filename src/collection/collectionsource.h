// CollectionSource: the collection builder's own connection to the MPD server.
// Created, used and freed inside the builder's thread, so the GUI thread's
// connection goes on undisturbed during a long listing. Lists every song of the
// database in the server's tree order: in one listing when the server's output
// buffer allows it, otherwise directory by directory.
#ifndef COLLECTIONSOURCE_H
#define COLLECTIONSOURCE_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

typedef struct _MpdObj MpdObj;
typedef struct _MpdData MpdData;

class CollectionSource
{
public:
    // Called with each listing (whose songs, in order, make the database's song
    // list), which it then owns; returning false stops the listing. Listings of
    // one directory also hold its subdirectories, to be skipped.
    using ListingSink = std::function<bool(MpdData *listing)>;

    CollectionSource(const QString &host, int port, const QString &password);
    ~CollectionSource();

    bool open();
    // The server's last database update, seconds since the epoch; asked afresh.
    bool databaseUpdateTime(quint32 *updateTime);
    // The number of songs the server reported with the update time.
    int songCount() const;
    // True only when every song arrived; false on an error or when the sink stopped it.
    bool listSongs(const ListingSink &sink);
    QString errorText() const;

private:
    static int onError(MpdObj *mpd, int id, char *message, void *userdata);

    bool connectServer();
    bool healthySince(int errorsBefore) const;
    // What a directory's own listing held besides the songs passed on.
    struct Directory
    {
        int songs = 0;
        QList<QByteArray> subdirectories;
    };

    // expectedSongs: a guess of the songs below path, to choose between one
    // recursive listing and a listing per subdirectory.
    bool listTree(const QByteArray &path, int expectedSongs, const ListingSink &sink);
    bool listDirectory(const QByteArray &path, int expectedSongs, const ListingSink &sink);
    static Directory contentsOf(MpdData *listing);

    QByteArray host;
    QByteArray password;
    int port;
    std::unique_ptr<MpdObj, void (*)(MpdObj *)> mpd;
    int errorCount = 0;
    QString lastError;
};

#endif
