// CoverImage: decides whether bytes from a server are a cover worth caching and showing. Pure
// functions, safe on any thread (the cover worker calls them before it writes the cache).
#ifndef COVERIMAGE_H
#define COVERIMAGE_H

#include <QByteArray>

namespace CoverImage {

// A real cover is a few hundred KiB; anything larger is refused before it is read whole.
inline constexpr qint64 MAX_BYTES = 16 * 1024 * 1024;

// A complete image Qt can decode, at most MAX_BYTES long.
bool isUsable(const QByteArray &bytes);

}  // namespace CoverImage

#endif
