#include "filebrowser/filebrowserlog.h"

Q_LOGGING_CATEGORY(lcFileBrowser, "tuneloom.filebrowser")
