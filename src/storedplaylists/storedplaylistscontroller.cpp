#include "storedplaylistscontroller.h"
#include "ui_storedplaylistspage.h"

#include "songmodel.h"

#include <QAction>
#include <QInputDialog>
#include <QMessageBox>

namespace {

using Status = StoredPlaylistStore::Status;

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

}  // namespace

StoredPlaylistsController::StoredPlaylistsController(QWidget *window)
    : QObject(window), window(window), pageWidget(new QWidget(window)),
      ui(std::make_unique<Ui_StoredPlaylistsPage>()), songs(std::make_unique<SongModel>())
{
    ui->setupUi(pageWidget);
    ui->storedPlaylistList->setModel(&names);
    ui->storedPlaylistSongs->setModel(songs.get());
    connect(ui->storedPlaylistList->selectionModel(), &QItemSelectionModel::currentRowChanged,
            this, &StoredPlaylistsController::showSongs);
    connect(ui->appendPlaylistButton, &QPushButton::clicked, this, &StoredPlaylistsController::onAppend);
    connect(ui->replacePlaylistButton, &QPushButton::clicked, this,
            &StoredPlaylistsController::onReplace);
    connect(ui->savePlaylistButton, &QPushButton::clicked, this,
            &StoredPlaylistsController::onSaveQueue);
    connect(ui->renamePlaylistButton, &QPushButton::clicked, this,
            &StoredPlaylistsController::onRename);
    connect(ui->deletePlaylistButton, &QPushButton::clicked, this,
            &StoredPlaylistsController::onDelete);

    addAction(tr("&Add to playlist"), &StoredPlaylistsController::onAppend);
    addAction(tr("&Replace playlist"), &StoredPlaylistsController::onReplace);
    addAction(tr("Re&name..."), &StoredPlaylistsController::onRename);
    addAction(tr("&Delete"), &StoredPlaylistsController::onDelete);
    ui->storedPlaylistList->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto *save = new QAction(tr("Save playlist..."), window);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    window->addAction(save);
    connect(save, &QAction::triggered, this, &StoredPlaylistsController::onSaveQueue);
}

StoredPlaylistsController::~StoredPlaylistsController()
{
    // The page usually goes first, with the window's widgets. If it is still there, its list
    // must stop reporting to this object before the models below are destroyed.
    if (pageWidget)
        ui->storedPlaylistList->selectionModel()->disconnect(this);
}

void StoredPlaylistsController::addAction(const QString &text,
                                          void (StoredPlaylistsController::*slot)())
{
    auto *action = new QAction(text, ui->storedPlaylistList);
    ui->storedPlaylistList->addAction(action);
    connect(action, &QAction::triggered, this, slot);
}

void StoredPlaylistsController::onConnectionReady(Qmpd *connection)
{
    store.setConnection(connection);
    statusConnection = connect(connection, &Qmpd::mpdStatusChanged, this,
                               [this](MpdObj *, ChangedStatusType what) {
                                   if (what & MPD_CST_STORED_PLAYLIST)
                                       refresh();
                               });
    refresh();
}

void StoredPlaylistsController::onConnectionClosed()
{
    disconnect(statusConnection);
    store.setConnection(nullptr);
    refresh();
}

void StoredPlaylistsController::refresh()
{
    const std::optional<QString> shown = selectedName();
    const QStringList list = store.names();
    names.setStringList(list);
    const int row = shown ? int(list.indexOf(*shown)) : -1;
    // Selecting it again shows its songs as they are now.
    if (row >= 0)
        ui->storedPlaylistList->setCurrentIndex(names.index(row));
    else
        showSongs();
}

std::optional<QString> StoredPlaylistsController::selectedName()
{
    const QModelIndex current = ui->storedPlaylistList->currentIndex();
    if (!current.isValid())
        return std::nullopt;
    return current.data().toString();
}

void StoredPlaylistsController::showSongs()
{
    auto model = std::make_unique<SongModel>();
    if (const std::optional<QString> name = selectedName()) {
        if (auto content = store.songs(*name))
            model->addItems(std::move(*content));
    }
    showSongModel(std::move(model));
}

void StoredPlaylistsController::showSongModel(std::unique_ptr<SongModel> model)
{
    // The view lets go of the old model and its selection before they are deleted.
    const std::unique_ptr<QItemSelectionModel> oldSelection(
            ui->storedPlaylistSongs->selectionModel());
    ui->storedPlaylistSongs->setModel(model.get());
    songs = std::move(model);
}

std::optional<QString> StoredPlaylistsController::askName(const QString &title,
                                                          const QString &suggestion) const
{
    bool accepted = false;
    const QString name = QInputDialog::getText(window, title, tr("Playlist name:"),
                                               QLineEdit::Normal, suggestion, &accepted);
    if (!accepted)
        return std::nullopt;
    return name;
}

bool StoredPlaylistsController::confirm(const QString &title, const QString &question) const
{
    return QMessageBox::question(window, title, question) == QMessageBox::Yes;
}

void StoredPlaylistsController::report(const StoredPlaylistStore::Outcome &outcome,
                                       bool changesList)
{
    if (!outcome.message.isEmpty())
        emit message(outcome.message);
    if (outcome.status == Status::Gone || (outcome.status == Status::Done && changesList))
        refresh();
}

void StoredPlaylistsController::onSaveQueue()
{
    if (!store.isConnected())
        return;
    const std::optional<QString> name = askName(tr("Save playlist"), QString());
    if (!name)
        return;
    StoredPlaylistStore::Outcome outcome = store.saveQueue(*name, false);
    if (outcome.status == Status::NameTaken
        && confirm(tr("Save playlist"), outcome.message + tr(". Overwrite it?")))
        outcome = store.saveQueue(*name, true);
    report(outcome, true);
}

void StoredPlaylistsController::onRename()
{
    const std::optional<QString> from = selectedName();
    if (!from)
        return;
    const std::optional<QString> to = askName(tr("Rename playlist"), *from);
    if (!to)
        return;
    StoredPlaylistStore::Outcome outcome = store.rename(*from, *to, false);
    if (outcome.status == Status::NameTaken
        && confirm(tr("Rename playlist"), outcome.message + tr(". Overwrite it?")))
        outcome = store.rename(*from, *to, true);
    report(outcome, true);
}

void StoredPlaylistsController::onDelete()
{
    const std::optional<QString> name = selectedName();
    if (name && confirm(tr("Delete playlist"), tr("Delete playlist ") + quoted(*name) + tr("?")))
        report(store.remove(*name), true);
}

void StoredPlaylistsController::onAppend()
{
    if (const std::optional<QString> name = selectedName())
        report(store.append(*name), false);
}

void StoredPlaylistsController::onReplace()
{
    if (const std::optional<QString> name = selectedName())
        report(store.replaceQueue(*name), false);
}
