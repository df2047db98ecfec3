#include "playlistsync.h"

#include "qmpdsong.h"
#include "songmodel.h"

#include <libmpd/libmpd.h>

#include <QHash>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace {

// More scattered runs of new songs than this are fetched in one query of every changed song:
// on a slow link round trips cost more than bytes.
constexpr int MaxRangeFetches = 4;
// Above this many changed songs a table of rows by id beats scanning the list for each.
constexpr size_t MaxScannedLookups = 16;

using Changes = std::vector<std::pair<int, QmpdSong>>;
using PositionIds = std::vector<std::pair<int, int>>;

QmpdSong recordOf(const mpd_Song *song)
{
    return QmpdSong::fromMpdSong(song, QmpdSong::TrackDateDecoding::Locale);
}

// Every song of a libmpd list with its queue position; mpd_data_get_next frees the list.
Changes takeSongs(MpdData *data)
{
    Changes songs;
    for (; data; data = mpd_data_get_next(data)) {
        if (data->type == MPD_DATA_TYPE_SONG && data->song)
            songs.emplace_back(data->song->pos, recordOf(data->song));
    }
    return songs;
}

// Fetches the songs at the given positions, run by run, into `changes`. False when there are
// too many runs, or the queue changed meanwhile (a song is not the one expected).
bool fetchPositions(MpdObj *mpd, const PositionIds &wanted, Changes &changes)
{
    std::vector<std::pair<size_t, size_t>> runs;  // [first, last] indexes into wanted
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (runs.empty() || wanted[i].first != wanted[runs.back().second].first + 1)
            runs.emplace_back(i, i);
        else
            runs.back().second = i;
    }
    if (runs.size() > size_t(MaxRangeFetches))
        return false;
    bool matches = true;
    for (const auto &[first, last] : runs) {
        if (!matches)
            break;
        Changes fetched = takeSongs(mpd_playlist_get_song_from_pos_range(
                mpd, wanted[first].first, wanted[last].first));
        matches = matches && fetched.size() == last - first + 1;
        for (size_t i = 0; matches && i < fetched.size(); ++i)
            matches = fetched[i].second.id == wanted[first + i].second;
        std::move(fetched.begin(), fetched.end(), std::back_inserter(changes));
    }
    return matches;
}

}  // namespace

bool PlaylistSync::update(MpdObj *mpd)
{
    const long long version = mpd_playlist_get_playlist_id(mpd);
    // Negative: no status, the connection failed (its error is on its way).
    if (version < 0 || shownVersion == version)
        return false;
    if (!shownVersion || version < *shownVersion)
        fetchAll(mpd);
    else
        fetchChanges(mpd, mpd_playlist_get_playlist_length(mpd));
    // The status may be older than the answers: the next update asks from this version again.
    shownVersion = version;
    return true;
}

void PlaylistSync::reset()
{
    shownVersion.reset();
    model.clear();
}

void PlaylistSync::fetchAll(MpdObj *mpd)
{
    // Version -1 asks for every entry, in queue order.
    std::vector<QmpdSong> songs;
    for (auto &[position, song] : takeSongs(mpd_playlist_get_changes(mpd, -1)))
        songs.push_back(std::move(song));
    model.replaceTail(0, std::move(songs));
}

void PlaylistSync::fetchChanges(MpdObj *mpd, int length)
{
    const int from = int(*shownVersion);
    // Positions and ids only: songs that merely moved are already here.
    PositionIds listed;
    for (MpdData *data = mpd_playlist_get_changes_posid(mpd, from); data;
         data = mpd_data_get_next(data)) {
        if (data->type == MPD_DATA_TYPE_SONG && data->song && data->song->pos < length)
            listed.emplace_back(data->song->pos, data->song->id);
    }
    std::sort(listed.begin(), listed.end());
    QHash<int, int> rowsById;
    if (listed.size() > MaxScannedLookups) {
        for (int row = 0; row < model.rowCount(); ++row)
            rowsById.insert(model.songAtRow(row)->id, row);
    }
    const auto rowOf = [&](int id) {
        return rowsById.isEmpty() ? model.onWhichRow(id) : rowsById.value(id, -1);
    };
    Changes changes;
    PositionIds wanted;
    for (const auto &[position, id] : listed) {
        const int row = rowOf(id);
        // Listed where it already was: its tags changed.
        if (row >= 0 && row != position)
            changes.emplace_back(position, *model.songAtRow(row));
        else
            wanted.emplace_back(position, id);
    }
    if (!fetchPositions(mpd, wanted, changes))
        changes = takeSongs(mpd_playlist_get_changes(mpd, from));
    std::sort(changes.begin(), changes.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    // Everything before the first change stays as it is; past it, unlisted rows are unchanged.
    const int first = std::min(listed.empty() ? length : listed.front().first, length);
    std::vector<QmpdSong> tail;
    auto next = std::lower_bound(changes.begin(), changes.end(), first,
                                 [](const auto &change, int position) { return change.first < position; });
    for (int position = first; position < length; ++position) {
        if (next != changes.end() && next->first == position)
            tail.push_back(std::move((next++)->second));
        else if (const QmpdSong *song = model.songAtRow(position))
            tail.push_back(*song);
        else
            break;  // the queue grew after the status was read: the next update brings the rest
    }
    model.replaceTail(first, std::move(tail));
}
