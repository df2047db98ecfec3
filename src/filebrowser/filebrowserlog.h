// The file browser's logging category, shared by its model and the main window's handlers.
#ifndef FILEBROWSERLOG_H
#define FILEBROWSERLOG_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcFileBrowser)

#endif
