#include "ratings/ratingslog.h"

Q_LOGGING_CATEGORY(lcRatings, "tuneloom.ratings")
