#include "filebrowsertreeitem.h"
#include "filebrowsertreemodel.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
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

} // namespace

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
};

void TestFileBrowser::initTestCase()
{
    // The bundle sits in a static library: nothing links it in unless someone asks for it.
    QVERIFY2(!resourceImage(":/graphics/closedfolder.png").isNull(), "icon resources not linked");
    QVERIFY(!resourceImage(":/graphics/openfolder.png").isNull());
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

TUNELOOM_TEST_MAIN(TestFileBrowser)
#include "tst_filebrowser.moc"
