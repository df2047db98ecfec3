#include "core/playlistadder.h"

#include <libmpd/libmpd.h>

namespace {

// The bytes of one `add "path"` line as it goes over the wire, quotes escaped.
qsizetype commandBytes(const QByteArray &path)
{
    const qsizetype escapes = path.count('"') + path.count('\\');
    return qsizetype(sizeof("add \"\"\n")) + path.size() + escapes;
}

}  // namespace

bool PlaylistAdder::queueAddInBatches(MpdObj *mpd, const QStringList &paths,
                                      const std::function<bool()> &refused)
{
    if (!mpd || !mpd_check_connected(mpd))
        return false;
    const auto commit = [&] {
        return mpd_playlist_queue_commit(mpd) == MPD_OK && mpd_check_connected(mpd) && !refused();
    };
    qsizetype batchBytes = 0;
    for (const QString &path : paths) {
        QByteArray local = path.toLocal8Bit();
        const qsizetype bytes = commandBytes(local);
        if (batchBytes > 0 && batchBytes + bytes > maxBatchBytes) {
            if (!commit())
                return false;
            batchBytes = 0;
        }
        mpd_playlist_queue_add(mpd, local.data());
        batchBytes += bytes;
    }
    return batchBytes == 0 || commit();
}

