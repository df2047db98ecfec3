#include "playlist/queuemover.h"

#include "playlist/queuemoves.h"
#include "core/serverconnection.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QTableView>

#include <memory>

namespace {

// The view may show the queue through proxies (a filter): positions on the server are
// the rows of the model at the bottom of the chain.
QModelIndex toQueue(QModelIndex index)
{
    while (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(index.model()))
        index = proxy->mapToSource(index);
    return index;
}

const QAbstractItemModel *queueModel(const QAbstractItemModel *model)
{
    while (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(model))
        model = proxy->sourceModel();
    return model;
}

QModelIndex fromQueue(const QAbstractItemModel *viewModel, const QModelIndex &index)
{
    if (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(viewModel))
        return proxy->mapFromSource(fromQueue(proxy->sourceModel(), index));
    return index;
}

QList<int> selectedQueueRows(const QAbstractItemView *view)
{
    QList<int> rows;
    if (const QItemSelectionModel *selection = view->selectionModel()) {
        for (const QModelIndex &index : selection->selectedRows())
            rows << toQueue(index).row();
    }
    return rows;
}

// The queue position in front of which the view's row `before` stands; past the last
// row shown, right behind the last song shown.
int queuePosition(const QAbstractItemView *view, int before)
{
    const QAbstractItemModel *model = view->model();
    if (before < model->rowCount())
        return toQueue(model->index(before, 0)).row();
    if (before > 0)
        return toQueue(model->index(before - 1, 0)).row() + 1;
    return queueModel(model)->rowCount();
}

const QList<QKeySequence> playNextKeys{QKeySequence(Qt::CTRL | Qt::Key_Return),
                                       QKeySequence(Qt::CTRL | Qt::Key_Enter)};

}  // namespace

QueueMover::QueueMover(QTableView *playlistView, QObject *parent)
    : QObject(parent), view(playlistView)
{
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setDropIndicatorShown(true);
    // The drop itself is ours (see eventFilter); the view only shows where it would go.
    view->viewport()->installEventFilter(this);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(makePlayNextAction(view), &QAction::triggered, this, &QueueMover::playNextFromQueue);
}

void QueueMover::addPlayNextSource(QAbstractItemView *source, QAction *addAction)
{
    connect(makePlayNextAction(source), &QAction::triggered, this,
            [this, addAction] { playNextVia(addAction); });
}

QAction *QueueMover::makePlayNextAction(QAbstractItemView *owner)
{
    auto *action = new QAction(tr("Play next"), owner);
    action->setShortcuts(playNextKeys);
    // Each list's own: Ctrl+Enter acts on the list that has the focus.
    action->setShortcutContext(Qt::WidgetShortcut);
    owner->addAction(action);
    return action;
}

void QueueMover::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    // Made after the window's own: the view shows the new order when this runs.
    statusConnection = connect(connection, &ServerConnection::statusChanged, this,
                               &QueueMover::onStatusChanged);
}

void QueueMover::onConnectionClosed()
{
    disconnect(statusConnection);
    server = nullptr;
    movedCount = 0;
}

bool QueueMover::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: events still arrive while the view is being destroyed.
    if (event->type() != QEvent::Drop || watched != view->viewport())
        return false;
    onDrop(static_cast<QDropEvent *>(event));
    return true;
}

void QueueMover::onDrop(QDropEvent *drop)
{
    // Only the view's own rows are taken.
    const QStringList types = view->model()->mimeTypes();
    if ((drop->source() && drop->source() != view) || types.isEmpty()
        || !drop->mimeData()->hasFormat(types.first())) {
        drop->ignore();
        return;
    }
    const QPoint position = drop->position().toPoint();
    const QModelIndex index = view->indexAt(position);
    int before = view->model()->rowCount();
    if (index.isValid())
        before = position.y() < view->visualRect(index).center().y() ? index.row()
                                                                     : index.row() + 1;
    moveSelectedRows(before);
    // A copy as far as the view knows: it must not remove the dragged rows itself.
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
}

void QueueMover::moveSelectedRows(int before)
{
    moveQueueRows(selectedQueueRows(view), queuePosition(view, before));
}

void QueueMover::moveQueueRows(const QList<int> &rows, int before)
{
    if (!server || rows.isEmpty())
        return;
    server->ask(
            this,
            [rows, before](Qmpd &queue) {
                const int target = before >= 0 ? before
                                               : queue.playNextPosition(queue.queueLength());
                const QList<QueueMoves::Move> moves = QueueMoves::plan(rows, target);
                // Rows already in place: the queue and the selection stay as they are.
                const bool moved = moves.isEmpty() || queue.moveSongs(moves);
                return moved ? target : -1;
            },
            [this, rows, before](int target) {
                if (target < 0)
                    return;
                movedFirst = QueueMoves::firstRowAfter(rows, target);
                movedCount = int(rows.size());
                if (before < 0)
                    emit message(tr("Queued ") + QString::number(rows.size())
                                 + tr(" songs to play next"));
            });
}

void QueueMover::onStatusChanged(const MpdStatus &, MpdStatus::Changes what)
{
    if (movedCount == 0 || !(what & MpdStatus::Queue))
        return;
    const QAbstractItemModel *queue = queueModel(view->model());
    QItemSelection moved;
    for (int row = movedFirst; row < movedFirst + movedCount; ++row) {
        const QModelIndex shown = fromQueue(view->model(), queue->index(row, 0));
        if (shown.isValid())
            moved.select(shown, shown);
    }
    movedCount = 0;
    view->selectionModel()->select(moved, QItemSelectionModel::ClearAndSelect
                                                  | QItemSelectionModel::Rows);
}

void QueueMover::playNextFromQueue()
{
    moveQueueRows(selectedQueueRows(view), -1);
}

void QueueMover::playNextVia(QAction *addAction)
{
    if (!server)
        return;
    // Three jobs in a row on the connection thread: where the queue ends and the song plays, the
    // list's own add (its selection rules, its messages, its refusals), then the move of what
    // it appended.
    const auto before = std::make_shared<QPair<int, int>>(0, 0);  // length, target
    server->send([before](Qmpd &queue) {
        before->first = queue.queueLength();
        before->second = queue.playNextPosition(before->first);
    });
    addAction->trigger();
    if (!server)
        return;
    server->ask(
            this,
            [before](Qmpd &queue) {
                const auto [length, target] = *before;
                const int added = queue.queueLength() - length;
                QList<int> rows;
                for (int row = length; row < length + added; ++row)
                    rows << row;
                return added > 0 && queue.moveSongs(QueueMoves::plan(rows, target)) ? added : 0;
            },
            [this](int added) {
                if (added > 0)
                    emit message(tr("Queued ") + QString::number(added) + tr(" songs to play next"));
            });
}
