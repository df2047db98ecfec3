#include "filebrowserlog.h"

Q_LOGGING_CATEGORY(lcFileBrowser, "tuneloom.filebrowser")
