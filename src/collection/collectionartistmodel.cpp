#include "collection/collectionartistmodel.h"

CollectionArtistModel::CollectionArtistModel(QObject *parent) : QStringListModel(parent) { }
