#include "collectionbuilder.h"
#include "mpdfixture.h"
#include "songdecoder.h"
#include "testlibrary.h"
#include "testmain.h"

#include <QSignalSpy>

#include <libmpd/libmpd.h>

namespace {

// Repeated, missing and zero values, as a real library has them.
const char directoryOfOddSongs[]
        = "directory: D\nmtime: 1600000000\nbegin: D\n"
          "song_begin: guests.flac\nTime: 61.400000\nArtist: Main\nArtist: Guest\nArtist: Ärtist\n"
          "Album: First\nAlbum: Second\nTitle: One\nTitle: Two\nTrack: 3\nTrack: 4/12\n"
          "Date: 2001\nDate: 2002\nmtime: 1600000000\nsong_end\n"
          "song_begin: untimed.flac\nArtist: Only\nmtime: 1600000000\nsong_end\n"
          "song_begin: zero.flac\nTime: 0.000000\nmtime: 1600000000\nsong_end\nend: D\n";

QString songText(const QmpdSong &song)
{
    return QStringList{QString::number(song.id),
                       QString::number(song.time),
                       song.artist,
                       song.title,
                       song.track,
                       song.file,
                       song.date,
                       song.album}
            .join('|');
}

}  // namespace

class TestListing : public QObject
{
    Q_OBJECT
private slots:
    void songsDecodeAsLibmpdListsThem();
};

void TestListing::songsDecodeAsLibmpdListsThem()
{
    QTemporaryDir dir;
    QFile db(dir.filePath("odd.db"));
    QVERIFY(db.open(QIODevice::WriteOnly));
    db.write(TestLibrary::databaseHeader() + directoryOfOddSongs);
    db.close();
    MpdFixture::Options options;
    options.databaseFile = db.fileName();
    MpdFixture server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    CollectionBuilder builder;
    QSignalSpy finished(&builder, &CollectionBuilder::finished);
    builder.setServer(server.host(), server.port(), QString());
    builder.setForceFromMPD(true);
    builder.start();
    QVERIFY(finished.wait(10000) && builder.wait(5000) && !builder.lastBuildFailed());
    QStringList built;
    for (const QmpdSong &song : builder.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING))
        built << songText(song);

    std::unique_ptr<MpdObj, void (*)(MpdObj *)> mpd(
            mpd_new(server.host().toLatin1().data(), server.port(), nullptr), mpd_free);
    QCOMPARE(mpd_connect(mpd.get()), MPD_OK);
    SongDecoder decoder;
    QStringList listed;
    for (MpdData *entry = mpd_database_get_complete(mpd.get()); entry;
         entry = mpd_data_get_next(entry))
        listed << songText(decoder.decode(*entry->song));
    QCOMPARE(built, listed);
    QCOMPARE(listed.size(), 3);
}

TUNELOOM_TEST_MAIN(TestListing)
#include "tst_listing.moc"
