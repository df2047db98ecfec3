#include "covers/coverslog.h"

Q_LOGGING_CATEGORY(lcCovers, "tuneloom.covers")
