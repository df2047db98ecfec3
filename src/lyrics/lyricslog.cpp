#include "lyrics/lyricslog.h"

Q_LOGGING_CATEGORY(lcLyrics, "tuneloom.lyrics")
