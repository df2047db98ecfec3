#include "core/queuesync.h"

#include "core/rawanswer.h"

#include <libmpd/libmpd.h>

#include <QHash>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// More scattered runs of new songs than this are fetched in one query of every changed song:
// on a slow link round trips cost more than bytes.
constexpr int MaxRangeFetches = 4;
// Above this many changed songs a table of rows by id beats scanning the list for each.
constexpr size_t MaxScannedLookups = 16;

using Changes = std::vector<std::pair<int, QmpdSong>>;
using PositionIds = std::vector<std::pair<int, int>>;

// Every song of an answer with its queue position.
Changes takeSongs(std::optional<SongList> list)
{
    Changes songs;
    for (size_t i = 0; list && i < list->songs.size(); ++i)
        songs.emplace_back(list->positions[i], std::move(list->songs[i]));
    return songs;
}

// The songs at positions [first, last], in requests of at most `window` songs each.
Changes fetchRange(const QueueSync::Fetch &fetch, int first, int last, int window)
{
    Changes songs;
    for (int start = first; start <= last; start += window) {
        const QByteArray range = QByteArray::number(start) + ':'
                + QByteArray::number(std::min(last, start + window - 1) + 1);
        std::optional<SongList> part = fetch(RawAnswer::request("playlistinfo", {range}));
        if (!part)
            break;
        Changes got = takeSongs(std::move(part));
        std::move(got.begin(), got.end(), std::back_inserter(songs));
    }
    return songs;
}

// Fetches the songs at the given positions, run by run, into `changes`. False when there are
// too many runs, or the queue changed meanwhile (a song is not the one expected).
bool fetchPositions(const QueueSync::Fetch &fetch, const PositionIds &wanted, Changes &changes,
                    int window)
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
        Changes fetched = fetchRange(fetch, wanted[first].first, wanted[last].first, window);
        matches = matches && fetched.size() == last - first + 1;
        for (size_t i = 0; matches && i < fetched.size(); ++i)
            matches = fetched[i].second.id == wanted[first + i].second;
        std::move(fetched.begin(), fetched.end(), std::back_inserter(changes));
    }
    return matches;
}

// Whether every listed song is at its listed position among the songs fetched after the
// listing; not when the queue changed in between.
bool holdsListedSongs(const Changes &fetched, const PositionIds &listed)
{
    QHash<int, int> idAt;
    for (const auto &[position, song] : fetched)
        idAt.insert(position, song.id);
    return std::all_of(listed.begin(), listed.end(), [&idAt](const auto &positionId) {
        return idAt.value(positionId.first, -1) == positionId.second;
    });
}

}  // namespace

std::optional<QueueChange> QueueSync::update(MpdObj *mpd, const Fetch &fetch)
{
    const long long version = mpd_playlist_get_playlist_id(mpd);
    // Negative: no status, the connection failed (its error is on its way).
    if (version < 0 || shownVersion == version)
        return std::nullopt;
    const int length = mpd_playlist_get_playlist_length(mpd);
    QueueChange change;
    if (!shownVersion || version < *shownVersion) {
        change.tail = fetchAll(length, fetch);
    } else if (std::optional<QueueChange> changed = fetchChanges(mpd, length, fetch)) {
        change = std::move(*changed);
    } else {
        // Changed again while it was read: the server reports that change next, and the update
        // it brings asks from the version shown.
        return std::nullopt;
    }
    // The status may be older than the answers: the next update asks from this version again.
    shownVersion = version;
    change.version = version;
    shown.erase(shown.begin() + std::min<size_t>(change.first, shown.size()), shown.end());
    shown.insert(shown.end(), change.tail.begin(), change.tail.end());
    return change;
}

void QueueSync::reset()
{
    shownVersion.reset();
    shown.clear();
}

int QueueSync::rowOf(int id) const
{
    const auto found = std::find_if(shown.begin(), shown.end(),
                                    [id](const QmpdSong &song) { return song.id == id; });
    return found == shown.end() ? -1 : int(found - shown.begin());
}

std::vector<QmpdSong> QueueSync::fetchAll(int length, const Fetch &fetch)
{
    // In windows: one answer with the whole queue may not fit the server's output buffer.
    std::vector<QmpdSong> songs;
    songs.reserve(size_t(std::max(0, length)));
    for (auto &[position, song] : fetchRange(fetch, 0, length - 1, windowSongs))
        songs.push_back(std::move(song));
    return songs;
}

std::optional<QueueChange> QueueSync::fetchChanges(MpdObj *mpd, int length, const Fetch &fetch)
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
        for (int row = 0; row < int(shown.size()); ++row)
            rowsById.insert(shown[row].id, row);
    }
    const auto shownRow = [&](int id) {
        return rowsById.isEmpty() ? rowOf(id) : rowsById.value(id, -1);
    };
    Changes changes;
    PositionIds wanted;
    for (const auto &[position, id] : listed) {
        const int row = shownRow(id);
        // Listed where it already was: its tags changed.
        if (row >= 0 && row != position)
            changes.emplace_back(position, shown[row]);
        else
            wanted.emplace_back(position, id);
    }
    // Everything before the first change stays as it is; past it, unlisted rows are unchanged.
    const int first = std::min(listed.empty() ? length : listed.front().first, length);
    if (!fetchPositions(fetch, wanted, changes, windowSongs)) {
        // Many changed songs: the changed part in windows rather than one unbounded answer.
        changes = listed.size() > size_t(windowSongs)
                ? fetchRange(fetch, first, length - 1, windowSongs)
                : takeSongs(fetch(RawAnswer::request("plchanges", {QByteArray::number(from)})));
        if (!holdsListedSongs(changes, listed))
            return std::nullopt;
    }
    std::sort(changes.begin(), changes.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    QueueChange change;
    change.first = first;
    auto next = std::lower_bound(changes.begin(), changes.end(), first,
                                 [](const auto &change, int position) { return change.first < position; });
    for (int position = first; position < length; ++position) {
        if (next != changes.end() && next->first == position)
            change.tail.push_back(std::move((next++)->second));
        else if (position < int(shown.size()))
            change.tail.push_back(shown[position]);
        else
            break;  // the queue grew after the status was read: the next update brings the rest
    }
    return change;
}
