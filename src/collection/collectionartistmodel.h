// CollectionArtistModel: the model of the collection tab's artist list; a type of
// its own for the list of artist names. Owned by the main window, GUI thread.
#ifndef COLLECTIONARTISTMODEL_H
#define COLLECTIONARTISTMODEL_H

#include <QStringListModel>

class CollectionArtistModel : public QStringListModel
{
    Q_OBJECT

public:
    explicit CollectionArtistModel(QObject *parent = nullptr);
};

#endif
