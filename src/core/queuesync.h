// QueueSync: follows the server's queue by fetching only what changed since the queue version
// last sent, and describes each change as a value (QueueChange) for the playlist model. Keeps
// its own copy of the queue to know which songs it already has. Owned by Qmpd; connection
// thread only.
#ifndef QUEUESYNC_H
#define QUEUESYNC_H

#include "core/qmpdsong.h"
#include "core/songlist.h"

#include <QByteArray>
#include <QMetaType>

#include <functional>
#include <optional>
#include <vector>

typedef struct _MpdObj MpdObj;

// The queue from position `first` on is now `tail`; the rows before stay as they are.
struct QueueChange
{
    long long version = -1;
    int first = 0;
    std::vector<QmpdSong> tail;
};
Q_DECLARE_METATYPE(QueueChange)

class QueueSync
{
public:
    // Sends one request and reads the songs of its answer; nothing when that failed.
    using Fetch = std::function<std::optional<SongList>(const QByteArray &request)>;

    // Songs per request of a whole-queue fetch: a window of tag-rich songs (about 1 KB each)
    // stays well under a default server's 8 MiB output buffer.
    static constexpr int DefaultWindowSongs = 2000;

    explicit QueueSync(int windowSongs = DefaultWindowSongs) : windowSongs(windowSongs) { }

    // The change that brings the shown queue to the one the connection's last status describes,
    // or nothing when the version is the one shown. The whole queue is fetched only when nothing
    // is shown yet or the server's version went backwards.
    std::optional<QueueChange> update(MpdObj *mpd, const Fetch &fetch);
    // The next update fetches the whole queue.
    void reset();

private:
    std::vector<QmpdSong> fetchAll(int length, const Fetch &fetch);
    // Nothing when the queue changed again while it was read.
    std::optional<QueueChange> fetchChanges(MpdObj *mpd, int length, const Fetch &fetch);
    int rowOf(int id) const;

    int windowSongs;
    std::vector<QmpdSong> shown;
    std::optional<long long> shownVersion;
};

#endif
