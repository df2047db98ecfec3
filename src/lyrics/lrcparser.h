// LrcParser: reads lyrics files as people write them: LRC with time tags ("[01:02.50]"), or plain
// text. Tolerant of what is found in the wild (several times on one line, metadata tags, an offset,
// lines out of order, CRLF, a BOM, bad UTF-8) and bounded: a huge or malformed file yields at most
// MaxLines lines in time linear in its size. Pure functions, any thread.
#ifndef LRCPARSER_H
#define LRCPARSER_H

#include "lyrics/lyrics.h"

#include <QByteArray>

namespace LrcParser {

// Lyrics run to a few KiB; a file past these limits is read up to them.
inline constexpr qsizetype MaxBytes = 512 * 1024;
inline constexpr int MaxLines = 5000;

// Synced lyrics when the text has at least one time tag, plain ones otherwise; empty for a text
// with no words.
Lyrics parse(const QByteArray &bytes);

}  // namespace LrcParser

#endif
