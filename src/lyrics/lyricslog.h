// Logging category of the lyrics: where they were looked for, and why a source gave none.
#ifndef LYRICSLOG_H
#define LYRICSLOG_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLyrics)

#endif
