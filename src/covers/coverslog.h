// Logging category of the covers read from the MPD server.
#ifndef COVERSLOG_H
#define COVERSLOG_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCovers)

#endif
