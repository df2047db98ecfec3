// CollectionAlbumModel: the model of the collection tab's album list; a type of
// its own for the list of album names. Owned by the main window, GUI thread.
#ifndef COLLECTIONALBUMMODEL_H
#define COLLECTIONALBUMMODEL_H

#include <QStringListModel>

class CollectionAlbumModel : public QStringListModel
{
    Q_OBJECT

public:
    explicit CollectionAlbumModel(QObject *parent = nullptr);
};

#endif
