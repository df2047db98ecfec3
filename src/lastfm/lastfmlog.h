// Logging category of the Last.fm services (cover fetcher, scrobbler and their downloads).
#ifndef LASTFMLOG_H
#define LASTFMLOG_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLastfm)

#endif
