#include "collection/collectionfilter.h"

#include "core/searchtext.h"

#include <algorithm>

namespace {

std::vector<QByteArray> folded(const QStringList &names)
{
    std::vector<QByteArray> texts;
    texts.reserve(size_t(names.size()));
    for (const QString &name : names)
        texts.push_back(SearchText::fold(name));
    return texts;
}

QHash<QString, int> positions(const QStringList &names)
{
    QHash<QString, int> ids;
    ids.reserve(names.size());
    for (int i = 0; i < names.size(); ++i)
        ids.insert(names.at(i), i);
    return ids;
}

// Title and file name; the newline keeps a word from spanning the two.
QByteArray songText(const QmpdSong &song)
{
    const QString fileName = song.file.mid(song.file.lastIndexOf(QLatin1Char('/')) + 1);
    return SearchText::fold(song.title) + '\n' + SearchText::fold(fileName);
}

QStringList shownOf(const QStringList &names, const std::vector<char> &shown)
{
    QStringList kept;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (shown[size_t(i)])
            kept << names.at(i);
    }
    return kept;
}

bool hit(const std::vector<char> &hits, int id)
{
    return id >= 0 && hits[size_t(id)];
}

}  // namespace

void CollectionFilter::setIndex(const QStringList &artistNames, const QStringList &albumNames,
                                const QList<QmpdSong> &indexSongs)
{
    artists = artistNames;
    albums = albumNames;
    artistTexts = folded(artists);
    albumTexts = folded(albums);
    const QHash<QString, int> artistIds = positions(artists);
    const QHash<QString, int> albumIds = positions(albums);
    songs.clear();
    songs.reserve(size_t(indexSongs.size()));
    pairs.clear();
    pairSongs.clear();
    const QmpdSong *previous = nullptr;
    for (const QmpdSong &song : indexSongs) {
        // Songs of one album follow each other: one lookup per album.
        if (previous && previous->artist == song.artist && previous->album == song.album) {
            Song same = songs.back();
            same.text = songText(song);
            songs.push_back(same);
        } else {
            const auto key = qMakePair(song.artist, song.album);
            auto pair = pairs.constFind(key);
            if (pair == pairs.constEnd()) {
                pair = pairs.insert(key, int(pairSongs.size()));
                pairSongs.emplace_back();
            }
            songs.push_back({artistIds.value(song.artist, -1), albumIds.value(song.album, -1),
                             *pair, songText(song)});
        }
        pairSongs[size_t(songs.back().pair)].append(int(songs.size() - 1));
        previous = &song;
    }
    match(false);
}

bool CollectionFilter::setSearch(const QString &typed)
{
    QList<QByteArray> next = SearchText::words(typed);
    if (next == words)
        return false;
    const bool narrowing = isActive() && SearchText::narrows(next, words);
    words = std::move(next);
    match(narrowing);
    return true;
}

void CollectionFilter::match(bool narrowing)
{
    artistShown.assign(size_t(artists.size()), 0);
    albumShown.assign(size_t(albums.size()), 0);
    pairShown.assign(pairSongs.size(), 0);
    songShown.assign(songs.size(), 0);
    if (!isActive()) {
        matched.clear();
        return;
    }
    // Names are few and shared by many songs: test each once per word.
    artistHits.clear();
    albumHits.clear();
    for (const QByteArray &word : std::as_const(words)) {
        artistHits.emplace_back();
        albumHits.emplace_back();
        for (const QByteArray &text : artistTexts)
            artistHits.back().push_back(SearchText::contains(text, word));
        for (const QByteArray &text : albumTexts)
            albumHits.back().push_back(SearchText::contains(text, word));
    }
    std::vector<int> found;
    const auto consider = [&](int position) {
        const Song &song = songs[size_t(position)];
        if (!matches(song))
            return;
        found.push_back(position);
        songShown[size_t(position)] = 1;
        pairShown[size_t(song.pair)] = 1;
        if (song.artist >= 0)
            artistShown[size_t(song.artist)] = 1;
        if (song.album >= 0)
            albumShown[size_t(song.album)] = 1;
    };
    if (narrowing) {
        for (int position : matched)
            consider(position);
    } else {
        for (int position = 0; position < int(songs.size()); ++position)
            consider(position);
    }
    matched = std::move(found);
}

bool CollectionFilter::matches(const Song &song) const
{
    for (qsizetype w = 0; w < words.size(); ++w) {
        if (!hit(artistHits[size_t(w)], song.artist) && !hit(albumHits[size_t(w)], song.album)
            && !SearchText::contains(song.text, words.at(w)))
            return false;
    }
    return true;
}

int CollectionFilter::pairOf(const QString &artist, const QString &album) const
{
    return pairs.value(qMakePair(artist, album), -1);
}

QStringList CollectionFilter::getArtists() const
{
    return shownOf(artists, artistShown);
}

QStringList CollectionFilter::getAlbums() const
{
    return shownOf(albums, albumShown);
}

QStringList CollectionFilter::albumsOf(const QString &artist, const QStringList &artistAlbums) const
{
    QStringList shown;
    for (const QString &album : artistAlbums) {
        const int pair = pairOf(artist, album);
        if (pair >= 0 && pairShown[size_t(pair)])
            shown << album;
    }
    return shown;
}

QList<QmpdSong> CollectionFilter::songsOf(const QString &artist, const QString &album,
                                          const QList<QmpdSong> &listed) const
{
    // The k-th song listed is the index's song at position(k), both in listing order.
    const bool all = album == NULL_ARTIST_OR_ALBUM_STRING;
    const int pair = all ? -1 : pairOf(artist, album);
    if (!all && pair < 0)
        return {};
    const qsizetype count = all ? qMin(listed.size(), qsizetype(songs.size()))
                                : qMin(listed.size(), pairSongs[size_t(pair)].size());
    const auto position = [&](qsizetype k) { return all ? k : pairSongs[size_t(pair)].at(k); };
    QList<QmpdSong> shown;
    for (qsizetype k = 0; k < count; ++k) {
        if (songShown[size_t(position(k))])
            shown << listed.at(k);
    }
    return shown;
}
