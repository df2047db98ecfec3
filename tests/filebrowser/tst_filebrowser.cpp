#include "filebrowsertreeitem.h"
#include "filebrowsertreemodel.h"
#include "infobanner.h"
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>

using DirTree = QList<QPair<QString, QStringList>>;

namespace {

// Every model a test touches runs under the tester, which aborts on any broken invariant
// (bad parent/row mapping, unannounced or miscounted rows).
struct CheckedModel
{
    FileBrowserTreeModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

// The listings of the root and then of Music, in the order the file browser makes them.
const DirTree musicAndTalk = {{"/", {"Music", "Talk"}}, {"Music", {"Music/Rock"}}};

// The tree by full paths: "/[Music[Music/Rock],Talk]".
QString dump(const QAbstractItemModel &model, const QModelIndex &parent = QModelIndex())
{
    QStringList nodes;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        const QString children = dump(model, index);
        nodes << index.data(Qt::UserRole).toString()
                        + (children.isEmpty() ? QString() : "[" + children + "]");
    }
    return nodes.join(',');
}

int nodeCount(const QAbstractItemModel &model, const QModelIndex &parent = QModelIndex())
{
    int count = model.rowCount(parent);
    for (int row = 0; row < model.rowCount(parent); ++row)
        count += nodeCount(model, model.index(row, 0, parent));
    return count;
}

QModelIndex indexOfPath(const QAbstractItemModel &model, const QString &path)
{
    const QModelIndexList hits = model.match(model.index(0, 0), Qt::UserRole, path, 1,
                                             Qt::MatchExactly | Qt::MatchRecursive);
    return hits.isEmpty() ? QModelIndex() : hits.first();
}

FileBrowserTreeItem *itemAt(const QModelIndex &index)
{
    return static_cast<FileBrowserTreeItem *>(index.internalPointer());
}

QImage iconOf(const QModelIndex &index)
{
    return index.data(Qt::DecorationRole).value<QPixmap>().toImage();
}

// Tells the two folder pixmaps apart even while both files hold the same picture.
qint64 iconKey(const QModelIndex &index)
{
    return index.data(Qt::DecorationRole).value<QPixmap>().cacheKey();
}

QImage resourceImage(const QString &path)
{
    return QPixmap(path, "PNG").toImage();
}

// Reaches createIndex to make the column-1 index a proxy or a careless view could hand in.
class IndexForgingModel : public FileBrowserTreeModel
{
public:
    QModelIndex forge(int row, int column, const QModelIndex &like) const
    {
        return createIndex(row, column, like.internalPointer());
    }
};

}  // namespace

class TestFileBrowser : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    // Directory tree model on its own
    void freshModelHasOnlyTheTopNode();
    void mergeGrowsTheTreeInListingOrder();
    void mergingAgainAddsOnlyWhatIsNew();
    void listingOfAnUnknownDirectoryIsIgnored();
    void labelIsTheLastPathComponent_data();
    void labelIsTheLastPathComponent();
    void emptyListKeepsOnlyTheTopNode();
    void indexesOutsideTheTree();
    void expandedFlagSwitchesTheIcon();
    void findItemReturnsTheFirstMatchInPreOrder();

    // Directory tree model behind a real view
    void viewShowsNewRowsOfAnExpandedNodeAtOnce();
    void viewDropsRemovedRows();
    void randomMergesKeepModelAndViewConsistent();

    // The window's file browser against a real server
    void connectingListsTheRootCollapsed();
    void clickingTopListsRootSongsAndOneLevelAhead();
    void clickingAListedDirectoryOnlyRefreshesTheFileList();
    void collapsingAndExpandingWithTheArrow();
    void addingADirectoryAddsItsSongsRecursively();
    void addingADirectoryNeedsOneSelectedRow();
    void addingAVanishedDirectoryClaimsNoSuccess();
    void addingSelectedSongs();
    void addingMoreSongsThanOneCommandListHolds();
    void nonAsciiNamesRoundTrip();
    void disconnectKeepsOnlyTheTopNode();
    void rescanningADirectoryRebuildsAndRelistsTheTree();

    void cleanup();

