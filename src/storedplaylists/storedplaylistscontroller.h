// StoredPlaylistsController: the "Playlists" tab. Lists the server's stored playlists
// and shows the songs of the one selected; adds one to the queue or replaces the queue
// with it; saves the queue under a name (also Ctrl+S anywhere in the window), renames
// and deletes. The list follows changes other clients make. Created and owned by the main
// window, which puts page() into its tab widget; GUI thread.
#ifndef STOREDPLAYLISTSCONTROLLER_H
#define STOREDPLAYLISTSCONTROLLER_H

#include "storedplaylists/storedplayliststore.h"

#include <QObject>
#include <QPointer>
#include <QStringListModel>

#include <memory>
#include <optional>

class ServerConnection;
class SongModel;
class Ui_StoredPlaylistsPage;
class QWidget;

class StoredPlaylistsController : public QObject
{
    Q_OBJECT

public:
    explicit StoredPlaylistsController(QWidget *window);
    ~StoredPlaylistsController() override;

    QWidget *page() const { return pageWidget; }

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();
    void onSaveQueue();
    void onAppend();
    void onReplace();
    void onRename();
    void onDelete();

signals:
    void message(const QString &text);

private:
    void refresh();
    void showNames(const QStringList &list);
    void showSongs();
    void showSongModel(std::unique_ptr<SongModel> model);
    std::optional<QString> selectedName();
    std::optional<QString> askName(const QString &title, const QString &suggestion) const;
    bool confirm(const QString &title, const QString &question) const;
    void report(const StoredPlaylistStore::Outcome &outcome, bool changesList);
    using Operation = StoredPlaylistStore::Outcome (*)(Qmpd &, const QString &, const QString &,
                                                       bool);
    // Runs a save or rename; when the name is taken, asks whether to overwrite and runs it again.
    void runAskingToOverwrite(const QString &title, Operation operation, const QString &name,
                              const QString &other, bool overwrite);
    void runAndReport(StoredPlaylistStore::Outcome (*operation)(Qmpd &, const QString &),
                      const QString &name, bool changesList);

    QWidget *window;
    // Owned by the tab widget once the window has put it there.
    QPointer<QWidget> pageWidget;
    std::unique_ptr<Ui_StoredPlaylistsPage> ui;
    QPointer<ServerConnection> server;
    QStringListModel names;
    std::unique_ptr<SongModel> songs;
    QMetaObject::Connection statusConnection;
};

#endif
