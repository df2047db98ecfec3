// PlaylistSync: keeps the playlist model equal to the server's queue by fetching only what
// changed since the queue version the model shows. Owned by the main window with the model;
// GUI thread, on the window's connection.
#ifndef PLAYLISTSYNC_H
#define PLAYLISTSYNC_H

#include <optional>

class SongModel;
typedef struct _MpdObj MpdObj;

class PlaylistSync
{
public:
    explicit PlaylistSync(SongModel &model) : model(model) { }

    // Brings the model to the queue as the connection's last status describes it. The whole
    // queue is fetched only when nothing is shown yet or the server's version went backwards.
    // True when the model changed.
    bool update(MpdObj *mpd);
    // Empties the model; the next update fetches the whole queue (a new connection).
    void reset();

private:
    void fetchAll(MpdObj *mpd);
    void fetchChanges(MpdObj *mpd, int length);

    SongModel &model;
    std::optional<long long> shownVersion;
};

#endif
