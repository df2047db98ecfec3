#include "lastfm/lastfmlog.h"

Q_LOGGING_CATEGORY(lcLastfm, "tuneloom.lastfm")
