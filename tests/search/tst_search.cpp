// The search fields against a real mpd: what the collection's lists and the
// playlist view show as the user types, and what adding, playing, removing and
// cutting then do on the server.
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QLineEdit>
#include <QListView>
#include <QTabWidget>
#include <QTableView>

namespace {
const QString granite = QStringLiteral("Music/Rock/Classic/The Stones Of Time/Granite/");
const QStringList queued = {"Root Song.flac", granite + "01 First Stone.flac",
                            granite + "02 Second Stone.flac", granite + "03 Third Stone.flac"};
}  // namespace

class TestSearch : public QObject
{
    Q_OBJECT
    QTemporaryDir musicDir;
    MpdFixture server;
    ModalCloser closer;
    std::unique_ptr<MainWindow> window;

    template<typename View = QListView> View *find(const char *name) const
    {
        return window->findChild<View *>(name);
    }
    QStringList rows(const char *view, bool selectedOnly = false, int role = Qt::DisplayRole) const
    {
        const QAbstractItemView *list = find<QAbstractItemView>(view);
        QStringList texts;
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const QModelIndex index = list->model()->index(row, 0);
            if (!selectedOnly || list->selectionModel()->isSelected(index))
                texts << index.data(role).toString();
        }
        return texts;
    }
    void click(const char *view, const QString &text)
    {
        QAbstractItemView *list = find<QAbstractItemView>(view);
        const QRect rect = list->visualRect(list->model()->index(rows(view).indexOf(text), 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    void search(int tab, const QString &typed)
    {
        find<QTabWidget>("tabWidget")->setCurrentIndex(tab);
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        for (QChar c : typed)  // keyClicks takes ASCII only
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, c, {});
    }
    QStringList queue() const { return server.mpc({"-f", "%file%", "playlist"}); }

private slots:
    void initTestCase()
    {
        QVERIFY(TestLibrary::generate(musicDir.path()));
        QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
    }
    void init()
    {
        QVERIFY(server.resetState());
        window = std::make_unique<MainWindow>();
        QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(),
                                                           server.port()));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void collectionLists_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("artists");
        QTest::addColumn<QStringList>("albums");
        QTest::addRow("accents") << "bjork" << QStringList{"Björk"} << QStringList{"Húsið"};
        QTest::addRow("case, two words")
                << "MOTLEY crüe" << QStringList{"Mötley Crüe"} << QStringList{"Loud Nights"};
        QTest::addRow("artist and album")
                << "stones peb" << QStringList{"The Stones Of Time"} << QStringList{"Pebbles"};
        QTest::addRow("title: only that album's artist")
                << "dance" << QStringList{"Abba"} << QStringList{"Greatest Hits"};
        QTest::addRow("file name") << "title.flac" << QStringList{"Loose Ends"}
                                   << QStringList{"Fragments"};
        QTest::addRow("every word") << "bjork crue" << QStringList() << QStringList();
    }
    void collectionLists()
    {
        QFETCH(QString, typed);
        search(1, typed);
        QTEST(rows("artistList"), "artists");
        QTEST(rows("albumList"), "albums");
    }
    void addsWhatIsShownAndClearingKeepsSelection()
    {
        search(1, "second");
        click("artistList", "The Stones Of Time");
        QCOMPARE(rows("albumList"), QStringList{"Granite"});
        click("albumList", "Granite");
        QCOMPARE(rows("trackList"), QStringList{"Second Stone"});
        find<QListView>("artistList")->actions().constFirst()->trigger();
        find<QListView>("albumList")->actions().constFirst()->trigger();
        QCOMPARE(queue(), QStringList(2, queued.at(2)));
        click("trackList", "Second Stone");
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(find<QLineEdit>("collectionFilter")->text(), QString());
        QCOMPARE(rows("artistList").size(), 12);
        QCOMPARE(rows("artistList", true), QStringList{"The Stones Of Time"});
        QCOMPARE(rows("albumList"), QStringList({"Granite", "Pebbles"}));
        QCOMPARE(rows("albumList", true), QStringList{"Granite"});
        QCOMPARE(rows("trackList", true), QStringList{"Second Stone"});
    }
    void queueActsOnRealPositions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("playing");
        QTest::addRow("play") << "play" << queued << "2";
        QTest::addRow("remove") << "remove"
                                << QStringList{queued.at(0), queued.at(1), queued.at(3)} << "";
        QTest::addRow("cut, paste after the last shown")
                << "cut" << QStringList{queued.at(0), queued.at(1), queued.at(3), queued.at(2)}
                << "";
    }
    void queueActsOnRealPositions()
    {
        QFETCH(QString, action);
        server.mpc(QStringList{"add"} + queued);
        auto *view = find<QTableView>("playlistTableview");
        QTRY_COMPARE(rows("playlistTableview", false, Qt::UserRole), queued);
        search(0, "stone");
        view->selectRow(1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(rows("playlistTableview", true, Qt::UserRole), QStringList{queued.at(2)});
        search(0, "stone");
        QCOMPARE(rows("playlistTableview", true, Qt::UserRole), QStringList{queued.at(2)});
        if (action == "play")
            window->onPlaylistDoubleClick(view->model()->index(1, 0));
        if (action == "remove")
            window->onDeleteSelectedFromPlaylist();
        if (action == "cut") {
            window->onCutSelected();
            QTRY_COMPARE(rows("playlistTableview").size(), 2);
            view->selectRow(1);
            window->onPasteSongs();
        }
        QTEST(queue(), "expected");
        QTEST(server.statusValue("song"), "playing");
    }
};

TUNELOOM_TEST_MAIN(TestSearch)
#include "tst_search.moc"
