// CollectionSource: the collection builder's own connection to the MPD server.
// Created, used and freed inside the builder's thread, so the GUI thread's
// connection goes on undisturbed during a long listing. Lists every song of the
// database in the server's tree order: directories whose expected share is
// small are listed recursively, many of them per command list; larger ones
// directory by directory. A directory that cannot be listed even alone is left out
// (unreadableFolders()), and the listing goes on with the rest.
#ifndef COLLECTIONSOURCE_H
#define COLLECTIONSOURCE_H

#include "collection/unreadablefolder.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

struct mpd_connection;
typedef struct _MpdData MpdData;
class ListingAnswer;

class CollectionSource
{
public:
    // Called with each listing (whose songs, in order, make the database's song
    // list), which it then owns; returning false stops the listing.
    using ListingSink = std::function<bool(MpdData *listing)>;

    CollectionSource(const QString &host, int port, const QString &password);
    ~CollectionSource();

    bool open();
    // The server's last database update, seconds since the epoch; asked afresh.
    bool databaseUpdateTime(quint32 *updateTime);
    // The number of songs the server reported with the update time.
    int songCount() const;
    // True when every song arrived but those of unreadableFolders(); false on an error
    // or when the sink stopped it.
    bool listSongs(const ListingSink &sink);
    // The directories the last listSongs() had to leave out, in listing order.
    QList<UnreadableFolder> unreadableFolders() const { return unreadable; }
    QString errorText() const;

private:
    // One recursive listing still to ask for; expectedSongs is a guess of the
    // songs below path, from the songs and directories counted so far.
    struct Request
    {
        QByteArray path;
        int expectedSongs = 0;
    };

    bool connectServer();
    bool fail();
    bool readAnswer(ListingAnswer *answer);
    void acknowledgeAtOnce();
    bool listTree(const Request &request);
    bool listDirectory(const Request &request);
    bool askDirectory(const QByteArray &path, ListingAnswer *answer);
    bool listUnreadable(const QByteArray &path);
    bool flush();
    bool listBatch(QList<Request> requests);
    bool askBatch(const QList<Request> &requests, int *answered);
    bool listThroughLibmpd(const QByteArray &path);

    QByteArray host;
    QByteArray password;
    int port;
    std::unique_ptr<mpd_connection, void (*)(mpd_connection *)> connection;
    int totalSongs = 0;
    QString lastError;
    int lastErrorCode = 0;
    // During listSongs only:
    const ListingSink *sink = nullptr;
    bool sinkStopped = false;
    QList<Request> batch;
    int batchSongs = 0;
    QList<UnreadableFolder> unreadable;
};

#endif
