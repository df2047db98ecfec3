#include "playlist/songsortfiltermodel.h"

SongSortFilterModel::SongSortFilterModel(QObject *parent) : QSortFilterProxyModel(parent) { }
