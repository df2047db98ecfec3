// QueueFilterModel: the playlist view's model: the queue narrowed to the rows whose
// title, artist, album or file name hold every word of the search field, in queue
// order. queuePosition() maps a shown row back to its place in the server's queue.
// Owned by the main window; its source is the playlist model the window installs.
// GUI thread.
#ifndef QUEUEFILTERMODEL_H
#define QUEUEFILTERMODEL_H

#include <QByteArray>
#include <QList>
#include <QSortFilterProxyModel>

#include <vector>

class QueueFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit QueueFilterModel(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model) override;
    void setSearch(const QString &typed);

    // The queue positions of shown rows (-1 for an invalid index), in the given order.
    int queuePosition(const QModelIndex &index) const;
    QList<int> queuePositions(const QModelIndexList &indexes) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    void forgetTexts();

    QList<QByteArray> words;
    QList<QMetaObject::Connection> sourceConnections;
    // The folded text of each source row, made when a search first needs it.
    mutable std::vector<QByteArray> texts;
};

#endif
