// StoredPlaylistStore: the server's stored playlists: listing and reading them, saving the
// queue as one, renaming, deleting, and loading one into the queue. Names and existence
// are checked before every command, because libmpd reports any command the server refuses
// as a broken connection. Owned by the stored-playlists controller; GUI thread, on the
// window's connection.
#ifndef STOREDPLAYLISTSTORE_H
#define STOREDPLAYLISTSTORE_H

#include "qmpd.h"
#include "qmpdsong.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

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

    explicit StoredPlaylistStore(QObject *parent = nullptr);
    void setConnection(Qmpd *connection);
    bool isConnected() const { return connected() != nullptr; }

    // Sorted for people; empty without a connection.
    QStringList names() const;
    // The playlist's songs in order; songs no longer in the database have only their file.
    // Nothing when the playlist is gone.
    std::optional<std::vector<std::unique_ptr<QmpdSong>>> songs(const QString &name) const;

    Outcome saveQueue(const QString &name, bool overwrite);
    Outcome rename(const QString &from, const QString &to, bool overwrite);
    Outcome remove(const QString &name);
    Outcome append(const QString &name);
    // The queue is replaced only once the playlist has been loaded behind it.
    Outcome replaceQueue(const QString &name);

    // Why the server would refuse the name, or nothing.
    static std::optional<QString> nameProblem(const QString &name);
    static QString goneMessage(const QString &name);

private:
    MpdObj *connected() const;
    bool failed() const;
    // Loads the playlist behind the queue, counting the songs that arrived and those the
    // server no longer has. An outcome when that failed or brought nothing.
    std::optional<Outcome> load(const QString &name, int *loaded, int *missing);
    QString missingNote(int missing) const;
    void deleteFirst(int count);

    QPointer<Qmpd> qmpd;
};

#endif