private:
    void openWindow();
    QModelIndex treeIndex(const QString &path) const;
    void click(const QModelIndex &index);
    void openPath(const QString &path);
    QStringList fileListColumn(int column) const;
    QStringList bannerMessages() const;
    QStringList serverSubdirectories(const QString &path) const;
    QStringList playlistFiles() const { return server.mpc({"-f", "%file%", "playlist"}); }

    QTemporaryDir musicDir;
    MpdFixture server;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;
    QTreeView *tree = nullptr;
    QTableView *fileList = nullptr;
};

void TestFileBrowser::initTestCase()
{
    // The bundle sits in a static library: nothing links it in unless someone asks for it.
    QVERIFY2(!resourceImage(":/graphics/closedfolder.png").isNull(), "icon resources not linked");
    QVERIFY(!resourceImage(":/graphics/openfolder.png").isNull());

    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
}

void TestFileBrowser::cleanup()
{
    window.reset();
    if (closer) {
        // No test may leave an error box behind unnoticed.
        QCOMPARE(closer->texts, QStringList());
        closer.reset();
    }
}

void TestFileBrowser::freshModelHasOnlyTheTopNode()
{
    CheckedModel checked;
    const FileBrowserTreeModel &model = checked.model;
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex top = model.index(0, 0);
    QCOMPARE(top.data(Qt::DisplayRole).toString(), "/");
    QCOMPARE(top.data(Qt::UserRole).toString(), "/");
    QCOMPARE(iconOf(top), resourceImage(":/graphics/closedfolder.png"));
    QCOMPARE(model.rowCount(top), 0);
    QCOMPARE(model.flags(top), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), "Path");
}

void TestFileBrowser::mergeGrowsTheTreeInListingOrder()
{
    CheckedModel checked;
    FileBrowserTreeModel &model = checked.model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    model.setDirTree(musicAndTalk.mid(0, 1));
    model.setDirTree(musicAndTalk);

    QCOMPARE(dump(model), "/[Music[Music/Rock],Talk]");
    const QModelIndex top = model.index(0, 0);
    const QModelIndex music = model.index(0, 0, top);
    QCOMPARE(music.data().toString(), "Music");
    QCOMPARE(model.index(1, 0, top).data().toString(), "Talk");
    QCOMPARE(model.index(0, 0, music).data().toString(), "Rock");
    // One announcement per block of new children, with exactly their rows.
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(inserted[0], (QVariantList{QVariant::fromValue(QModelIndex(top)), 0, 1}));
    QCOMPARE(inserted[1], (QVariantList{QVariant::fromValue(QModelIndex(music)), 0, 0}));
}

void TestFileBrowser::mergingAgainAddsOnlyWhatIsNew()
{
    CheckedModel checked;
    FileBrowserTreeModel &model = checked.model;
    model.setDirTree(musicAndTalk);
    QSignalSpy aboutToInsert(&model, &QAbstractItemModel::rowsAboutToBeInserted);

    model.setDirTree(musicAndTalk);
    QCOMPARE(dump(model), "/[Music[Music/Rock],Talk]");
    QCOMPARE(aboutToInsert.size(), 0);

    // A longer listing appends after the children already there, and a name listed twice
    // is added once.
    model.setDirTree({{"/", {"Talk", "Jazz", "Music", "Jazz"}}});
    QCOMPARE(dump(model), "/[Music[Music/Rock],Talk,Jazz]");
    QCOMPARE(aboutToInsert.size(), 1);
    QCOMPARE(aboutToInsert[0].at(1).toInt(), 2);
    QCOMPARE(aboutToInsert[0].at(2).toInt(), 2);
}

void TestFileBrowser::listingOfAnUnknownDirectoryIsIgnored()
{
    CheckedModel checked;
    FileBrowserTreeModel &model = checked.model;
    model.setDirTree(
            {{"/", {"Music"}}, {"Music/Rock", {"Music/Rock/Punk"}}, {"Music", {"Music/Rock"}}});
    QCOMPARE(dump(model), "/[Music[Music/Rock]]");
}

void TestFileBrowser::labelIsTheLastPathComponent_data()
{
    QTest::addColumn<DirTree>("dirTree");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("label");
    QTest::addRow("top-level directory") << DirTree{{"/", {"Music"}}} << "Music"
                                         << "Music";
    QTest::addRow("child named like its parent")
            << DirTree{{"/", {"Music"}}, {"Music", {"Music/Music of the Night"}}}
            << "Music/Music of the Night"
            << "Music of the Night";
    QTest::addRow("third level") << DirTree{{"/", {"a"}}, {"a", {"a/b"}}, {"a/b", {"a/b/c d"}}}
                                 << "a/b/c d"
                                 << "c d";
}

