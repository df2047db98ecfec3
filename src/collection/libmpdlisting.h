// A recursive listing of one directory over a short-lived libmpd connection, for answers that
// libmpdclient cannot read (lines over its 4 KiB buffer). Used inside the collection builder's
// thread; kept apart because libmpd's and libmpdclient's headers clash.
#ifndef LIBMPDLISTING_H
#define LIBMPDLISTING_H

#include <QByteArray>

typedef struct _MpdData MpdData;

namespace LibmpdListing {
// The songs below path in the server's order (the caller owns them); *complete is false when
// the connection failed or broke off.
MpdData *listRecursively(const QByteArray &host, int port, const QByteArray &password,
                         const QByteArray &path, bool *complete);
}  // namespace LibmpdListing

#endif
