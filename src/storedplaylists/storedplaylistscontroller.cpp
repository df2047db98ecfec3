#include "storedplaylists/storedplaylistscontroller.h"
#include "ui_storedplaylistspage.h"

#include "core/serverconnection.h"
#include "playlist/queueadding.h"
#include "playlist/songmodel.h"

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

    QListView *list = ui->storedPlaylistList;
    QueueAdding::addToPlaylistEntry(list, this, &StoredPlaylistsController::onAppend);
    QueueAdding::addMenuEntry(list, tr("&Replace playlist"), this, &StoredPlaylistsController::onReplace);
    QueueAdding::addMenuEntry(list, tr("Re&name..."), this, &StoredPlaylistsController::onRename);
    QueueAdding::addMenuEntry(list, tr("&Delete"), this, &StoredPlaylistsController::onDelete);

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

void StoredPlaylistsController::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    statusConnection = connect(connection, &ServerConnection::statusChanged, this,
                               [this](const MpdStatus &, MpdStatus::Changes what) {
                                   if (what & MpdStatus::StoredPlaylists)
                                       refresh();
                               });
    refresh();
}

void StoredPlaylistsController::onConnectionClosed()
{
    disconnect(statusConnection);
    server = nullptr;
    showNames({});
}

void StoredPlaylistsController::refresh()
{
    if (server)
        server->ask(this, &StoredPlaylistStore::names,
                    [this](const QStringList &list) { showNames(list); });
}

void StoredPlaylistsController::showNames(const QStringList &list)
{
    const std::optional<QString> shown = selectedName();
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
    const std::optional<QString> name = selectedName();
    if (!name || !server) {
        showSongModel(std::make_unique<SongModel>());
        return;
    }
    server->ask(
            this, [name = *name](Qmpd &queue) { return StoredPlaylistStore::songs(queue, name); },
            [this, name = *name](std::optional<std::vector<QmpdSong>> content) {
                // Another playlist may have been selected meanwhile.
                if (selectedName() != name)
                    return;
                auto model = std::make_unique<SongModel>();
                std::vector<std::unique_ptr<QmpdSong>> rows;
                for (QmpdSong &song : content.value_or(std::vector<QmpdSong>()))
                    rows.push_back(std::make_unique<QmpdSong>(std::move(song)));
                model->addItems(std::move(rows));
                showSongModel(std::move(model));
            });
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

void StoredPlaylistsController::runAskingToOverwrite(const QString &title, Operation operation,
                                                     const QString &name, const QString &other,
                                                     bool overwrite)
{
    if (!server)
        return;
    server->ask(
            this,
            [operation, name, other, overwrite](Qmpd &queue) {
                return operation(queue, name, other, overwrite);
            },
            [=](const StoredPlaylistStore::Outcome &outcome) {
                if (outcome.status == Status::NameTaken && !overwrite
                    && confirm(title, outcome.message + tr(". Overwrite it?")))
                    runAskingToOverwrite(title, operation, name, other, true);
                else
                    report(outcome, true);
            });
}

void StoredPlaylistsController::runAndReport(
        StoredPlaylistStore::Outcome (*operation)(Qmpd &, const QString &), const QString &name,
        bool changesList)
{
    if (!server)
        return;
    server->ask(
            this, [operation, name](Qmpd &queue) { return operation(queue, name); },
            [this, changesList](const StoredPlaylistStore::Outcome &outcome) {
                report(outcome, changesList);
            });
}

void StoredPlaylistsController::onSaveQueue()
{
    if (!server)
        return;
    const std::optional<QString> name = askName(tr("Save playlist"), QString());
    if (!name)
        return;
    runAskingToOverwrite(
            tr("Save playlist"),
            [](Qmpd &queue, const QString &target, const QString &, bool overwrite) {
                return StoredPlaylistStore::saveQueue(queue, target, overwrite);
            },
            *name, QString(), false);
}

void StoredPlaylistsController::onRename()
{
    const std::optional<QString> from = selectedName();
    if (!from)
        return;
    const std::optional<QString> to = askName(tr("Rename playlist"), *from);
    if (!to)
        return;
    runAskingToOverwrite(tr("Rename playlist"), &StoredPlaylistStore::rename, *from, *to, false);
}

void StoredPlaylistsController::onDelete()
{
    const std::optional<QString> name = selectedName();
    if (name && confirm(tr("Delete playlist"), tr("Delete playlist ") + quoted(*name) + tr("?")))
        runAndReport(&StoredPlaylistStore::remove, *name, true);
}

void StoredPlaylistsController::onAppend()
{
    if (const std::optional<QString> name = selectedName())
        runAndReport(&StoredPlaylistStore::append, *name, false);
}

void StoredPlaylistsController::onReplace()
{
    if (const std::optional<QString> name = selectedName())
        runAndReport(&StoredPlaylistStore::replaceQueue, *name, false);
}
