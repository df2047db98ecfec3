// Stored playlists, drag and drop and "Play next" on a real mpd, read back from its own lists.
#include "playlist/queuemover.h"
#include "storedplaylists/storedplayliststore.h"
#include "testmain.h"
#include "windowfixture.h"

#include "core/qmpd.h"

#include <QInputDialog>
#include <QTabWidget>
#include <QTableView>

using Status = StoredPlaylistStore::Status;
using Rows = QList<int>;

class TestStoredPlaylists : public QObject
{
    Q_OBJECT
    WindowFixture f;
    const MpdFixture &server = f.server;
    QStringList library;
    QTableView *view = nullptr;

    // Songs by letter: A is the library's first song.
    QStringList files(const QString &letters) const { QStringList songs; for (QChar letter : letters) songs << library.at(letter.unicode() - 'A'); return songs; }
    // Stored: keep (DE), other (A), partgone (D, a song gone, E), allgone (a song gone). Then the window.
    void prepare(const QString &queueLetters, int playing = -1)
    {
        // A name asked for is "typed"; a command the server refused would show an error box.
        QVERIFY(f.open([](QDialog *box) { qobject_cast<QInputDialog *>(box)->setTextValue("typed"), box->accept(); }));
        for (const auto &[name, content] : {std::pair{"keep", files("DE")}, {"other", files("A")},
                                            {"partgone", files("D") << "Gone/Away.flac" << files("E")}, {"allgone", {"Gone/Away.flac"}}}) {
            QFile file(server.dir() + "/playlists/" + name + ".m3u");
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content.join('\n').toUtf8()) > 0);
        }
        QVERIFY(server.add(files(queueLetters)) && (playing < 0 || server.send(QString("play %1").arg(playing))));
        QVERIFY(f.connect());
        view = f.widget<QTableView>("playlistTableview");
    }
    Rows selectedRows(QAbstractItemView *list, const Rows &select = {}) const  // after selecting those
    {
        for (int row : select) list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Rows rows;
        for (const QModelIndex &index : list->selectionModel()->selectedRows()) rows << index.row();
        return std::sort(rows.begin(), rows.end()), rows;
    }

