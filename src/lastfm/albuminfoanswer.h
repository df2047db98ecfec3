// AlbumInfoAnswer: reads the parts of the Last.fm "album.getinfo" XML answer the cover fetcher
// needs. Pure functions, used on the cover worker thread.
#ifndef ALBUMINFOANSWER_H
#define ALBUMINFOANSWER_H

#include <QString>

namespace AlbumInfoAnswer {

// The address of the album's extra-large image; empty when there is none or the answer is no XML.
QString extraLargeImageAddress(const QString &answer);

// Whether the service refuses the API key (invalid or suspended) rather than the album.
bool rejectsKey(const QString &answer);

}  // namespace AlbumInfoAnswer

#endif
