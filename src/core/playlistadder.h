// PlaylistAdder: appends songs to the end of the server's queue through libmpd's add queue,
// committed in command lists small enough for a server with default limits. Stateless; used
// on the thread that owns the connection.
#ifndef PLAYLISTADDER_H
#define PLAYLISTADDER_H

#include <QStringList>

#include <functional>

typedef struct _MpdObj MpdObj;

namespace PlaylistAdder {

// A server refuses a command list larger than its max_command_list_size (2 MiB by
// default) and adds nothing of it; half of that leaves room for its bookkeeping.
constexpr qsizetype maxBatchBytes = 1024 * 1024;

// Queues the paths in order and commits them batch by batch. False when the connection went
// down or `refused` says the server refused a batch (libmpd answers MPD_OK for a command list
// that got an error); the batches after that are not sent.
bool queueAddInBatches(MpdObj *mpd, const QStringList &paths,
                       const std::function<bool()> &refused = [] { return false; });

}  // namespace PlaylistAdder

#endif
