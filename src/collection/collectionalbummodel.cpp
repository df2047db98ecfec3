#include "collection/collectionalbummodel.h"

CollectionAlbumModel::CollectionAlbumModel(QObject *parent) : QStringListModel(parent) { }
