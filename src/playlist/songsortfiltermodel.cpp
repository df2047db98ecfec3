#include "songsortfiltermodel.h"

SongSortFilterModel::SongSortFilterModel(QObject *parent) : QSortFilterProxyModel(parent) { }
