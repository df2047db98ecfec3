// LyricsSettings: where lyrics may come from, as the user set it in the settings file. Read afresh
// for every song, so that a change applies from the next one. GUI thread.
#ifndef LYRICSSETTINGS_H
#define LYRICSSETTINGS_H

#include <QString>

namespace LyricsSettings {

inline constexpr char DefaultServiceUrl[] = "https://lrclib.net";

// The base address of an LRCLIB service; empty turns online lyrics off.
QString serviceUrl();
// Where this computer sees the server's music folder; empty when it does not.
QString musicFolder();
void save(const QString &serviceUrl, const QString &musicFolder);

}  // namespace LyricsSettings

#endif
