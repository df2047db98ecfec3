// The logging category of the collection subsystem (builder, cache, listing).
#ifndef COLLECTIONLOG_H
#define COLLECTIONLOG_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCollection)

#endif
