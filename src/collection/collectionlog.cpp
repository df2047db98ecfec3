#include "collection/collectionlog.h"

Q_LOGGING_CATEGORY(lcCollection, "tuneloom.collection")
