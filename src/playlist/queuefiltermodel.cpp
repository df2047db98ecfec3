#include "playlist/queuefiltermodel.h"

#include "core/searchtext.h"
#include "playlist/songmodel.h"

QueueFilterModel::QueueFilterModel(QObject *parent) : QSortFilterProxyModel(parent) { }

void QueueFilterModel::setSourceModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &connection : std::as_const(sourceConnections))
        disconnect(connection);
    sourceConnections.clear();
    forgetTexts();
    // Made before the proxy's own connections, whose handlers filter changed rows at once.
    if (model) {
        sourceConnections << connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this,
                                     &QueueFilterModel::forgetTexts)
                          << connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                                     &QueueFilterModel::forgetTexts)
                          << connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this,
                                     &QueueFilterModel::forgetTexts)
                          << connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
                                     &QueueFilterModel::forgetTexts)
                          << connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this,
                                     &QueueFilterModel::forgetTexts)
                          << connect(model, &QAbstractItemModel::dataChanged, this,
                                     &QueueFilterModel::forgetTexts);
    }
    QSortFilterProxyModel::setSourceModel(model);
}

void QueueFilterModel::forgetTexts()
{
    texts.clear();
}

void QueueFilterModel::setSearch(const QString &typed)
{
    QList<QByteArray> next = SearchText::words(typed);
    if (next == words)
        return;
    words = std::move(next);
    invalidateFilter();
}

bool QueueFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (words.isEmpty())
        return true;
    const QAbstractItemModel *model = sourceModel();
    if (texts.empty()) {
        const int rows = model->rowCount();
        texts.reserve(size_t(rows));
        for (int row = 0; row < rows; ++row) {
            QString text;
            for (int column :
                 {SongModel::Title, SongModel::Artist, SongModel::Album, SongModel::File})
                text += model->index(row, column).data().toString() + QLatin1Char('\n');
            texts.push_back(SearchText::fold(text));
        }
    }
    return sourceRow < int(texts.size()) && !sourceParent.isValid()
            && SearchText::containsAll(texts[size_t(sourceRow)], words);
}

int QueueFilterModel::queuePosition(const QModelIndex &index) const
{
    return index.isValid() ? mapToSource(index).row() : -1;
}

QList<int> QueueFilterModel::queuePositions(const QModelIndexList &indexes) const
{
    QList<int> positions;
    positions.reserve(indexes.size());
    for (const QModelIndex &index : indexes)
        positions << queuePosition(index);
    return positions;
}