void TestFileBrowser::labelIsTheLastPathComponent()
{
    QFETCH(DirTree, dirTree);
    QFETCH(QString, path);
    QFETCH(QString, label);
    CheckedModel checked;
    checked.model.setDirTree(dirTree);
    const QModelIndex index = indexOfPath(checked.model, path);
    QVERIFY(index.isValid());
    QCOMPARE(index.data(Qt::DisplayRole).toString(), label);
}

void TestFileBrowser::emptyListKeepsOnlyTheTopNode()
{
    CheckedModel checked;
    FileBrowserTreeModel &model = checked.model;
    model.setDirTree(musicAndTalk);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    model.setDirTree({});
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(dump(model), "/");
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0], (QVariantList{QVariant::fromValue(model.index(0, 0)), 0, 1}));
    FileBrowserTreeItem *top = itemAt(model.index(0, 0));
    QVERIFY(!model.findItem(top, "Music"));
    QVERIFY(!model.findItem(top, "Music/Rock"));

    model.setDirTree({});
    QCOMPARE(removed.size(), 1);

    // After a reconnect the same directories come back, once each.
    model.setDirTree(musicAndTalk);
    QCOMPARE(dump(model), "/[Music[Music/Rock],Talk]");
}

void TestFileBrowser::indexesOutsideTheTree()
{
    IndexForgingModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setDirTree(musicAndTalk);
    const QModelIndex top = model.index(0, 0);
    QVERIFY(!model.parent(top).isValid());
    QCOMPARE(model.rowCount(model.forge(0, 1, top)), 0);
    QVERIFY(!model.index(1, 0).isValid());
    QVERIFY(!model.index(2, 0, top).isValid());
    QVERIFY(!model.index(0, 1, top).isValid());
    QCOMPARE(model.parent(indexOfPath(model, "Music/Rock")), indexOfPath(model, "Music"));
    QCOMPARE(model.flags(QModelIndex()), Qt::NoItemFlags);
    QVERIFY(!model.data(QModelIndex()).isValid());
    QVERIFY(!model.data(top, Qt::ToolTipRole).isValid());
}

void TestFileBrowser::expandedFlagSwitchesTheIcon()
{
    CheckedModel checked;
    FileBrowserTreeModel &model = checked.model;
    model.setDirTree(musicAndTalk);
    QTreeView view;
    view.setModel(&model);
    const QModelIndex music = indexOfPath(model, "Music");
    const QModelIndex talk = indexOfPath(model, "Talk");
    const qint64 closedKey = iconKey(music);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.setExpanded(music, true);
    QVERIFY(itemAt(music)->isExpanded());
    QVERIFY(!view.isExpanded(music));
    QCOMPARE(iconOf(music), resourceImage(":/graphics/openfolder.png"));
    QVERIFY(iconKey(music) != closedKey);
    QCOMPARE(iconOf(talk), resourceImage(":/graphics/closedfolder.png"));
    QCOMPARE(iconKey(talk), closedKey);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0].at(0).toModelIndex(), music);
    QCOMPARE(changed[0].at(1).toModelIndex(), music);
    QCOMPARE(changed[0].at(2).value<QList<int>>(), QList<int>{Qt::DecorationRole});

    model.setExpanded(music, true);
    QCOMPARE(changed.size(), 1);

    model.setExpanded(music, false);
    QCOMPARE(iconOf(music), resourceImage(":/graphics/closedfolder.png"));
    QCOMPARE(iconKey(music), closedKey);
    QCOMPARE(changed.size(), 2);
}

