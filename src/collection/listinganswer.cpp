#include "collection/listinganswer.h"

#include "core/libmpdlink.h"

#include <libmpd/libmpd.h>

#include <QDateTime>

#include <cstdint>

#include <cstdlib>
#include <cstring>

namespace {

void keepFirst(char **field, const char *value)
{
    if (!*field)
        *field = strdup(value);
}

// libmpd joins the values of a song's several Artist lines with ", ".
void joinArtist(char **field, const char *value)
{
    if (!*field) {
        *field = strdup(value);
        return;
    }
    const std::size_t oldLength = std::strlen(*field);
    const std::size_t valueLength = std::strlen(value);
    auto *joined = static_cast<char *>(std::realloc(*field, oldLength + 2 + valueLength + 1));
    if (!joined)
        return;
    std::memcpy(joined + oldLength, ", ", 2);
    std::memcpy(joined + oldLength + 2, value, valueLength + 1);
    *field = joined;
}

// The fields the collection reads; libmpd keeps the first of other repeated lines.
void addToSong(mpd_Song *song, const char *name, const char *value)
{
    if (std::strcmp(name, "Artist") == 0)
        joinArtist(&song->artist, value);
    else if (std::strcmp(name, "Title") == 0)
        keepFirst(&song->title, value);
    else if (std::strcmp(name, "Album") == 0)
        keepFirst(&song->album, value);
    else if (std::strcmp(name, "Track") == 0)
        keepFirst(&song->track, value);
    else if (std::strcmp(name, "Date") == 0)
        keepFirst(&song->date, value);
    else if (std::strcmp(name, "AlbumArtist") == 0)
        keepFirst(&song->albumartist, value);
    else if (std::strcmp(name, "Genre") == 0)
        keepFirst(&song->genre, value);
    else if (std::strcmp(name, "Composer") == 0)
        keepFirst(&song->composer, value);
    else if (std::strcmp(name, "Time") == 0 && song->time == MPD_SONG_NO_TIME)
        song->time = std::atoi(value);
}

// A number in the pointer itself, with no free function: nothing to release.
void keepLastModified(MpdData *entry, const char *isoTime)
{
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(isoTime), Qt::ISODate);
    if (time.isValid())
        entry->userdata = reinterpret_cast<void *>(std::intptr_t(time.toSecsSinceEpoch()));
}

}  // namespace

qint64 ListingAnswer::lastModifiedOf(const MpdData *entry)
{
    return entry->freefunc ? 0 : qint64(reinterpret_cast<std::intptr_t>(entry->userdata));
}

ListingAnswer::~ListingAnswer()
{
    if (MpdData *songs = takeSongs())
        mpd_data_free(songs);
}

MpdData *ListingAnswer::takeSongs()
{
    MpdData *songs = last ? mpd_data_get_first(last) : nullptr;
    last = nullptr;
    return songs;
}

void ListingAnswer::add(const char *name, const char *value)
{
    if (std::strcmp(name, "file") == 0) {
        last = LibmpdLink::appendEntry(last);
        last->type = MPD_DATA_TYPE_SONG;
        last->song = song = mpd_newSong();
        song->file = strdup(value);
        ++songsAdded;
    } else if (std::strcmp(name, "directory") == 0) {
        song = nullptr;
        directories.append(QByteArray(value));
    } else if (std::strcmp(name, "playlist") == 0) {
        song = nullptr;
    } else if (song && std::strcmp(name, "Last-Modified") == 0) {
        keepLastModified(last, value);
    } else if (song) {
        addToSong(song, name, value);
    }
}
