// PlaylistAdder: appends songs to the end of the server's playlist through
// libmpd's add queue, committed in command lists small enough for a server with
// default limits. Stateless; used in the GUI thread on the GUI's connection.
#ifndef PLAYLISTADDER_H
#define PLAYLISTADDER_H

#include <QStringList>

typedef struct _MpdObj MpdObj;

namespace PlaylistAdder {

// A server refuses a command list larger than its max_command_list_size (2 MiB by
// default) and adds nothing of it; half of that leaves room for its bookkeeping.
constexpr qsizetype maxBatchBytes = 1024 * 1024;

// Queues the paths in order and commits them batch by batch. False when a commit
// failed or the connection went down; the batches after it are not sent.
bool queueAddInBatches(MpdObj *mpd, const QStringList &paths);

}  // namespace PlaylistAdder

#endif
