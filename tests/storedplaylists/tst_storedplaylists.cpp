// Stored playlists, drag and drop in the queue and "Play next", against a real mpd:
// every outcome is read back from the server's own lists.
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "queuemover.h"
#include "storedplayliststore.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QInputDialog>
#include <QListView>
#include <QTabWidget>
#include <QTableView>

using Status = StoredPlaylistStore::Status;

class TestStoredPlaylists : public QObject
{
    Q_OBJECT
    QTemporaryDir musicDir;
    MpdFixture server;
    QStringList library;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ModalCloser> closer;
    Qmpd *connection = nullptr;
    QTableView *view = nullptr;

    QStringList files(const QString &letters) const  // A is the library's first song
    {
        QStringList result;
        for (QChar letter : letters)
            result << library.at(letter.unicode() - 'A');
        return result;
    }
    QStringList queue() const { return server.mpc({"-f", "%file%", "playlist"}); }
    QStringList stored(const QString &name) const { return server.command("listplaylist " + name).replaceInStrings("file: ", ""); }
    void write(const QString &playlist, const QStringList &lines) const
    {
        QFile file(server.dir() + "/playlists/" + playlist + ".m3u");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines.join('\n').toUtf8() + '\n');
    }
    // Stored playlists keep (DE), other (A), partgone (D, a lost song, E), allgone; then the window.
    void prepare(const QString &queueLetters, int playing = -1)
    {
        QVERIFY(server.resetState());
        write("keep", files("DE")), write("other", files("A")), write("allgone", {"Gone/Away.flac"});
        write("partgone", QStringList{files("D").first(), "Gone/Away.flac", files("E").first()});
        server.mpc(QStringList{"add"} + files(queueLetters));
        QVERIFY(playing < 0 || server.send(QString("play %1").arg(playing)));
        window = std::make_unique<MainWindow>();
        connect(window.get(), &MainWindow::connectionReady, this, [this](Qmpd *ready) { connection = ready; });
        QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
        view = window->findChild<QTableView *>("playlistTableview");
    }
    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (const QModelIndex &index : view->selectionModel()->selectedRows())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    static void select(QAbstractItemView *list, const QList<int> &rows)
    {
        for (int row : rows)
            list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(TestLibrary::generate(musicDir.path()));
        QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
        library = server.mpc({"listall"});
    }
    void init()
    {
        closer = std::make_unique<ModalCloser>([](QDialog *dialog) {
            if (auto *input = qobject_cast<QInputDialog *>(dialog))
                input->setTextValue("typed"), input->accept();
        });
    }
    void cleanup()
    {
        window.reset();
        QCOMPARE(closer->texts.filter("MPD Error"), QStringList());  // a refused command ends the connection
    }

    void storeActions_data()
    {
        QTest::addColumn<QString>("action");  // "!": overwrite
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("names");  // sorted
        QTest::addColumn<QString>("keep");  // what "keep" holds afterwards
        QTest::addColumn<QString>("queue");
        const QString all = "allgone keep other partgone";
        QTest::addRow("save") << "save" << "mix" << "" << Status::Done << "allgone keep mix other partgone" << "DE" << "BC";
        QTest::addRow("save, empty name") << "save" << " " << "" << Status::BadName << all << "DE" << "BC";
        QTest::addRow("save, slash") << "save" << "a/b" << "" << Status::BadName << all << "DE" << "BC";
        QTest::addRow("save, name taken") << "save" << "keep" << "" << Status::NameTaken << all << "DE" << "BC";
        QTest::addRow("save, overwrite") << "save!" << "keep" << "" << Status::Done << all << "BC" << "BC";
        QTest::addRow("rename, line break") << "rename" << "other" << "a\nb" << Status::BadName << all << "DE" << "BC";
        QTest::addRow("rename, name taken") << "rename" << "other" << "keep" << Status::NameTaken << all << "DE" << "BC";
        QTest::addRow("rename, overwrite") << "rename!" << "other" << "keep" << Status::Done << "allgone keep partgone" << "A" << "BC";
        QTest::addRow("delete") << "delete" << "other" << "" << Status::Done << "allgone keep partgone" << "DE" << "BC";
        QTest::addRow("delete vanished") << "delete" << "gone" << "" << Status::Gone << all << "DE" << "BC";
        QTest::addRow("append, a song gone") << "append" << "partgone" << "" << Status::Done << all << "DE" << "BCDE";
        QTest::addRow("replace") << "replace" << "keep" << "" << Status::Done << all << "DE" << "DE";
        QTest::addRow("replace, every song gone") << "replace" << "allgone" << "" << Status::NothingLoaded << all << "DE" << "BC";
        QTest::addRow("replace vanished") << "replace" << "gone" << "" << Status::Gone << all << "DE" << "BC";
    }
    void storeActions()
    {
        QFETCH(QString, action); QFETCH(QString, name); QFETCH(QString, newName);
        QFETCH(Status, status); QFETCH(QString, names); QFETCH(QString, keep); QFETCH(QString, queue);
        prepare("BC");
        StoredPlaylistStore store;
        store.setConnection(connection);
        const bool overwrite = action.endsWith('!');
        action.remove('!');
        const StoredPlaylistStore::Outcome outcome = action == "save" ? store.saveQueue(name, overwrite)
                : action == "rename" ? store.rename(name, newName, overwrite) : action == "delete" ? store.remove(name)
                : action == "append" ? store.append(name) : store.replaceQueue(name);
        QCOMPARE(outcome.status, status);
        QVERIFY(!outcome.message.isEmpty());
        QStringList onServer = server.mpc({"lsplaylists"});
        onServer.sort();
        QCOMPARE(onServer, names.split(' '));
        QCOMPARE(stored("keep"), files(keep));
        QCOMPARE(this->queue(), files(queue));
    }

    void listFollowsServerAndCtrlSSaves()
    {
        prepare("AB");
        const QAbstractItemModel *list = window->findChild<QListView *>("storedPlaylistList")->model();
        QCOMPARE(list->rowCount(), 4);
        QVERIFY(server.send("save elsewhere"));
        QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), 5, 3000);
        QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QCOMPARE(stored("typed"), files("AB"));
        QCOMPARE(list->rowCount(), 6);
    }

    void dragAndDrop_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("before");  // 6: below the last row
        QTest::addColumn<QString>("order");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::addRow("one down") << QList<int>{1} << 4 << "ACDBEF" << QList<int>{3};
        QTest::addRow("two up") << QList<int>{4, 3} << 1 << "ADEBCF" << QList<int>{1, 2};
        QTest::addRow("scattered, to the end") << QList<int>{4, 0, 2} << 6 << "BDFACE" << QList<int>{3, 4, 5};
        QTest::addRow("around the target") << QList<int>{0, 5} << 3 << "BCAFDE" << QList<int>{2, 3};
        QTest::addRow("onto itself") << QList<int>{2, 3} << 3 << "ABCDEF" << QList<int>{2, 3};
    }
    void dragAndDrop()
    {
        QFETCH(QList<int>, selected); QFETCH(int, before); QFETCH(QString, order); QFETCH(QList<int>, selectedAfter);
        prepare("ABCDEF");
        select(view, selected);
        std::unique_ptr<QMimeData> mime(view->model()->mimeData(view->selectionModel()->selectedIndexes()));
        const QRect row = view->visualRect(view->model()->index(std::min(before, 5), 0));
        QDropEvent drop(before < 6 ? row.topLeft() + QPoint(5, 2) : row.bottomLeft() + QPoint(5, 8), Qt::CopyAction,
                        mime.get(), Qt::LeftButton, Qt::NoModifier);
        // The viewport's drop handler, as a drag ends on it (QApplication passes no made-up drop on).
        QVERIFY(static_cast<QObject *>(window->findChild<QueueMover *>())->eventFilter(view->viewport(), &drop));
        QCOMPARE(queue(), files(order));
        QTRY_COMPARE_WITH_TIMEOUT(selectedRows(), selectedAfter, 3000);
    }

    void playNext_data()
    {
        QTest::addColumn<int>("playing");
        QTest::addColumn<bool>("fromCollection");  // else the queue's rows 4 and 0
        QTest::addColumn<QString>("order");
        QTest::addRow("queue rows, playing") << 2 << false << "BCAEDF";
        QTest::addRow("queue rows, stopped") << -1 << false << "BCDFAE";
        QTest::addRow("an artist, playing") << 2 << true << "ABCPQDEF";
        QTest::addRow("an artist, stopped") << -1 << true << "ABCDEFPQ";
    }
    void playNext()
    {
        QFETCH(int, playing); QFETCH(bool, fromCollection); QFETCH(QString, order);
        prepare("ABCDEF", playing);
        auto *list = window->findChild<QListView *>("artistList");
        QAbstractItemView *source = fromCollection ? static_cast<QAbstractItemView *>(list) : view;
        select(source, fromCollection ? QList<int>{int(list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, "Bright Signal").first().row())} : QList<int>{4, 0});
        window->findChild<QTabWidget *>("tabWidget")->setCurrentWidget(source->parentWidget());
        source->setFocus();
        QTest::keyClick(source, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(queue(), files(order));
    }
};

TUNELOOM_TEST_MAIN(TestStoredPlaylists)
#include "tst_storedplaylists.moc"
