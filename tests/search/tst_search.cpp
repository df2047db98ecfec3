// The search fields against a real mpd: what the lists show, and what acting on them does.
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QAbstractItemView>
#include <QTabWidget>

static const QString granite = QStringLiteral("Music/Rock/Classic/The Stones Of Time/Granite/");
// Root Song, then the three songs of Granite.
static const QStringList q = {"Root Song.flac", granite + "01 First Stone.flac",
                              granite + "02 Second Stone.flac", granite + "03 Third Stone.flac"};

class TestSearch : public QObject
{
    Q_OBJECT
    QTemporaryDir musicDir;
    MpdFixture server;
    ModalCloser closer;
    std::unique_ptr<MainWindow> window;

    auto *view(const char *name) const { return window->findChild<QAbstractItemView *>(name); }
    QStringList rows(const char *name, bool selectedOnly = false, int role = Qt::DisplayRole) const
    {
        QStringList texts;
        for (int row = 0; row < view(name)->model()->rowCount(); ++row) {
            const QModelIndex index = view(name)->model()->index(row, 0);
            if (!selectedOnly || view(name)->selectionModel()->isSelected(index))
                texts << index.data(role).toString();
        }
        return texts;
    }
    void click(const char *name, const QString &text)
    {
        const QModelIndex index = view(name)->model()->index(rows(name).indexOf(text), 0);
        QTest::mouseClick(view(name)->viewport(), Qt::LeftButton, {},
                          view(name)->visualRect(index).center());
    }
    // Ctrl+F, then the text as real keys (Space is a window shortcut too), or Esc for none.
    void search(int tab, const QString &typed)
    {
        window->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(tab);
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        if (typed.isEmpty())
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        for (QChar c : typed)
            QTest::sendKeyEvent(
                    QTest::Click, QApplication::focusWidget(),
                    c.unicode() < 128 ? QTest::asciiToKey(c.toLatin1()) : Qt::Key_unknown, c, {});
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
    }
    void collectionLists_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("artists");
        QTest::addColumn<QStringList>("albums");
        const auto row
                = [](const char *name, const char *typed, QStringList artists, QStringList albums) {
                      QTest::addRow("%s", name) << QString::fromUtf8(typed) << artists << albums;
                  };
        row("accents", "bjork", {"Björk"}, {"Húsið"});
        row("case, two words", "MOTLEY crüe", {"Mötley Crüe"}, {"Loud Nights"});
        row("artist and album", "stones peb", {"The Stones Of Time"}, {"Pebbles"});
        row("title: only that song's artist", "dance", {"Abba"}, {"Greatest Hits"});
        row("file name", "title.flac", {"Loose Ends"}, {"Fragments"});
    }
    void collectionLists()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, artists);
        search(1, typed);  // the index is folded for the search while the lists show
        QTRY_COMPARE(rows("artistList"), artists);
        QTEST(rows("albumList"), "albums");
    }
    void addsWhatIsShownAndClearingKeepsSelection()
    {
        search(1, "second");
        QTRY_COMPARE(rows("artistList"), QStringList{"The Stones Of Time"});
        click("artistList", "The Stones Of Time");
        QCOMPARE(rows("albumList"), QStringList{"Granite"});
        click("albumList", "Granite");
        QCOMPARE(rows("trackList"), QStringList{"Second Stone"});
        view("artistList")->actions().constFirst()->trigger();
        view("albumList")->actions().constFirst()->trigger();
        QCOMPARE(queue(), QStringList(2, q[2]));
        click("trackList", "Second Stone");
        search(1, QString());
        QCOMPARE(rows("artistList", true), QStringList{"The Stones Of Time"});
        QCOMPARE(rows("albumList"), QStringList({"Granite", "Pebbles"}));
        QCOMPARE(rows("albumList", true), QStringList{"Granite"});
        QCOMPARE(rows("trackList", true), QStringList{"Second Stone"});
    }
    void queueActionsTakeRealPositions()
    {
        server.mpc(QStringList{"add"} + q);
        search(0, "stone");
        QAbstractItemView *table = view("playlistTableview");
        const auto select = [table](int row, int shown) {  // once the view shows the queue
            QTRY_COMPARE(table->model()->rowCount(), shown);
            table->setCurrentIndex(table->model()->index(row, 0));
        };
        select(1, 3);
        window->onPlaylistDoubleClick(table->currentIndex());
        QCOMPARE(server.statusValue("song"), "2");
        window->onCutSelected();
        QCOMPARE(queue(), QStringList({q[0], q[1], q[3]}));
        select(1, 2);
        window->onPasteSongs();
        QCOMPARE(queue(), QStringList({q[0], q[1], q[3], q[2]}));
        select(0, 3);
        window->onDeleteSelectedFromPlaylist();
        QCOMPARE(queue(), QStringList({q[0], q[3], q[2]}));
    }
};

TUNELOOM_TEST_MAIN(TestSearch)
#include "tst_search.moc"