void TestFileBrowser::findItemReturnsTheFirstMatchInPreOrder()
{
    CheckedModel checked;
    FileBrowserTreeModel &model = checked.model;
    // Listings the server never sends, but the model accepts: "B/z" lands under B first and
    // then again under A, which comes first in pre-order; "A/y" the other way round.
    model.setDirTree({{"/", {"A", "B"}},
                      {"B", {"B/z"}},
                      {"A", {"B/z", "A/y"}},
                      {"B", {"A/y"}},
                      {"B/z", {"B/z/q"}}});
    QCOMPARE(dump(model), "/[A[B/z[B/z/q],A/y],B[B/z,A/y]]");

    FileBrowserTreeItem *top = itemAt(model.index(0, 0));
    FileBrowserTreeItem *a = itemAt(indexOfPath(model, "A"));
    FileBrowserTreeItem *b = itemAt(indexOfPath(model, "B"));
    QCOMPARE(model.findItem(top, "B/z")->parent(), a);
    QCOMPARE(model.findItem(top, "A/y")->parent(), a);
    QCOMPARE(model.findItem(b, "B/z")->parent(), b);
    QCOMPARE(model.findItem(b, "A/y")->parent(), b);
    QCOMPARE(model.findItem(a, "B/z/q")->parent()->parent(), a);
    QVERIFY(!model.findItem(a, "A"));
    QVERIFY(!model.findItem(a, "B"));
    QVERIFY(!model.findItem(b, "B/z/q"));
    QVERIFY(!model.findItem(top, "/"));
}

void TestFileBrowser::viewShowsNewRowsOfAnExpandedNodeAtOnce()
{
    CheckedModel checked;
    FileBrowserTreeModel &model = checked.model;
    model.setDirTree({{"/", {"Music"}}});
    QTreeView view;
    view.setModel(&model);
    view.show();
    const QModelIndex top = model.index(0, 0);
    view.expand(top);
    QCOMPARE(view.indexBelow(top), indexOfPath(model, "Music"));

    model.setDirTree({{"/", {"Music", "Talk"}}, {"Music", {"Music/Rock"}}});
    const QModelIndex talk = view.indexBelow(indexOfPath(model, "Music"));
    QCOMPARE(talk, indexOfPath(model, "Talk"));
    QVERIFY(view.visualRect(talk).isValid());
    QVERIFY(!view.indexBelow(talk).isValid());
}

void TestFileBrowser::viewDropsRemovedRows()
{
    CheckedModel checked;
    FileBrowserTreeModel &model = checked.model;
    model.setDirTree(musicAndTalk);
    QTreeView view;
    view.setModel(&model);
    view.show();
    view.expandAll();
    const QModelIndex rock = indexOfPath(model, "Music/Rock");
    view.setCurrentIndex(rock);
    QPersistentModelIndex kept(rock);

    model.setDirTree({});

    const QModelIndex top = model.index(0, 0);
    QVERIFY(!kept.isValid());
    QVERIFY(!view.indexBelow(top).isValid());
    QVERIFY(view.currentIndex() == top || !view.currentIndex().isValid());
    QVERIFY(!view.grab().isNull());
    QCOMPARE(top.data().toString(), "/");
}

