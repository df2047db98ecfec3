// StoredPlaylistStore: the server's stored playlists: listing and reading them, saving the
// queue as one, renaming, deleting, and loading one into the queue. Names and existence are
// checked before every command, so that a refusal is explained rather than shown as a server
// error. Each operation is a job for the window's connection: it runs on the connection thread
// (see ServerConnection) and returns a value. Stateless.
#ifndef STOREDPLAYLISTSTORE_H
#define STOREDPLAYLISTSTORE_H

#include "core/qmpdsong.h"

#include <QObject>
#include <QStringList>

#include <optional>
#include <vector>

class Qmpd;

class StoredPlaylistStore : public QObject
{
    Q_OBJECT

public:
    enum class Status { Done, BadName, NameTaken, Gone, NothingLoaded, Failed };
    struct Outcome
    {
        Status status;
        QString message;  // what to tell the user; empty when an error box already did
    };

    // Sorted for people; empty without a connection.
    static QStringList names(Qmpd &server);
    // The playlist's songs in order; songs no longer in the database have only their file.
    // Nothing when the playlist is gone.
    static std::optional<std::vector<QmpdSong>> songs(Qmpd &server, const QString &name);

    static Outcome saveQueue(Qmpd &server, const QString &name, bool overwrite);
    static Outcome rename(Qmpd &server, const QString &from, const QString &to, bool overwrite);
    static Outcome remove(Qmpd &server, const QString &name);
    static Outcome append(Qmpd &server, const QString &name);
    // The queue is replaced only once the playlist has been loaded behind it.
    static Outcome replaceQueue(Qmpd &server, const QString &name);

    // Why the server would refuse the name, or nothing.
    static std::optional<QString> nameProblem(const QString &name);
    static QString goneMessage(const QString &name);

private:
    // Loads the playlist behind the queue, counting the songs that arrived and those the
    // server no longer has. An outcome when that failed or brought nothing.
    static std::optional<Outcome> load(Qmpd &server, const QString &name, int *loaded,
                                       int *missing);
    static QString missingNote(int missing);
};

#endif
