// The playlist tab: mirroring the server's playlist, playing, removing, and
// moving songs by cut and paste.
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/columnlayout.h"
#include "playlist/playlistitemdelegate.h"
#include "core/qmpdsong.h"
#include "playlist/queuefiltermodel.h"
#include "core/settingsstore.h"
#include "core/serverconnection.h"
#include "playlist/songmodel.h"
#include "playlist/songsortfiltermodel.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <utility>

void MainWindow::setupTables()
{
    QTableView *view = ui->playlistTableview;
    view->setItemDelegate(playlistDelegate);
    view->setAlternatingRowColors(false);
    view->setAutoFillBackground(true);
    view->setTabKeyNavigation(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->show();
    ui->fileList->setModel(fileListProxy);
    new ColumnLayout(ui->playlistTableview, SettingsKey::PlaylistColumns);
    new ColumnLayout(ui->fileList, SettingsKey::FileListColumns);
}

void MainWindow::onQueueChanged(const QueueChange &change)
{
    playlistModel->replaceTail(change.first, change.tail);
    if (const ServerConnection *live = server())
        playlistModel->setNowPlaying(playlistModel->onWhichRow(live->status().songId));
}

void MainWindow::markNowPlaying(int songId)
{
    const int row = playlistModel->onWhichRow(songId);
    if (row < 0)
        return;
    playlistModel->setNowPlaying(row);
    ui->playlistTableview->setFocus(Qt::OtherFocusReason);
}

void MainWindow::onPlaylistDoubleClick(const QModelIndex &index)
{
    if (server())
        server()->send(&Qmpd::playPosition, queueFilter->queuePosition(index));
}

void MainWindow::playLastSelectedRow()
{
    // selectedRows lists the selection's ranges in the order they were made.
    const QModelIndexList selected = ui->playlistTableview->selectionModel()->selectedRows();
    if (!selected.isEmpty())
        onPlaylistDoubleClick(selected.last());
}

void MainWindow::onEnter()
{
    activateFocusedList(true);
}

void MainWindow::onSpace()
{
    activateFocusedList(false);
}

void MainWindow::activateFocusedList(bool enter)
{
    // Both keys play the playlist's row; the other lists tell Enter (add) from
    // Space (open).
    if (ui->playlistTableview->hasFocus())
        playLastSelectedRow();
    else if (ui->tabWidget->currentWidget() == ui->tabCollection)
        collectionKey(enter);
    else if (ui->tabWidget->currentWidget() == ui->filebrowserTab)
        fileBrowserKey(enter);
}

void MainWindow::onDeleteSelectedFromPlaylist()
{
    const QItemSelectionModel *selection = ui->playlistTableview->selectionModel();
    if (!selection)
        return;
    const QList<int> rows = queueFilter->queuePositions(selection->selectedRows());
    if (rows.isEmpty()) {
        myShowMessage(tr("No songs selected"));
        return;
    }
    if (server())
        server()->send(&Qmpd::deletePositions, rows);
    myShowMessage(tr("Removed ") + QString::number(rows.size()) + tr(" songs from playlist"));
}

void MainWindow::onCutSelected()
{
    cutFiles.clear();
    const QItemSelectionModel *selection = ui->playlistTableview->selectionModel();
    if (!selection)
        return;
    QModelIndexList selected = selection->selectedRows();
    if (selected.isEmpty()) {
        myShowMessage(tr("No songs selected"));
        return;
    }
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : std::as_const(selected))
        cutFiles << index.data(SongModel::FileRole).toString();
    if (server())
        server()->send(&Qmpd::deletePositions, queueFilter->queuePositions(selected));
    myShowMessage(tr("Cut ") + QString::number(cutFiles.size()) + tr(" songs to clipboard"));
}

void MainWindow::onPasteSongs()
{
    const QItemSelectionModel *selection = ui->playlistTableview->selectionModel();
    if (cutFiles.isEmpty() || !server() || !selection)
        return;
    const QModelIndexList selected = selection->selectedRows();
    if (selected.size() != 1)
        return;
    const int target = queueFilter->queuePosition(selected.first()) + 1;
    server()->ask(
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
                myShowMessage(tr("Pasted ") + QString::number(pasted) + tr(" songs from clipboard!"));
                cutFiles.clear();
            });
}
