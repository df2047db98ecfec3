// SidecarLyrics: the lyrics file next to a song in its folder, Song.lrc first, then Song.txt, for
// a music folder this computer can read. File reads only; used on the lyrics worker thread.
#ifndef SIDECARLYRICS_H
#define SIDECARLYRICS_H

#include <QByteArray>
#include <QString>

namespace SidecarLyrics {

// The file's bytes (at most LrcParser::MaxBytes); empty when there is none, or the song is not a
// file inside the folder (a stream, or a path that would lead out of it).
QByteArray read(const QString &musicFolder, const QString &songFile);

}  // namespace SidecarLyrics

#endif
