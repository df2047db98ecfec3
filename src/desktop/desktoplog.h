// The logging category of the desktop integration (MPRIS, notifications, tray, table layout).
#ifndef DESKTOPLOG_H
#define DESKTOPLOG_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDesktop)

#endif
