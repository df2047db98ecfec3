#include "desktop/desktoplog.h"

Q_LOGGING_CATEGORY(lcDesktop, "tuneloom.desktop")
