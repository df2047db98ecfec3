// CollectionGroupingBox: the choice above the collection's first list of which tag it lists:
// Artist (the default), Album artist, Genre, Composer or Year. Takes the place of the label it is
// given in that label's layout. A widget of the collection tab; GUI thread.
#ifndef COLLECTIONGROUPINGBOX_H
#define COLLECTIONGROUPINGBOX_H

#include "collection/collectionindex.h"

#include <QComboBox>

class QLabel;

class CollectionGroupingBox : public QComboBox
{
    Q_OBJECT

public:
    explicit CollectionGroupingBox(QLabel *replaced);

signals:
    void groupingChosen(CollectionIndex::Grouping grouping);
};

#endif