void TestFileBrowser::randomMergesKeepModelAndViewConsistent()
{
    // A random server tree; every directory is named by its whole path, as mpd does.
    QRandomGenerator random(20240611);
    QHash<QString, QStringList> serverDirs;
    QStringList pending{"/"};
    while (!pending.isEmpty()) {
        const QString dir = pending.takeFirst();
        const int depth = dir == "/" ? 0 : int(dir.count('/')) + 1;
        const int count = depth < 4 ? random.bounded(depth == 0 ? 3 : 0, 5) : 0;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("d%1 %2").arg(depth).arg(i);
            const QString sub = dir == "/" ? name : dir + '/' + name;
            serverDirs[dir] << sub;
            pending << sub;
        }
    }

    CheckedModel checked;
    FileBrowserTreeModel &model = checked.model;
    QTreeView view;
    view.setModel(&model);
    view.show();
    DirTree dirTree;
    QSet<QString> listed;
    const auto list = [&](const QString &dir) {
        if (listed.contains(dir))
            return;
        listed.insert(dir);
        dirTree.append({dir, serverDirs.value(dir)});
    };

    for (int step = 0; step < 300; ++step) {
        if (random.bounded(12) == 0) {
            dirTree.clear();
            listed.clear();
            model.setDirTree(dirTree);
        } else {
            // A click: list the directory and its subdirectories one level ahead, then expand.
            QModelIndexList shown{model.index(0, 0)};
            for (int i = 0; i < shown.size(); ++i) {
                for (int row = 0; row < model.rowCount(shown[i]); ++row)
                    shown << model.index(row, 0, shown[i]);
            }
            const QModelIndex clicked = shown[int(random.bounded(qsizetype(shown.size())))];
            const QString dir = clicked.data(Qt::UserRole).toString();
            list(dir);
            for (const QString &sub : serverDirs.value(dir))
                list(sub);
            model.setDirTree(dirTree);
            view.expand(clicked);
            model.setExpanded(clicked, true);
        }

        // Expected: each listed directory shows exactly the server's subdirectories.
        int nodes = 1;
        for (const QString &dir : std::as_const(listed)) {
            const QModelIndex index = indexOfPath(model, dir);
            QVERIFY2(index.isValid(), qPrintable(dir));
            QStringList children;
            for (int row = 0; row < model.rowCount(index); ++row) {
                const QModelIndex child = model.index(row, 0, index);
                children << child.data(Qt::UserRole).toString();
                QCOMPARE(child.data().toString(), children.last().section('/', -1));
            }
            QCOMPARE(children, serverDirs.value(dir));
            nodes += int(children.size());
        }
        QCOMPARE(nodeCount(model), nodes);

        // The rows the view lays out must be the ones its expanded nodes hold now.
        int expectedVisible = 0;
        QModelIndexList open{QModelIndex()};
        while (!open.isEmpty()) {
            const QModelIndex parent = open.takeFirst();
            for (int row = 0; row < model.rowCount(parent); ++row) {
                ++expectedVisible;
                const QModelIndex child = model.index(row, 0, parent);
                if (view.isExpanded(child))
                    open << child;
            }
        }
        int visible = 0;
        for (QModelIndex index = model.index(0, 0); index.isValid(); index = view.indexBelow(index))
            ++visible;
        QCOMPARE(visible, expectedVisible);
    }
}

// ---- The window's file browser against a real server ----------------------------------------

