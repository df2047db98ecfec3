// The ratings feature's logging category.
#ifndef RATINGSLOG_H
#define RATINGSLOG_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcRatings)

#endif
