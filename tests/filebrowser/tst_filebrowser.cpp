// The file browser: the directory tree model on its own, and the window's tab against a real server.
#include "filebrowser/filebrowsertreemodel.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QScopeGuard>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>

namespace {

// "/:Music,Talk;Music:Music/Rock" lists the top and then Music, as the window does.
QList<QPair<QString, QStringList>> listing(const QString &text)
{
    QList<QPair<QString, QStringList>> tree;
    for (const QString &dir : text.split(';', Qt::SkipEmptyParts))
        tree.append({dir.section(':', 0, 0), dir.section(':', 1).split(',', Qt::SkipEmptyParts)});
    return tree;
}

// The tree by full paths: "/[Music[Music/Rock],Talk]".
QString dump(const QAbstractItemModel &model, const QModelIndex &parent = QModelIndex())
{
    QStringList nodes;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        const QString children = dump(model, index);
        nodes << index.data(Qt::UserRole).toString() + (children.isEmpty() ? "" : "[" + children + "]");
    }
    return nodes.join(',');
}

QModelIndex find(const QAbstractItemModel &model, const QString &path)
{
    return model.match(model.index(0, 0), Qt::UserRole, path, 1, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}

bool showsFolder(const QModelIndex &index, bool open)
{
    const QImage folder = QPixmap(open ? ":/graphics/openfolder.png" : ":/graphics/closedfolder.png", "PNG").toImage();
    return !folder.isNull() && index.data(Qt::DecorationRole).value<QPixmap>().toImage() == folder;
}

QAction *action(const QWidget *widget, const QString &text)
{
    for (QAction *action : widget->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

}  // namespace

class TestFileBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(f.startServer(), qPrintable(f.server.errorString())); }

    void cleanup() { QCOMPARE(f.close(), expectedBoxes); expectedBoxes.clear(); }

    void merges_data()
    {
        QTest::addColumn<QStringList>("listings");   // one setDirTree each
        QTest::addColumn<QString>("tree");
        QTest::addColumn<QStringList>("announced");  // rows inserted (+) and removed (-) under a parent
        QTest::addRow("grows in listing order") << QStringList{"/:Music,Talk", "/:Music,Talk;Music:Music/Rock"}
                << "/[Music[Music/Rock],Talk]" << QStringList{"+/:0-1", "+Music:0-0"};
        QTest::addRow("a second listing adds only what is new, once")
                << QStringList{"/:Music,Talk;Music:Music/Rock", "/:Talk,Jazz,Music,Jazz"}
                << "/[Music[Music/Rock],Talk,Jazz]" << QStringList{"+/:0-1", "+Music:0-0", "+/:2-2"};
        QTest::addRow("listing of an unknown directory ignored")
                << QStringList{"/:Music;Music/Rock:Music/Rock/Punk;Music:Music/Rock"}
                << "/[Music[Music/Rock]]" << QStringList{"+/:0-0", "+Music:0-0"};
        QTest::addRow("deeper listings, in the order directories were opened")
                << QStringList{"/:Music,B;Music:Music/x,Music/Rock", "/:Music,B;Music:Music/x,Music/Rock;B:B/q;Music/Rock:Music/Rock/z,Music/Rock/w"}
                << "/[Music[Music/x,Music/Rock[Music/Rock/z,Music/Rock/w]],B[B/q]]" << QStringList{"+/:0-1", "+Music:0-1", "+B:0-0", "+Music/Rock:0-1"};
        QTest::addRow("empty listing keeps the top, then the same comes back")
                << QStringList{"/:Music,Talk;Music:Music/Rock", "", "", "/:Music,Talk;Music:Music/Rock"}
                << "/[Music[Music/Rock],Talk]" << QStringList{"+/:0-1", "+Music:0-0", "-/:0-1", "+/:0-1", "+Music:0-0"};
    }

    void merges()
    {
        QFETCH(QStringList, listings);
        FileBrowserTreeModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        QStringList notices;
        for (const auto &[signal, sign] : {std::pair(&QAbstractItemModel::rowsInserted, '+'), {&QAbstractItemModel::rowsRemoved, '-'}})
            connect(&model, signal, this, [&notices, sign = sign](const QModelIndex &parent, int first, int last) {
                notices << QString("%1%2:%3-%4").arg(sign).arg(parent.data(Qt::UserRole).toString()).arg(first).arg(last);
            });
        for (const QString &text : listings)
            model.setDirTree(listing(text));
        QTEST(dump(model), "tree");
        QTEST(notices, "announced");
        QCOMPARE(find(model, "Music/Rock").data().toString(), "Rock");  // the last path component
    }

    // Listing, opening and collapsing; a rescan and a reconnection list the tree afresh.
    void browse()
    {
        const QString fresh = f.musicDir() + "/Misc/Fresh";
        const auto removeFresh = qScopeGuard([&] { QDir(fresh).removeRecursively(); f.server.updateDatabase("Misc"); });
        QVERIFY(openWindow());
        const auto freshRoot = [this] {
            QCOMPARE(dump(*tree()->model()), "/[Misc,Music]");
            QVERIFY(!tree()->isExpanded(node("/")) && showsFolder(node("/"), false));
        };
        freshRoot();
        QCOMPARE(tree()->model()->headerData(0, Qt::Horizontal).toString(), "Path");
        QCOMPARE(files()->model()->rowCount(), 0);
        // The top lists its songs and its directories one level ahead; its icon is repainted.
        QSignalSpy repainted(tree()->model(), &QAbstractItemModel::dataChanged);
        click("/");
        QVERIFY(!repainted.isEmpty() && repainted.first().at(2).value<QList<int>>() == QList<int>{Qt::DecorationRole});
        QCOMPARE(f.rows(files()->model()), QStringList({"Root Song"}));
        QVERIFY(tree()->isExpanded(node("/")) && showsFolder(node("/"), true) && showsFolder(node("Music"), false));
        QCOMPARE(dump(*tree()->model()), "/[Misc,Music[Music/Music of the Night,Music/Pop,Music/Rock,Music/World]]");
        open("Music/Music of the Night");
        QCOMPARE(f.rows(files()->model()), QStringList({"Midnight", "Before Dawn"}));
        // A listed directory clicked again only refreshes the file list.
        const QString before = dump(*tree()->model());
        const auto *proxy = qobject_cast<QSortFilterProxyModel *>(files()->model());
        const QAbstractItemModel *songs = proxy->sourceModel();
        click("Music");
        QCOMPARE(dump(*tree()->model()), before);
        QVERIFY(proxy->sourceModel() != songs);
        QCOMPARE(f.rows(files()->model()), QStringList());
        // Collapsing keeps the list; opening with the arrow is a click.
        tree()->collapse(node("/"));
        QVERIFY(showsFolder(node("/"), false) && f.rows(files()->model()).isEmpty());
        tree()->expand(node("/"));
        QVERIFY(f.settle());
        QVERIFY(showsFolder(node("/"), true) && f.rows(files()->model()) == QStringList({"Root Song"}));
        open("Music/World/Кино/Группа крови");
        QCOMPARE(f.rows(files()->model()), QStringList({"Звезда"}));
        // U rescans the selected folder; the update's end rebuilds the collection, whose end relists the tree.
        QVERIFY(QDir().mkpath(fresh) && QFile::copy(f.musicDir() + "/Misc/No Tags.flac", fresh + "/Fresh Song.flac"));
        tree()->selectionModel()->select(node("Misc"), QItemSelectionModel::ClearAndSelect);
        tree()->setFocus();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        const QAbstractItemModel *listed = tree()->model();
        QTest::keyClick(tree(), Qt::Key_U);
        QTRY_VERIFY_WITH_TIMEOUT(tree()->model() != listed, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(f.widget("filebrowserTab")->isEnabled(), 20000);
        freshRoot();
        open("Misc");
        QVERIFY(dump(*tree()->model()).contains("Misc[Misc/Fresh]"));
        WindowTesting::controller(f.window.get())->onDisconnect();
        QCOMPARE(dump(*tree()->model()), "/");
        QVERIFY(f.connect());
        freshRoot();
    }

    void add_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("selected");  // a directory, or file list rows after sorting down
        QTest::addColumn<QStringList>("queued");
        QTest::addColumn<QString>("banner");
        const QString all = "Added all songs from \"%1\" and all its subdirectories!";
        QTest::addRow("a directory, recursively") << "Music" << "Music/Rock" << f.server.mpc({"listall", "Music/Rock"}) << all.arg("Music/Rock");
        QTest::addRow("non-ASCII directory") << "Music/World" << "Music/World/坂本" << QStringList{"Music/World/坂本/音楽図鑑/01 森.flac"} << all.arg("Music/World/坂本");
        QTest::addRow("no directory selected") << "Misc" << "" << QStringList() << "";
        QTest::addRow("songs in selection order") << "Misc" << "2,0,3" << QStringList{"Misc/No Artist.flac", "Misc/No Title.flac", "Misc/No Album.flac"} << "Added 3 songs to playlist";
        QTest::addRow("a vanished directory") << "Misc" << "Misc/Gone" << QStringList() << "";
    }

    void add()
    {
        QFETCH(QString, opened); QFETCH(QString, selected); QFETCH(QString, banner);
        const QString gone = f.musicDir() + "/Misc/Gone";
        const auto removeGone = qScopeGuard([&] { QDir(gone).removeRecursively(); f.server.updateDatabase("Misc"); });
        const bool vanishes = selected.endsWith("Gone");
        if (vanishes)
            QVERIFY(QDir().mkpath(gone) && QFile::copy(f.musicDir() + "/Misc/No Tags.flac", gone + "/x.flac") && f.server.updateDatabase("Misc"));
        QVERIFY(openWindow());
        open(opened);
        if (vanishes)  // the tree still offers the directory the server has dropped
            QVERIFY(QDir(gone).removeRecursively() && f.server.updateDatabase("Misc"));
        tree()->clearSelection();
        const bool songs = selected.contains(',');
        QAbstractItemView *list = songs ? static_cast<QAbstractItemView *>(files()) : tree();
        files()->sortByColumn(0, Qt::DescendingOrder);  // view rows and song rows differ
        for (const QString &row : selected.split(',', Qt::SkipEmptyParts))
            list->selectionModel()->select(songs ? list->model()->index(row.toInt(), 0) : node(row), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        action(list, "&Add to playlist")->trigger();
        if (selected.isEmpty())
            action(tree(), "&Update folder")->trigger();
        QVERIFY(f.settle());
        QTEST(f.server.queue(), "queued");
        QVERIFY(banner.isEmpty() ? f.banners().filter("Added").isEmpty() : f.bannerShows(banner));
        QTRY_COMPARE_WITH_TIMEOUT(f.closer->texts.size(), qsizetype(vanishes), 5000);  // the refusal's
        expectedBoxes = f.closer->texts;
        QCOMPARE(f.server.statusValue("updating_db"), QString());
    }


private:
    bool openWindow() { return f.open() && (f.widget<QTabWidget>("tabWidget")->setCurrentWidget(f.widget("filebrowserTab")), f.connect()); }
    QTreeView *tree() const { return f.widget<QTreeView>("directoryTree"); }
    QTableView *files() const { return f.widget<QTableView>("fileList"); }

    QModelIndex node(const QString &path) const { return find(*tree()->model(), path); }
    void click(const QString &path)
    {
        const QModelIndex index = node(path);
        QVERIFY2(index.isValid(), qPrintable(path));
        tree()->scrollTo(index);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualRect(index).center());
        QVERIFY(f.settle());
    }

    // Clicks every directory from "/" down to path, as a user opening it would.
    void open(const QString &path)
    {
        const QStringList parts = path.split('/', Qt::SkipEmptyParts);
        for (int depth = 0; depth <= parts.size(); ++depth)
            click(depth ? parts.mid(0, depth).join('/') : "/");
    }

    WindowFixture f;
    QStringList expectedBoxes;
};

TUNELOOM_TEST_MAIN(TestFileBrowser)
#include "tst_filebrowser.moc"
