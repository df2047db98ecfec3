// Odd tags and file names served by a real mpd: the collection index, its cache and the
// window's views must agree on them.
#include "tst_badinput.h"

#include "badbytes.h"
#include "collectionbuilder.h"
#include "collectioncache.h"
#include "mainwindow.h"
#include "modalcloser.h"
#include "windowtesting.h"

#include <QDateTime>
#include <QListView>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

namespace {

const QByteArray longValue(10000, 'L');

// What each song was given, and what mpd 0.23 serves for it: control characters become
// spaces, most invalid UTF-8 bytes a "?", empty and blank tags are left out. File names
// are served as stored, so tabs, carriage returns and invalid UTF-8 arrive there.
QList<BadBytes::RawSong> rawSongs()
{
    return {
            {"long.flac", {{"Artist", longValue}, {"Album", longValue}, {"Title", longValue}}},
            {"invalid.flac",
             {{"Artist", "Bad \xff\xfe"},
              {"Album", "\xc3("},
              {"Title", "x\xed\xa0\x80"},
              {"Date",
               "\xff"
               "1999"},
              {"Track", "\xe9 7"}}},
            {"empty.flac", {{"Artist", ""}, {"Album", ""}, {"Title", ""}}},
            {"blank.flac", {{"Artist", "   "}, {"Album", "Blank"}}},
            {"control.flac",
             {{"Artist", "Tab\there"}, {"Album", "CR\rhere"}, {"Title", "E\x1b[1m"}}},
            {"tab\tand\rCR.flac", {{"Artist", "Odd Names"}, {"Title", "t1"}}},
            {QByteArray(5000, 'n') + ".flac", {{"Artist", "Odd Names"}, {"Title", "t2"}}},
            {"bad\xffname.flac", {{"Artist", "Odd Names"}, {"Title", "t3"}}},
    };
}

struct Served
{
    QString file, artist, album, title;
};

QList<Served> servedSongs()
{
    const QString longText = QString::fromLatin1(longValue);
    return {{"D/long.flac", longText, longText, longText},
            // mpd lets UTF-8-encoded surrogates through; they decode to replacement characters.
            {"D/invalid.flac", "Bad ??", "?(", "x" + QString(3, QChar::ReplacementCharacter)},
            {"D/empty.flac", "", "", ""},
            {"D/blank.flac", "", "Blank", ""},
            {"D/control.flac", "Tab here", "CR here", "E [1m"},
            {"D/tab\tand\rCR.flac", "Odd Names", "", "t1"},
            {"D/" + QString(5000, 'n') + ".flac", "Odd Names", "", "t2"},
            {"D/bad" + QString(QChar::ReplacementCharacter) + "name.flac", "Odd Names", "", "t3"}};
}

bool build(CollectionBuilder &builder, bool force)
{
    QSignalSpy finished(&builder, &CollectionBuilder::finished);
    builder.setForceFromMPD(force);
    builder.start();
    return finished.wait(20000) && builder.wait(5000) && !builder.lastBuildFailed();
}

// The whole index as one comparable text: artists, albums, and each pair's songs.
QStringList indexText(const CollectionBuilder &builder)
{
    QStringList text = builder.getArtists();
    text << builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING);
    for (const QString &artist : builder.getArtists()) {
        for (const QString &album : builder.getAlbums(artist)) {
            for (const QmpdSong &song : builder.getSongs(artist, album)) {
                text << QStringList({artist, album, song.title, song.file, song.track, song.date,
                                     QString::number(song.time)})
                                .join(QLatin1Char('|'));
            }
        }
    }
    return text;
}

QStringList rows(const QAbstractItemModel *model)
{
    QStringList texts;
    for (int row = 0; model && row < model->rowCount(); ++row)
        texts << model->index(row, 0).data().toString();
    return texts;
}

void clickRow(QListView *view, const QString &text)
{
    const QModelIndex index = view->model()->index(rows(view->model()).indexOf(text), 0);
    view->setCurrentIndex(index);
    emit view->clicked(index);
}

}  // namespace

void TestBadInput::serverTagsStayConsistent()
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("odd.db"));
    QVERIFY(BadBytes::writeDatabase(db, rawSongs()));
    MpdFixture::Options options;
    options.databaseFile = db;
    MpdFixture mpd(options);
    QVERIFY2(mpd.start(), qPrintable(mpd.errorString()));

    // Built from the server: every song, as mpd serves it.
    CollectionBuilder builder;
    builder.setServer(mpd.host(), mpd.port(), QString());
    QVERIFY(build(builder, true));
    const QList<QmpdSong> songs = builder.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING);
    const QList<Served> served = servedSongs();
    QCOMPARE(songs.size(), served.size());
    for (const Served &expected : served) {
        const auto song = std::find_if(songs.cbegin(), songs.cend(),
                                       [&](const QmpdSong &s) { return s.file == expected.file; });
        QVERIFY2(song != songs.cend(), qPrintable(expected.file.left(40)));
        QCOMPARE(song->artist, expected.artist);
        QCOMPARE(song->album, expected.album);
        QCOMPARE(song->title, expected.title);
    }
    const QStringList fromServer = indexText(builder);

    // Loaded from the cache: the same index. A future time on the .songs file keeps it
    // fresh, and that it is not rewritten shows the build read it.
    const QString songsFile = CollectionCache(mpd.host()).filePath(CollectionCache::Songs);
    const QDateTime future = QDateTime::currentDateTime().addSecs(3600);
    {
        QFile file(songsFile);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(future, QFileDevice::FileModificationTime));
    }
    QVERIFY(build(builder, false));
    QCOMPARE(QFileInfo(songsFile).lastModified().toSecsSinceEpoch(), future.toSecsSinceEpoch());
    QCOMPARE(indexText(builder), fromServer);

    // The window shows the same lists, and its playlist the server's.
    const ModalCloser closer;
    MainWindow window;
    QVERIFY(WindowTesting::connectAndWaitForCollection(&window, mpd.host(), mpd.port()));
    auto *artistList = window.findChild<QListView *>(QStringLiteral("artistList"));
    auto *albumList = window.findChild<QListView *>(QStringLiteral("albumList"));
    auto *trackList = window.findChild<QListView *>(QStringLiteral("trackList"));
    QCOMPARE(rows(artistList->model()), builder.getArtists());
    QCOMPARE(rows(albumList->model()), builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING));
    clickRow(artistList, QString::fromLatin1(longValue));
    QCOMPARE(rows(albumList->model()), QStringList(QString::fromLatin1(longValue)));
    clickRow(albumList, QString::fromLatin1(longValue));
    QCOMPARE(rows(trackList->model()), QStringList(QString::fromLatin1(longValue)));
    clickRow(artistList, QStringLiteral("Odd Names"));
    clickRow(albumList, QString());
    QCOMPARE(rows(trackList->model()), QStringList({"t1", "t2", "t3"}));

    // The view's model is replaced as the playlist changes: ask for it each time.
    const auto *playlistView = window.findChild<QTableView *>(QStringLiteral("playlistTableview"));
    const auto playlistRows = [playlistView] { return playlistView->model()->rowCount(); };
    mpd.mpc({QStringLiteral("add"), QStringLiteral("D")});
    QTRY_COMPARE_WITH_TIMEOUT(playlistRows(), served.size(), 5000);
    // A playlist emptied by another client empties the view too.
    mpd.mpc({QStringLiteral("clear")});
    QTRY_COMPARE_WITH_TIMEOUT(playlistRows(), 0, 5000);
    QVERIFY(closer.texts.isEmpty());
}