private slots:
    void initTestCase() { QVERIFY(f.startServer()); library = server.mpc({"listall"}); }
    void cleanup() { QCOMPARE(f.close().filter("MPD Error"), QStringList()); }

    void storeActions_data()
    {
        for (const char *column : {"action", "name", "newName", "names", "keep", "queueAfter"})  // action!: overwrite
            QTest::addColumn<QString>(column);
        QTest::addColumn<Status>("status");
        const QString all = "allgone keep other partgone";
        QTest::addRow("Ctrl+S, a name typed") << "keys" << "" << "" << "allgone keep other partgone typed" << "DE" << "BC" << Status::Done;
        QTest::addRow("save") << "save" << "mix" << "" << "allgone keep mix other partgone" << "DE" << "BC" << Status::Done;
        QTest::addRow("save, empty name") << "save" << " " << "" << all << "DE" << "BC" << Status::BadName;
        QTest::addRow("save, slash") << "save" << "a/b" << "" << all << "DE" << "BC" << Status::BadName;
        QTest::addRow("save, name taken") << "save" << "keep" << "" << all << "DE" << "BC" << Status::NameTaken;
        QTest::addRow("save, overwrite") << "save!" << "keep" << "" << all << "BC" << "BC" << Status::Done;
        QTest::addRow("rename, line break") << "rename" << "other" << "a\nb" << all << "DE" << "BC" << Status::BadName;
        QTest::addRow("rename, overwrite") << "rename!" << "other" << "keep" << "allgone keep partgone" << "A" << "BC" << Status::Done;
        QTest::addRow("delete") << "delete" << "other" << "" << "allgone keep partgone" << "DE" << "BC" << Status::Done;
        QTest::addRow("append, a song gone") << "append" << "partgone" << "" << all << "DE" << "BCDE" << Status::Done;
        QTest::addRow("replace") << "replace" << "keep" << "" << all << "DE" << "DE" << Status::Done;
        QTest::addRow("replace, every song gone") << "replace" << "allgone" << "" << all << "DE" << "BC" << Status::NothingLoaded;
        QTest::addRow("replace vanished") << "replace" << "gone" << "" << all << "DE" << "BC" << Status::Gone;
    }
    void storeActions()
    {
        QFETCH(QString, action); QFETCH(QString, name); QFETCH(QString, newName); QFETCH(QString, names); QFETCH(QString, keep); QFETCH(QString, queueAfter);
        prepare("BC");
        const bool overwrite = action.endsWith('!');
        std::optional<StoredPlaylistStore::Outcome> outcome;
        if (action == "keys") {
            QTest::keySequence(f.window.get(), QKeySequence(Qt::CTRL | Qt::Key_S));
            outcome = StoredPlaylistStore::Outcome{Status::Done, {}};
        } else {  // on the window's connection, as the tab runs them
            WindowTesting::connection(f.window.get())->ask(this, [=](Qmpd &server) {
                return action.startsWith("save") ? StoredPlaylistStore::saveQueue(server, name, overwrite)
                        : action.startsWith("rename") ? StoredPlaylistStore::rename(server, name, newName, overwrite)
                        : action == "delete" ? StoredPlaylistStore::remove(server, name)
                        : action == "append" ? StoredPlaylistStore::append(server, name) : StoredPlaylistStore::replaceQueue(server, name);
            }, [&outcome](const StoredPlaylistStore::Outcome &done) { outcome = done; });
        }
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 5000);
        QVERIFY(f.settle());
        QTEST(outcome->status, "status");
        QStringList onServer = server.mpc({"lsplaylists"});
        QCOMPARE((onServer.sort(), onServer), names.split(' '));
        QCOMPARE(server.command("listplaylist keep").replaceInStrings("file: ", ""), files(keep));  // nothing lost unless asked for
        QCOMPARE(server.queue(), files(queueAfter));
        // The tab hears of every change through the server, as of another client's.
        QTRY_COMPARE_WITH_TIMEOUT(f.rows("storedPlaylistList").join(' '), names, 3000);
    }

    void arrangeQueue_data()
    {
        QTest::addColumn<QString>("gesture");  // a drop on the queue, or Play next from the queue or an artist
        QTest::addColumn<Rows>("selected");
        QTest::addColumn<int>("at");  // drop: in front of that row (6: below the last); play next: the playing row
        QTest::addColumn<QString>("order");
        QTest::addColumn<Rows>("selectedAfter");
        QTest::addRow("drop one down") << "drop" << Rows{1} << 4 << "ACDBEF" << Rows{3};
        QTest::addRow("drop two up") << "drop" << Rows{4, 3} << 1 << "ADEBCF" << Rows{1, 2};
        QTest::addRow("drop scattered at the end") << "drop" << Rows{4, 0, 2} << 6 << "BDFACE" << Rows{3, 4, 5};
        QTest::addRow("drop around the target") << "drop" << Rows{0, 5} << 3 << "BCAFDE" << Rows{2, 3};
        QTest::addRow("queue rows next, playing") << "queue" << Rows{4, 0} << 2 << "BCAEDF" << Rows{2, 3};
        QTest::addRow("queue rows next, stopped") << "queue" << Rows{4, 0} << -1 << "BCDFAE" << Rows{4, 5};
        QTest::addRow("artist next, playing") << "artist" << Rows{} << 2 << "ABCPQDEF" << Rows{};
        QTest::addRow("artist next, stopped") << "artist" << Rows{} << -1 << "ABCDEFPQ" << Rows{};
    }
    void arrangeQueue()
    {
        QFETCH(QString, gesture); QFETCH(Rows, selected); QFETCH(int, at); QFETCH(QString, order); QFETCH(Rows, selectedAfter);
        prepare("ABCDEF", gesture == "drop" ? -1 : at);
        auto *source = gesture == "artist" ? f.widget<QAbstractItemView>("artistList") : view;
        if (gesture == "artist")
            selected = {int(f.rows("artistList").indexOf("Bright Signal"))};
        selectedRows(source, selected);
        if (gesture == "drop") {
            std::unique_ptr<QMimeData> mime(view->model()->mimeData(view->selectionModel()->selectedIndexes()));
            const QRect row = view->visualRect(view->model()->index(std::min(at, 5), 0));
            QDropEvent drop(at < 6 ? row.topLeft() + QPoint(5, 2) : row.bottomLeft() + QPoint(5, 8), Qt::CopyAction,
                            mime.get(), Qt::LeftButton, Qt::NoModifier);
            // The viewport's drop handler, as a drag ends on it (QApplication passes no made-up drop on).
            QVERIFY(static_cast<QObject *>(f.window->findChild<QueueMover *>())->eventFilter(view->viewport(), &drop));
        } else {
            f.widget<QTabWidget>("tabWidget")->setCurrentWidget(source->parentWidget());
            source->setFocus();
            QTest::keyClick(source, Qt::Key_Return, Qt::ControlModifier);
        }
        QVERIFY(f.settle());
        QCOMPARE(server.queue(), files(order));
        QTRY_COMPARE_WITH_TIMEOUT(selectedRows(view), selectedAfter, 3000);
    }
};

TUNELOOM_TEST_MAIN(TestStoredPlaylists)
#include "tst_storedplaylists.moc"
