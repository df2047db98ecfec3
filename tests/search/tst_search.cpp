// The search fields against a real mpd: what the lists show, and what acting on them does.
#include "testmain.h"
#include "windowfixture.h"

#include "playlist/playlistcontroller.h"

#include <QTabWidget>

static const QString granite = QStringLiteral("Music/Rock/Classic/The Stones Of Time/Granite/");
static const QStringList q = {"Root Song.flac", granite + "01 First Stone.flac",
                              granite + "02 Second Stone.flac", granite + "03 Third Stone.flac"};

class TestSearch : public QObject
{
    Q_OBJECT
    WindowFixture f;

    QString selected(const char *view) const  // the one selected row
    {
        const auto rows = f.widget<QAbstractItemView>(view)->selectionModel()->selectedIndexes();
        return rows.size() == 1 ? rows[0].data().toString() : QString();
    }
    // Ctrl+F, then the text as real keys (Space is a window shortcut too), or Esc for none.
    void search(int tab, const QString &typed)
    {
        f.widget<QTabWidget>("tabWidget")->setCurrentIndex(tab);
        QTest::keyClick(f.window.get(), Qt::Key_F, Qt::ControlModifier);
        if (typed.isEmpty())
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        for (QChar c : typed)
            QTest::sendKeyEvent(
                    QTest::Click, QApplication::focusWidget(),
                    c.unicode() < 128 ? QTest::asciiToKey(c.toLatin1()) : Qt::Key_unknown, c, {});
    }

private slots:
    void initTestCase() { QVERIFY2(f.startServer(), qPrintable(f.server.errorString())); }
    void init() { QVERIFY(f.open() && f.connect()); }

    void collectionLists_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");  // artists|albums
        const auto row = [](const char *name, const char *typed, const char *shown) {
            QTest::addRow("%s", name) << QString(typed) << QString(shown);
        };
        row("accents", "bjork", "Björk|Húsið");
        row("case, two words", "MOTLEY crüe", "Mötley Crüe|Loud Nights");
        row("artist and album", "stones peb", "The Stones Of Time|Pebbles");
        row("title: only that song's artist", "dance", "Abba|Greatest Hits");
        row("file name", "title.flac", "Loose Ends|Fragments");
    }
    void collectionLists()
    {
        QFETCH(QString, typed); QFETCH(QString, shown);
        search(1, typed);  // the index is folded for the search while the lists show
        QTRY_COMPARE(f.rows("artistList").join(',') + '|' + f.rows("albumList").join(','), shown);
    }
    void addsWhatIsShownAndClearingKeepsSelection()
    {
        search(1, "second");
        QTRY_COMPARE(f.rows("artistList"), QStringList{"The Stones Of Time"});
        QVERIFY(f.click("artistList", "The Stones Of Time"));
        QVERIFY(f.click("albumList", "Granite"));
        QCOMPARE(f.rows("trackList"), QStringList{"Second Stone"});
        for (const char *list : {"artistList", "albumList"})  // their add actions
            f.widget(list)->actions().constFirst()->trigger();
        QVERIFY(f.settle());
        QCOMPARE(f.server.queue(), QStringList(2, q[2]));
        QVERIFY(f.click("trackList", "Second Stone"));
        search(1, QString());
        QCOMPARE(f.rows("albumList"), QStringList({"Granite", "Pebbles"}));
        QCOMPARE(selected("artistList") + '/' + selected("albumList") + '/' + selected("trackList"),
                 "The Stones Of Time/Granite/Second Stone");
    }
    void queueActionsTakeRealPositions()
    {
        QVERIFY(f.server.add(q));
        search(0, "stone");
        auto *table = f.widget<QAbstractItemView>("playlistTableview");
        const auto select = [table](int row, int shown) {  // once the view shows the queue
            QTRY_COMPARE(table->model()->rowCount(), shown);
            table->setCurrentIndex(table->model()->index(row, 0));
        };
        auto *playlist = f.window->findChild<PlaylistController *>();
        select(1, 3);
        playlist->onDoubleClick(table->currentIndex());
        QVERIFY(f.settle());
        QCOMPARE(f.server.statusValue("song"), "2");
        playlist->onCutSelected();
        QVERIFY(f.settle());
        QCOMPARE(f.server.queue(), QStringList({q[0], q[1], q[3]}));
        select(1, 2);
        playlist->onPasteSongs();
        QVERIFY(f.settle());
        QCOMPARE(f.server.queue(), QStringList({q[0], q[1], q[3], q[2]}));
        select(0, 3);
        playlist->onDeleteSelected();
        QVERIFY(f.settle());
        QCOMPARE(f.server.queue(), QStringList({q[0], q[3], q[2]}));
    }
};

TUNELOOM_TEST_MAIN(TestSearch)
#include "tst_search.moc"
