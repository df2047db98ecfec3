// SongSortFilterModel: the sorting proxy in front of the file browser's song
// list. Adds no rules of its own: header clicks sort by the column's display
// text. Owned by its QObject parent (the main window); GUI thread only.
#ifndef SONGSORTFILTERMODEL_H
#define SONGSORTFILTERMODEL_H

#include <QSortFilterProxyModel>

class SongSortFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit SongSortFilterModel(QObject *parent = nullptr);
};

#endif
