// FileBrowserController: the file browser tab. The server's folders as a tree listed lazily, one
// level ahead of what is open; the songs of the folder opened last; adding either to the queue
// and asking the server to rescan a folder. Listings are jobs on the connection's thread, shown
// when their answer comes. GUI thread.
#ifndef FILEBROWSERCONTROLLER_H
#define FILEBROWSERCONTROLLER_H

#include <QMap>
#include <QObject>
#include <QPair>
#include <QStringList>

#include <memory>
#include <vector>

class FileBrowserTreeModel;
class QAction;
class QModelIndex;
class QmpdSong;
class QueueMover;
class QTableView;
class QTreeView;
class ServerConnection;
class SongModel;
class SongSortFilterModel;

class FileBrowserController : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QWidget *page;
        QTreeView *directoryTree;
        QTableView *fileList;
    };
    FileBrowserController(const Widgets &widgets, QObject *parent);
    ~FileBrowserController() override;

    // Enter adds what the focused list has selected; Space opens the selected folder.
    void activateFocusedList(bool enter);
    // "Play next" beside "Add to playlist" in the folder tree and the song list.
    void offerPlayNext(QueueMover *mover) const;

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();
    // Lists the top folder again into a new tree (the collection was rebuilt).
    void reload();

signals:
    void message(const QString &text);

private:
    using ListedFolders = QList<QPair<QString, QStringList>>;

    void onDirectoryClicked(const QModelIndex &index);
    void onDirectoryCollapsed(const QModelIndex &index);
    void showDirectory(const QModelIndex &index, const QString &path, const ListedFolders &listed,
                       std::vector<QmpdSong> songs);
    void showFileList(std::unique_ptr<SongModel> songs);
    void onAddDirectory();
    void onUpdateDirectory();
    void onAddTracks();

    Widgets widgets;
    ServerConnection *server = nullptr;
    FileBrowserTreeModel *treeModel = nullptr;
    ListedFolders dirTree;
    QMap<QString, bool> visited;
    SongSortFilterModel *fileListProxy = nullptr;
    // The source of fileListProxy: the songs of the folder opened last.
    std::unique_ptr<SongModel> fileListSongs;
    QAction *addDirAction = nullptr;
    QAction *addTrackAction = nullptr;
    // Set while a folder is being opened, so that the view's expanded() signal, which
    // opening raises, does not list the same folder again.
    bool openingDirectory = false;
};

#endif