namespace {

constexpr int fileBrowserTab = 2;

QAction *actionWithText(const QWidget *widget, const QString &text)
{
    for (QAction *action : widget->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

QStringList childPaths(const QAbstractItemModel &model, const QModelIndex &parent)
{
    QStringList paths;
    for (int row = 0; row < model.rowCount(parent); ++row)
        paths << model.index(row, 0, parent).data(Qt::UserRole).toString();
    return paths;
}

QString songPath(const QString &title)
{
    return QStringLiteral("Flat/%1 %2.flac").arg(title, QString(200, QLatin1Char('x')));
}

// A database of one directory holding `songs` songs with long names, so that adding them all
// takes more than mpd's 2 MiB command list limit.
bool writeFlatDatabase(const QString &dbPath, int songs)
{
    if (!TestLibrary::writeDatabase(dbPath, 0))
        return false;
    QFile file(dbPath);
    if (!file.open(QIODevice::Append))
        return false;
    QByteArray out = "directory: Flat\nmtime: 0\nbegin: Flat\n";
    for (int i = 0; i < songs; ++i) {
        const QString title = QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        out += "song_begin: " + songPath(title).mid(5).toUtf8()
                + "\nTime: 60.000000\nTitle: " + title.toUtf8() + "\nmtime: 0\nsong_end\n";
    }
    out += "end: Flat\n";
    return file.write(out) == out.size();
}

}  // namespace

void TestFileBrowser::openWindow()
{
    QVERIFY(server.resetState());
    closer = std::make_unique<ModalCloser>();
    window = std::make_unique<MainWindow>();
    window->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(fileBrowserTab);
    tree = window->findChild<QTreeView *>("directoryTree");
    fileList = window->findChild<QTableView *>("fileList");
    QVERIFY(tree && fileList);
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
}

QModelIndex TestFileBrowser::treeIndex(const QString &path) const
{
    return indexOfPath(*tree->model(), path);
}

void TestFileBrowser::click(const QModelIndex &index)
{
    QVERIFY(index.isValid());
    tree->scrollTo(index);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
}

// Clicks every directory from "/" down to path, as a user opening it would.
void TestFileBrowser::openPath(const QString &path)
{
    click(treeIndex("/"));
    const QStringList parts = path.split('/', Qt::SkipEmptyParts);
    for (int depth = 1; depth <= parts.size() && !QTest::currentTestFailed(); ++depth)
        click(treeIndex(parts.mid(0, depth).join('/')));
}

QStringList TestFileBrowser::fileListColumn(int column) const
{
    const QAbstractItemModel *model = fileList->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

QStringList TestFileBrowser::bannerMessages() const
{
    return window->findChild<InfoBanner *>()->visibleMessages();
}

QStringList TestFileBrowser::serverSubdirectories(const QString &path) const
{
    const QString directory = path == "/" ? QString() : path;
    QStringList subdirectories;
    for (const QString &line : server.command("lsinfo \"" + directory + "\"")) {
        if (line.startsWith("directory: "))
            subdirectories << line.mid(11);
    }
    return subdirectories;
}

void TestFileBrowser::connectingListsTheRootCollapsed()
{
    openWindow();
    if (QTest::currentTestFailed())
        return;
    const QAbstractItemModel &model = *tree->model();
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex top = treeIndex("/");
    QCOMPARE(childPaths(model, top), QStringList({"Misc", "Music"}));
    QCOMPARE(childPaths(model, top), serverSubdirectories("/"));
    QVERIFY(!tree->isExpanded(top));
    QCOMPARE(iconOf(top), resourceImage(":/graphics/closedfolder.png"));
    // Nothing below the top level is listed before the user asks.
    QCOMPARE(model.rowCount(treeIndex("Music")), 0);
    QCOMPARE(fileList->model()->rowCount(), 0);
}

void TestFileBrowser::clickingTopListsRootSongsAndOneLevelAhead()
{
    openWindow();
    if (QTest::currentTestFailed())
        return;
    click(treeIndex("/"));

    QCOMPARE(fileListColumn(0), QStringList({"Root Song"}));
    QCOMPARE(fileListColumn(6), QStringList({"Root Song.flac"}));
    const QModelIndex top = treeIndex("/");
    QVERIFY(tree->isExpanded(top));
    QCOMPARE(iconOf(top), resourceImage(":/graphics/openfolder.png"));
    QVERIFY(iconKey(top) != iconKey(treeIndex("Music")));
    // One level ahead: the top-level directories know their subdirectories, theirs are not
    // listed yet.
    const QAbstractItemModel &model = *tree->model();
    QCOMPARE(childPaths(model, treeIndex("Music")), serverSubdirectories("Music"));
    QCOMPARE(model.rowCount(treeIndex("Misc")), 0);
    QCOMPARE(model.rowCount(treeIndex("Music/Rock")), 0);
    QVERIFY(!tree->isExpanded(treeIndex("Music")));
}

void TestFileBrowser::clickingAListedDirectoryOnlyRefreshesTheFileList()
{
    openWindow();
    if (QTest::currentTestFailed())
        return;
    openPath("Music/Music of the Night");
    QCOMPARE(fileListColumn(0), QStringList({"Midnight", "Before Dawn"}));
    click(treeIndex("Music"));
    QCOMPARE(fileListColumn(0), QStringList());
    const QString treeBefore = dump(*tree->model());
    const auto *proxy = qobject_cast<QSortFilterProxyModel *>(fileList->model());
    QVERIFY(proxy);
    const QAbstractItemModel *songsBefore = proxy->sourceModel();

    click(treeIndex("Music"));

    QCOMPARE(dump(*tree->model()), treeBefore);
    QVERIFY(proxy->sourceModel() != songsBefore);
    QVERIFY(tree->isExpanded(treeIndex("Music")));
    QCOMPARE(iconOf(treeIndex("Music")), resourceImage(":/graphics/openfolder.png"));
    click(treeIndex("Music/Music of the Night"));
    QCOMPARE(fileListColumn(0), QStringList({"Midnight", "Before Dawn"}));
    QCOMPARE(dump(*tree->model()), treeBefore);
}

void TestFileBrowser::collapsingAndExpandingWithTheArrow()
{
    openWindow();
    if (QTest::currentTestFailed())
        return;
    openPath("Misc");
    QCOMPARE(fileList->model()->rowCount(), 4);

    tree->collapse(treeIndex("/"));
    QCOMPARE(iconOf(treeIndex("/")), resourceImage(":/graphics/closedfolder.png"));
    QCOMPARE(fileList->model()->rowCount(), 4);

    // Opening with the arrow is a click: the file list follows.
    tree->expand(treeIndex("/"));
    QCOMPARE(iconOf(treeIndex("/")), resourceImage(":/graphics/openfolder.png"));
    QCOMPARE(fileListColumn(0), QStringList({"Root Song"}));
}

void TestFileBrowser::addingADirectoryAddsItsSongsRecursively()
{
    openWindow();
    if (QTest::currentTestFailed())
        return;
    openPath("Music");
    tree->selectionModel()->select(treeIndex("Music/Rock"), QItemSelectionModel::ClearAndSelect);
    QAction *add = actionWithText(tree, "&Add to playlist");
    QVERIFY(add);
    add->trigger();

    const QStringList expected = server.mpc({"listall", "Music/Rock"});
    QCOMPARE(expected.size(), 7);
    QCOMPARE(playlistFiles(), expected);
    QVERIFY(bannerMessages().contains(
            "Added all songs from \"Music/Rock\" and all its subdirectories!"));
}

void TestFileBrowser::addingADirectoryNeedsOneSelectedRow()
{
    openWindow();
    if (QTest::currentTestFailed())
        return;
    click(treeIndex("/"));
    tree->clearSelection();
    actionWithText(tree, "&Add to playlist")->trigger();
    actionWithText(tree, "&Update folder")->trigger();
    QCOMPARE(playlistFiles(), QStringList());
    QCOMPARE(server.statusValue("updating_db"), QString());
    for (const QString &message : bannerMessages())
        QVERIFY2(!message.startsWith("Added"), qPrintable(message));
}

void TestFileBrowser::addingAVanishedDirectoryClaimsNoSuccess()
{
    const QString gone = musicDir.filePath("Misc/Gone");
    const auto removeGone = qScopeGuard([&] {
        QDir(gone).removeRecursively();
        server.updateDatabase("Misc");
    });
    QVERIFY(QDir().mkpath(gone));
    QVERIFY(QFile::copy(musicDir.filePath("Misc/No Tags.flac"), gone + "/Gone Song.flac"));
    QVERIFY(server.updateDatabase("Misc"));
    openWindow();
    if (QTest::currentTestFailed())
        return;
    openPath("Misc");
    // The tree still offers the directory after the server has dropped it.
    QVERIFY(QDir(gone).removeRecursively());
    QVERIFY(server.updateDatabase("Misc"));
    tree->selectionModel()->select(treeIndex("Misc/Gone"), QItemSelectionModel::ClearAndSelect);
    actionWithText(tree, "&Add to playlist")->trigger();

    QTRY_COMPARE_WITH_TIMEOUT(closer->texts.size(), 1, 2000);
    closer->texts.clear();
    QCOMPARE(playlistFiles(), QStringList());
    for (const QString &message : bannerMessages())
        QVERIFY2(!message.startsWith("Added"), qPrintable(message));
}

void TestFileBrowser::addingSelectedSongs()
{
    openWindow();
    if (QTest::currentTestFailed())
        return;
    openPath("Misc");
    // Sorted, so that view rows and song rows differ.
    fileList->sortByColumn(0, Qt::DescendingOrder);
    const QAbstractItemModel *model = fileList->model();
    QStringList expected;
    for (int row : {2, 0, 3}) {
        const QModelIndex index = model->index(row, 0);
        fileList->selectionModel()->select(index,
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        expected << index.data(Qt::UserRole).toString();
    }
    QAction *add = actionWithText(fileList, "&Add to playlist");
    QVERIFY(add);
    add->trigger();

    QCOMPARE(playlistFiles(), expected);
    QVERIFY(bannerMessages().contains("Added 3 songs to playlist"));
}

void TestFileBrowser::addingMoreSongsThanOneCommandListHolds()
{
    const int songs = 11000;
    MpdFixture::Options options;
    QTemporaryDir dbDir;
    options.databaseFile = dbDir.filePath("flat.db");
    QVERIFY(writeFlatDatabase(options.databaseFile, songs));
    MpdFixture flatServer(options);
    QVERIFY2(flatServer.start(), qPrintable(flatServer.errorString()));

    closer = std::make_unique<ModalCloser>();
    window = std::make_unique<MainWindow>();
    window->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(fileBrowserTab);
    tree = window->findChild<QTreeView *>("directoryTree");
    fileList = window->findChild<QTableView *>("fileList");
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), flatServer.host(),
                                                       flatServer.port()));
    openPath("Flat");
    QCOMPARE(fileList->model()->rowCount(), songs);
    fileList->selectAll();
    actionWithText(fileList, "&Add to playlist")->trigger();

    QCOMPARE(flatServer.statusValue("playlistlength"), QString::number(songs));
    const QStringList playlist = flatServer.mpc({"-f", "%file%", "playlist"});
    QCOMPARE(playlist.first(), songPath("00000"));
    QCOMPARE(playlist.last(), songPath(QString::number(songs - 1)));
    QVERIFY(bannerMessages().contains("Added 11000 songs to playlist"));
}

void TestFileBrowser::nonAsciiNamesRoundTrip()
{
    openWindow();
    if (QTest::currentTestFailed())
        return;
    openPath("Music/World/Кино");
    QCOMPARE(treeIndex("Music/World/Кино").data().toString(), "Кино");
    click(treeIndex("Music/World/Кино/Группа крови"));
    QCOMPARE(fileListColumn(0), QStringList({"Звезда"}));
    fileList->selectAll();
    actionWithText(fileList, "&Add to playlist")->trigger();

    tree->selectionModel()->select(treeIndex("Music/World/坂本"),
                                   QItemSelectionModel::ClearAndSelect);
    actionWithText(tree, "&Add to playlist")->trigger();

    QCOMPARE(playlistFiles(),
             QStringList({"Music/World/Кино/Группа крови/01 Звезда.flac",
                          "Music/World/坂本/音楽図鑑/01 森.flac"}));
    QVERIFY(bannerMessages().contains(
            "Added all songs from \"Music/World/坂本\" and all its subdirectories!"));
}

void TestFileBrowser::disconnectKeepsOnlyTheTopNode()
{
    openWindow();
    if (QTest::currentTestFailed())
        return;
    openPath("Music/Pop");
    window->onDisconnect();
    QCOMPARE(tree->model()->rowCount(), 1);
    QCOMPARE(treeIndex("/").data().toString(), "/");
    QCOMPARE(tree->model()->rowCount(treeIndex("/")), 0);

    // A new connection lists the root afresh, collapsed.
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
    QCOMPARE(childPaths(*tree->model(), treeIndex("/")), QStringList({"Misc", "Music"}));
    QVERIFY(!tree->isExpanded(treeIndex("/")));
    QCOMPARE(iconOf(treeIndex("/")), resourceImage(":/graphics/closedfolder.png"));
}

void TestFileBrowser::rescanningADirectoryRebuildsAndRelistsTheTree()
{
    const QString fresh = musicDir.filePath("Misc/Fresh");
    const auto removeFresh = qScopeGuard([&] {
        QDir(fresh).removeRecursively();
        server.updateDatabase("Misc");
    });
    openWindow();
    if (QTest::currentTestFailed())
        return;
    openPath("Misc");
    QCOMPARE(tree->model()->rowCount(treeIndex("Misc")), 0);
    QVERIFY(QDir().mkpath(fresh));
    QVERIFY(QFile::copy(musicDir.filePath("Misc/No Tags.flac"), fresh + "/Fresh Song.flac"));

    tree->selectionModel()->select(treeIndex("Misc"), QItemSelectionModel::ClearAndSelect);
    tree->setFocus();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    const QAbstractItemModel *treeBeforeRescan = tree->model();
    QTest::keyClick(tree, Qt::Key_U);
    QTRY_COMPARE_WITH_TIMEOUT(serverSubdirectories("Misc"), QStringList({"Misc/Fresh"}), 5000);

    // The end of the update rebuilds the collection, whose end lists the tree afresh.
    QTRY_VERIFY_WITH_TIMEOUT(tree->model() != treeBeforeRescan, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(window->findChild<QWidget *>("filebrowserTab")->isEnabled(), 20000);
    openPath("Misc");
    QCOMPARE(childPaths(*tree->model(), treeIndex("Misc")), QStringList({"Misc/Fresh"}));
}

TUNELOOM_TEST_MAIN(TestFileBrowser)
#include "tst_filebrowser.moc"
