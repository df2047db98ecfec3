#include "playlist/playlistcontroller.h"

#include "core/serverconnection.h"
#include "playlist/playlistitemdelegate.h"
#include "playlist/queuefiltermodel.h"
#include "playlist/songmodel.h"

#include <QAbstractButton>
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

#include <algorithm>
#include <utility>

PlaylistController::PlaylistController(const Widgets &widgets, QObject *parent)
    : QObject(parent), widgets(widgets), model(std::make_unique<SongModel>()),
      filterModel(new QueueFilterModel(this)), itemDelegate(new PlaylistItemDelegate(this))
{
    QTableView *view = widgets.view;
    filterModel->setSourceModel(model.get());
    view->setModel(filterModel);
    view->setItemDelegate(itemDelegate);
    view->setAlternatingRowColors(false);
    view->setAutoFillBackground(true);
    view->setTabKeyNavigation(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->show();
    connect(widgets.filter, &QLineEdit::textChanged, filterModel, &QueueFilterModel::setSearch);
    connect(view, &QTableView::doubleClicked, this, &PlaylistController::onDoubleClick);
    connect(widgets.deleteSelectedButton, &QAbstractButton::clicked, this,
            &PlaylistController::onDeleteSelected);
    connect(widgets.deleteAllButton, &QAbstractButton::clicked, this, [this] {
        if (server)
            server->send(&Qmpd::clearQueue);
    });
    addKey({QKeySequence::Cut}, &PlaylistController::onCutSelected);
    addKey({QKeySequence::Paste}, &PlaylistController::onPasteSongs);
    addKey({QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::Key_Delete)},
           &PlaylistController::onDeleteSelected);
}

PlaylistController::~PlaylistController()
{
    // The filter lets go of the songs before they go.
    filterModel->setSourceModel(nullptr);
}

void PlaylistController::addKey(const QList<QKeySequence> &keys, void (PlaylistController::*slot)())
{
    auto *action = new QAction(this);
    action->setShortcuts(keys);
    // Window shortcuts of a widget only work while it is visible: these keys are live only
    // while the playlist page is shown.
    widgets.page->addAction(action);
    connect(action, &QAction::triggered, this, slot);
}

void PlaylistController::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    serverConnections = {
            connect(connection, &ServerConnection::queueChanged, this,
                    &PlaylistController::onQueueChanged),
    };
}

void PlaylistController::onConnectionClosed()
{
    for (const QMetaObject::Connection &wire : std::as_const(serverConnections))
        disconnect(wire);
    serverConnections.clear();
    server = nullptr;
    model->clear();
}

void PlaylistController::onQueueChanged(const QueueChange &change)
{
    model->replaceTail(change.first, change.tail);
    if (server)
        model->setNowPlaying(model->onWhichRow(server->status().songId));
}

void PlaylistController::markNowPlaying(int songId)
{
    const int row = model->onWhichRow(songId);
    if (row < 0)
        return;
    model->setNowPlaying(row);
    widgets.view->setFocus(Qt::OtherFocusReason);
}

void PlaylistController::onDoubleClick(const QModelIndex &index)
{
    if (server)
        server->send(&Qmpd::playPosition, filterModel->queuePosition(index));
}

void PlaylistController::playSelected()
{
    // selectedRows lists the selection's ranges in the order they were made.
    const QModelIndexList selected = widgets.view->selectionModel()->selectedRows();
    if (!selected.isEmpty())
        onDoubleClick(selected.last());
}

void PlaylistController::onDeleteSelected()
{
    const QItemSelectionModel *selection = widgets.view->selectionModel();
    if (!selection)
        return;
    const QList<int> rows = filterModel->queuePositions(selection->selectedRows());
    if (rows.isEmpty()) {
        emit message(tr("No songs selected"));
        return;
    }
    if (server)
        server->send(&Qmpd::deletePositions, rows);
    emit message(tr("Removed ") + QString::number(rows.size()) + tr(" songs from playlist"));
}

void PlaylistController::onCutSelected()
{
    cutFiles.clear();
    const QItemSelectionModel *selection = widgets.view->selectionModel();
    if (!selection)
        return;
    QModelIndexList selected = selection->selectedRows();
    if (selected.isEmpty()) {
        emit message(tr("No songs selected"));
        return;
    }
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : std::as_const(selected))
        cutFiles << index.data(SongModel::FileRole).toString();
    if (server)
        server->send(&Qmpd::deletePositions, filterModel->queuePositions(selected));
    emit message(tr("Cut ") + QString::number(cutFiles.size()) + tr(" songs to clipboard"));
}

void PlaylistController::onPasteSongs()
{
    const QItemSelectionModel *selection = widgets.view->selectionModel();
    if (cutFiles.isEmpty() || !server || !selection)
        return;
    const QModelIndexList selected = selection->selectedRows();
    if (selected.size() != 1)
        return;
    const int target = filterModel->queuePosition(selected.first()) + 1;
    server->ask(
            this,
            [files = cutFiles, target](Qmpd &queue) {
                const int lengthBefore = queue.queueLength();
                queue.addPaths(files);
                const int length = queue.queueLength();
                // mpd stops a command list at its first failing command: what it took is a
                // prefix of the clipboard, at the end of the playlist.
                const int pasted = std::clamp(length - lengthBefore, 0, int(files.size()));
                // Moving the last song in front of the ones moved before keeps the order.
                QList<Qmpd::Move> moves;
                for (int i = 0; i < pasted; ++i)
                    moves << Qmpd::Move(length - 1, target);
                queue.moveSongs(moves);
                return pasted;
            },
            [this](int pasted) {
                // Nothing taken: the error box says why, and the clipboard keeps the songs.
                if (pasted == 0)
                    return;
                emit message(tr("Pasted ") + QString::number(pasted) + tr(" songs from clipboard!"));
                cutFiles.clear();
            });
}
