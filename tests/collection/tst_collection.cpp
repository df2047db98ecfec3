#include "collectionbuilder.h"
#include "collectioncache.h"
#include "collectioncachewriter.h"
#include "collectionwindowtests.h"
#include "listingpipe.h"
#include "mpdfixture.h"
#include "playlistadder.h"
#include "qmpd.h"
#include "testlibrary.h"
#include "testmain.h"
#include "treedatabase.h"

#include <QSignalSpy>

#include <libmpd/libmpd.h>
// For empty libmpd lists without a server; this header lacks C linkage of its own.
extern "C" {
#include <libmpd/libmpd-internal.h>
}

#include <atomic>
#include <memory>

namespace {

const QString host = QStringLiteral("127.0.0.1");
const CollectionCache::File allFiles[] = {CollectionCache::Artists, CollectionCache::Albums,
                                          CollectionCache::ArtistAlbums, CollectionCache::Songs};

// One build, waited for (bounded): the builder's own finished(), then the thread's end.
bool build(CollectionBuilder &builder, int port, bool force, const QString &password = {},
           const QString &hostName = host)
{
    QSignalSpy finished(&builder, &CollectionBuilder::finished);
    builder.setServer(hostName, port, password);
    builder.setForceFromMPD(force);
    builder.start();
    return finished.wait(60000) && builder.wait(5000) && finished.size() == 1;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The four files of a host, labelled, for comparing whole cache states.
QByteArray cacheBytes(const QString &hostName = host)
{
    const CollectionCache cache(hostName);
    QByteArray all;
    for (CollectionCache::File file : allFiles)
        all += "== " + cache.filePath(file).toUtf8() + '\n' + fileBytes(cache.filePath(file));
    return all;
}

QString songText(const QmpdSong &song)
{
    return QStringList{QString::number(song.id),
                       QString::number(song.time),
                       song.artist,
                       song.title,
                       song.track,
                       song.file,
                       song.date,
                       song.album,
                       song.timeText}
            .join('|');
}

// Everything the queries answer, as text: equal texts mean equal indexes.
template<typename Index> QString describe(const Index &builder)
{
    QStringList lines = {"artists: " + builder.getArtists().join('|'),
                         "albums: " + builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING).join('|')};
    for (const QString &artist : builder.getArtists()) {
        lines << "artist " + artist + ": " + builder.getAlbums(artist).join('|');
        for (const QString &album : builder.getAlbums(artist)) {
            for (const QmpdSong &song : builder.getSongs(artist, album))
                lines << "  " + songText(song);
        }
    }
    for (const QmpdSong &song : builder.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING))
        lines << "all " + songText(song);
    return lines.join('\n');
}

QStringList filesOf(const QList<QmpdSong> &songs)
{
    QStringList files;
    for (const QmpdSong &song : songs)
        files << song.file;
    return files;
}

quint32 databaseUpdateTime(const MpdFixture &server)
{
    for (const QString &line : server.command("stats")) {
        if (line.startsWith("db_update: "))
            return line.mid(11).toUInt();
    }
    return 0;
}

bool setSongsFileTime(const QString &hostName, qint64 secondsSinceEpoch)
{
    QFile songs(CollectionCache(hostName).filePath(CollectionCache::Songs));
    return songs.open(QIODevice::ReadWrite)
            && songs.setFileTime(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch),
                                 QFileDevice::FileModificationTime);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(bytes) == bytes.size();
}

std::unique_ptr<MpdFixture> startServer(const MpdFixture::Options &options,
                                        const QString &musicDir = QString())
{
    auto server = std::make_unique<MpdFixture>(options);
    if (!server->start(musicDir))
        qWarning().noquote() << "mpd did not start:" << server->errorString();
    return server;
}

std::unique_ptr<MpdFixture> startOnDatabase(const QString &dbPath, int maxOutputBufferKiB = 0)
{
    MpdFixture::Options options;
    options.databaseFile = dbPath;
    options.maxOutputBufferKiB = maxOutputBufferKiB;
    return startServer(options);
}

// Songs at every depth: the root, directories with songs and subdirectories,
// and many small leaves, so that no single directory is big but the whole is.
QList<TreeSong> mixedTree()
{
    QList<TreeSong> songs;
    auto add = [&](const QString &uri, const QString &artist, const QString &album) {
        const int n = songs.size();
        songs.append({uri, artist, album, n % 13 == 4 ? QString() : "Title " + QString::number(n),
                      n % 10 + 1, 60 + n % 300});
    };
    for (int i = 0; i < 3; ++i)
        add(QString("Loose %1.flac").arg(i), "Loose", i == 2 ? QString() : "Loose Ends");
    for (int group = 0; group < 30; ++group) {
        const QString dir = QString("Alpha/Group %1").arg(group, 2, 10, QChar('0'));
        add(dir + "/Intro.flac", group % 2 ? "Shared" : "SHARED", "Intro");
        for (int i = 0; i < 40; ++i)
            add(dir + QString("/Album/%1.flac").arg(i), QString("Artist %1").arg(group),
                QString("Album %1").arg(group % 7));
        for (int i = 0; i < 10; ++i)
            add(dir + QString("/Album/Bonus/%1.flac").arg(i), QString(), "Bonus");
    }
    for (int i = 0; i < 1500; ++i)
        add(QString("Beta/Leaf %1/%2.flac").arg(i / 25).arg(i), QString("Beta %1").arg(i % 40),
            QString("Beta Album %1").arg(i / 100));
    return songs;
}

}  // namespace

class TestCollection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    // The cache files on their own
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void writtenCacheLoadsAsTheSameIndex();
    void loaderTakesFilesAsTheyAre();
    void freshnessNeedsAStrictlyNewerSongsFile();
    void cacheDirectoryIsCreatedPrivate();

    // The hand-over between the listing and the indexing thread
    void listingPipeKeepsOrderAcrossThreads();
    void stoppedPipeReleasesAWaitingProducer();

    // Builds against a real server
    void noServerNoBuild();
    void cacheFilesHoldTheExactRecords();
    void indexOfTheStandardLibrary();
    void freshCacheIsUsedUnlessForced();
    void cacheBelongsToTheHostNameNotThePort();
    void emptyDatabaseEmptiesEverything();
    void failedConnectionKeepsIndexAndCache_data();
    void failedConnectionKeepsIndexAndCache();
    void listingInPiecesEqualsAWholeListing();
    void killedServerLeavesThePreviousCache();
    void interruptedBuildPublishesNothing();

    // Adding to the playlist
    void bigAddsArriveInBatchesInOrder();

private:
    QTemporaryDir libraryDir;
    QString standardLibrary;
    std::unique_ptr<MpdFixture> standardServer;
};

void TestCollection::initTestCase()
{
    QVERIFY(libraryDir.isValid());
    standardLibrary = libraryDir.filePath("standard");
    QVERIFY(TestLibrary::generate(standardLibrary));
    standardServer = startServer(MpdFixture::Options(), standardLibrary);
    QVERIFY(standardServer->isRunning());
}

void TestCollection::init()
{
    QDir(CollectionCache::directory()).removeRecursively();
}

void TestCollection::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("storedVerbatim");
    QTest::addRow("plain") << "Greatest Hits" << true;
    QTest::addRow("empty") << "" << true;
    QTest::addRow("backslash-n text") << "C:\\new\\road" << true;
    QTest::addRow("line feed") << "two\nlines" << false;
    QTest::addRow("carriage return") << "old\r\nmac\r" << false;
    QTest::addRow("escape character") << QString("esc\x1bn not a break") << false;
    QTest::addRow("only breaks") << "\n\n" << false;
}

void TestCollection::valuesRoundTrip()
{
    QFETCH(QString, value);
    QFETCH(bool, storedVerbatim);
    const QString stored = CollectionCache::encodeValue(value);
    QVERIFY(!stored.contains('\n') && !stored.contains('\r'));
    QCOMPARE(stored == value, storedVerbatim);
    QCOMPARE(CollectionCache::decodeValue(stored), value);
}

void TestCollection::writtenCacheLoadsAsTheSameIndex()
{
    const QList<QmpdSong> songs
            = {QmpdSong(-1, 200, "Two\nLines", "First", "1", "a/1.flac", "1999", "Album\nBreak"),
               QmpdSong(-1, 65, "Two\nLines", "Tab\there", "2", "a/2\twith tab.flac", "1999",
                        "Album\nBreak"),
               QmpdSong(7, 0, "", "", "", "no tags.flac", "", ""),
               QmpdSong(-1, 30, "Plain", "Carriage\rreturn", "3/12", "b/\x1b.flac", "2001",
                        "Tab\tAlbum"),
               QmpdSong(-1, 31, "Plain", "Last", "4", "b/last.flac", "2001", "Album\nBreak")};
    CollectionIndex built;
    CollectionCacheWriter writer((CollectionCache(host)));
    QVERIFY(writer.open());
    for (const QmpdSong &song : songs)
        writer.addSong(song, built.addSong(song));
    QVERIFY(writer.commit());
    built.sortNames();

    // No record was split: each file has exactly its records' lines.
    const CollectionCache cache(host);
    QCOMPARE(fileBytes(cache.filePath(CollectionCache::Songs)).count('\n'), 8 * songs.size());
    QCOMPARE(fileBytes(cache.filePath(CollectionCache::Artists)).count('\n'), 3);
    QCOMPARE(fileBytes(cache.filePath(CollectionCache::Albums)).count('\n'), 3);
    QCOMPARE(fileBytes(cache.filePath(CollectionCache::ArtistAlbums)).count('\n'), 2 * 4);

    const CollectionIndex loaded = cache.load();
    QCOMPARE(loaded.getArtists(), QStringList({"", "Plain", "Two\nLines"}));
    QCOMPARE(describe(loaded), describe(built));
    QCOMPARE(filesOf(loaded.getSongs("x", NULL_ARTIST_OR_ALBUM_STRING)), filesOf(songs));
}

void TestCollection::loaderTakesFilesAsTheyAre()
{
    const CollectionCache cache(host);
    QVERIFY(CollectionCache::makeDirectory());
    // Unsorted names, an odd pair file, CRLF endings, a bad id and time, a record cut short.
    QVERIFY(writeFile(cache.filePath(CollectionCache::Artists), "b\r\nA\r\na\r\n"));
    QVERIFY(writeFile(cache.filePath(CollectionCache::Albums), "z\nZ\n"));
    QVERIFY(writeFile(cache.filePath(CollectionCache::ArtistAlbums), "b\n\tz\nA\n"));
    QVERIFY(writeFile(cache.filePath(CollectionCache::Songs),
                      "b\nz\n\t1x\n\t\t12\n\tT\n\t1\n\tf.flac\n\t2000\n"
                      "A\n\n\t5\n"));
    QTest::ignoreMessage(QtDebugMsg, "id error on line  \"1x\" ");
    QTest::ignoreMessage(QtDebugMsg, "time error on line  \"\" ");
    const CollectionIndex index = cache.load();

    QCOMPARE(index.getArtists(), QStringList({"A", "a", "b"}));
    QCOMPARE(index.getAlbums(NULL_ARTIST_OR_ALBUM_STRING), QStringList({"Z", "z"}));
    QCOMPARE(index.getAlbums("b"), QStringList({"z"}));
    QCOMPARE(index.getAlbums("A"), QStringList({""}));
    const QList<QmpdSong> songs = index.getSongs("", NULL_ARTIST_OR_ALBUM_STRING);
    QCOMPARE(songs.size(), 2);
    QCOMPARE(songText(songs.at(0)), QString("0|12|b|T|1|f.flac|2000|z|0:12"));
    QCOMPARE(songText(songs.at(1)), QString("5|0|A||||||0:00"));
    QCOMPARE(songText(index.getSongs("A", "").value(0)), songText(songs.at(1)));
}

void TestCollection::freshnessNeedsAStrictlyNewerSongsFile()
{
    const CollectionCache cache(host);
    QVERIFY(!cache.isFresh(0));
    QVERIFY(CollectionCache::makeDirectory());
    QVERIFY(writeFile(cache.filePath(CollectionCache::Songs), QByteArray()));
    QVERIFY(setSongsFileTime(host, 1700000000));
    QVERIFY(cache.isFresh(1699999999));
    QVERIFY(!cache.isFresh(1700000000));
    QVERIFY(!cache.isFresh(1700000001));
}

void TestCollection::cacheDirectoryIsCreatedPrivate()
{
    QDir(QDir::homePath() + "/.config").removeRecursively();
    CollectionCacheWriter writer((CollectionCache("unix/../../socket")));
    QVERIFY(writer.open());
    QVERIFY(writer.commit());
    const QFileInfo directory(CollectionCache::directory());
    QVERIFY(directory.isDir());
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QCOMPARE(directory.permissions() & owner, owner);
    QCOMPARE(int(directory.permissions() & 0x0077), 0);  // nothing for group and others
    // A host that looks like a path stays a file name inside the directory.
    QCOMPARE(QDir(CollectionCache::directory()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

void TestCollection::listingPipeKeepsOrderAcrossThreads()
{
    // More listings than the pipe holds, so the producer has to wait for the consumer.
    constexpr int listingCount = 100;
    QList<MpdData *> pushed;
    QList<MpdData *> popped;
    ListingPipe pipe;
    std::unique_ptr<QThread> producer(QThread::create([&] {
        for (int i = 0; i < listingCount; ++i) {
            MpdData *listing = mpd_new_data_struct();
            pushed << listing;
            if (!pipe.push(listing))
                return;
        }
        pipe.close();
    }));
    producer->start();
    while (MpdData *listing = pipe.pop()) {
        popped << listing;
        mpd_data_free(listing);
    }
    QVERIFY(producer->wait(5000));
    QCOMPARE(pushed.size(), listingCount);
    QCOMPARE(popped, pushed);
}

void TestCollection::stoppedPipeReleasesAWaitingProducer()
{
    ListingPipe pipe;
    std::atomic<int> accepted = 0;
    std::atomic<bool> refused = false;
    std::unique_ptr<QThread> producer(QThread::create([&] {
        while (pipe.push(mpd_new_data_struct()))
            ++accepted;
        refused = true;
    }));
    producer->start();
    // The producer fills the pipe and then waits; an interrupted indexer stops it.
    QTRY_VERIFY_WITH_TIMEOUT(accepted > 0, 5000);
    QVERIFY(!producer->wait(200));
    pipe.stop();
    QVERIFY(producer->wait(5000));
    QVERIFY(refused);
    QVERIFY(pipe.isStopped());
    QCOMPARE(pipe.pop(), nullptr);
}

void TestCollection::noServerNoBuild()
{
    CollectionBuilder builder;
    QSignalSpy finished(&builder, &CollectionBuilder::finished);
    builder.start();
    QVERIFY(builder.wait(5000));
    QCOMPARE(finished.size(), 0);
    QVERIFY(!QDir(CollectionCache::directory()).exists());
}

void TestCollection::cacheFilesHoldTheExactRecords()
{
    QTemporaryDir music;
    const QString source = standardLibrary + "/";
    QVERIFY(QDir(music.path()).mkpath("1") && QDir(music.path()).mkpath("2")
            && QDir(music.path()).mkpath("3"));
    QVERIFY(QFile::copy(
            source + "Music/Rock/Modern/Bright Signal/Greatest Hits/01 Signal Fire.flac",
            music.filePath("1/Signal Fire.flac")));
    QVERIFY(QFile::copy(source + "Music/Rock/Modern/Bright Signal/Greatest Hits/02 Static.flac",
                        music.filePath("2/Static.flac")));
    QVERIFY(QFile::copy(source + "Misc/No Tags.flac", music.filePath("3/No Tags.flac")));
    auto server = startServer(MpdFixture::Options(), music.path());
    QVERIFY(server->isRunning());
    QCOMPARE(server->mpc({"listall"}),
             QStringList({"1/Signal Fire.flac", "2/Static.flac", "3/No Tags.flac"}));

    CollectionBuilder builder;
    QVERIFY(build(builder, server->port(), false));
    QVERIFY(!builder.lastBuildFailed());
    const CollectionCache cache(host);
    QCOMPARE(fileBytes(cache.filePath(CollectionCache::Artists)), QByteArray("Bright Signal\n\n"));
    QCOMPARE(fileBytes(cache.filePath(CollectionCache::Albums)), QByteArray("Greatest Hits\n\n"));
    QCOMPARE(fileBytes(cache.filePath(CollectionCache::ArtistAlbums)),
             QByteArray("Bright Signal\n\tGreatest Hits\n\n\t\n"));
    QCOMPARE(fileBytes(cache.filePath(CollectionCache::Songs)),
             QByteArray("Bright Signal\nGreatest Hits\n\t-1\n\t130\n\tSignal Fire\n\t1\n"
                        "\t1/Signal Fire.flac\n\t2005\n"
                        "Bright Signal\nGreatest Hits\n\t-1\n\t145\n\tStatic\n\t2\n"
                        "\t2/Static.flac\n\t2005\n"
                        "\n\n\t-1\n\t140\n\t\n\t\n\t3/No Tags.flac\n\t\n"));

    // The empty artist and album come back from the cache as they went in.
    const QString fromServer = describe(builder);
    QVERIFY(setSongsFileTime(host, databaseUpdateTime(*server) + 60));
    QVERIFY(build(builder, server->port(), false));
    QCOMPARE(describe(builder), fromServer);
    QCOMPARE(filesOf(builder.getSongs("", "")), QStringList({"3/No Tags.flac"}));
    QCOMPARE(builder.getAlbums(""), QStringList({""}));
}

void TestCollection::indexOfTheStandardLibrary()
{
    CollectionBuilder builder;
    QVERIFY(build(builder, standardServer->port(), true));
    QVERIFY(!builder.lastBuildFailed());

    // Sorted by UTF-16 code units: the empty artist first, ABBA before Abba.
    const QStringList artists = builder.getArtists();
    QCOMPARE(artists.size(), 12);
    QCOMPARE(artists.first(), QString());
    QVERIFY(artists.indexOf("ABBA") < artists.indexOf("Abba"));
    QVERIFY(std::is_sorted(artists.begin(), artists.end()));
    const QStringList albums = builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING);
    QCOMPARE(albums.size(), 13);
    QCOMPARE(albums.count("Greatest Hits"), 1);
    QVERIFY(std::is_sorted(albums.begin(), albums.end()));

    // One album name, two artists: two separate song lists.
    QCOMPARE(builder.getAlbums("Abba"), QStringList({"Greatest Hits"}));
    QCOMPARE(filesOf(builder.getSongs("Abba", "Greatest Hits")),
             QStringList({"Music/Pop/Abba/Greatest Hits/01 Summer Dance.flac"}));
    QCOMPARE(builder.getSongs("Bright Signal", "Greatest Hits").size(), 2);
    // Albums of an artist in order of first occurrence in the listing, not sorted.
    const QStringList listing = standardServer->mpc({"listall"});
    const auto inListingOrder = [&](const QString &file1, const QString &album1,
                                    const QString &file2, const QString &album2) {
        return listing.indexOf(file1) < listing.indexOf(file2) ? QStringList{album1, album2}
                                                               : QStringList{album2, album1};
    };
    QCOMPARE(builder.getAlbums("Loose Ends"),
             inListingOrder("Misc/No Album.flac", "", "Misc/No Title.flac", "Fragments"));
    QCOMPARE(builder.getAlbums(""),
             inListingOrder("Misc/No Tags.flac", "", "Misc/No Artist.flac", "Untitled Sessions"));
    QCOMPARE(builder.getAlbums("Nobody"), QStringList());
    QVERIFY(builder.getSongs("Nobody", "Gold").isEmpty());

    // Every song, in the server's own order, whatever artist is asked with the marker.
    QCOMPARE(filesOf(builder.getSongs("Nobody", NULL_ARTIST_OR_ALBUM_STRING)), listing);
    const QmpdSong crue = builder.getSongs("Mötley Crüe", "Loud Nights").value(0);
    QCOMPARE(songText(crue),
             QString("-1|240|Mötley Crüe|Crüe Anthem|1|Music/Rock/Classic/Mötley Crüe/Loud "
                     "Nights/01 Crüe Anthem.flac|1985|Loud Nights|4:00"));
}

void TestCollection::freshCacheIsUsedUnlessForced()
{
    const int port = standardServer->port();
    const qint64 updated = databaseUpdateTime(*standardServer);
    QVERIFY(updated > 0);
    CollectionBuilder builder;
    QVERIFY(build(builder, port, false));
    const QString fromServer = describe(builder);
    const QString artistsPath = CollectionCache(host).filePath(CollectionCache::Artists);
    const QByteArray written = fileBytes(artistsPath);

    // A marker that only the cache knows tells where an index came from.
    QVERIFY(writeFile(artistsPath, written + "Only In The Cache\n"));
    QVERIFY(setSongsFileTime(host, updated + 60));
    QVERIFY(build(builder, port, false));
    QVERIFY(builder.getArtists().contains("Only In The Cache"));

    QVERIFY(setSongsFileTime(host, updated));
    QVERIFY(build(builder, port, false));
    QVERIFY(!builder.getArtists().contains("Only In The Cache"));
    QCOMPARE(fileBytes(artistsPath), written);

    QVERIFY(writeFile(artistsPath, written + "Only In The Cache\n"));
    QVERIFY(setSongsFileTime(host, updated + 60));
    QVERIFY(build(builder, port, true));
    QVERIFY(!builder.getArtists().contains("Only In The Cache"));
    QCOMPARE(describe(builder), fromServer);

    // A later unforced build reads what the forced one wrote.
    QVERIFY(setSongsFileTime(host, updated + 60));
    QVERIFY(writeFile(artistsPath, written + "Only In The Cache\n"));
    QVERIFY(build(builder, port, false));
    QVERIFY(builder.getArtists().contains("Only In The Cache"));
    QCOMPARE(builder.getSongs("", NULL_ARTIST_OR_ALBUM_STRING).size(), 19);
}

void TestCollection::cacheBelongsToTheHostNameNotThePort()
{
    CollectionBuilder builder;
    QVERIFY(build(builder, standardServer->port(), false));
    const qint64 updated = databaseUpdateTime(*standardServer);
    const QString artistsPath = CollectionCache(host).filePath(CollectionCache::Artists);
    QVERIFY(writeFile(artistsPath, fileBytes(artistsPath) + "Only In The Cache\n"));
    QVERIFY(setSongsFileTime(host, updated + 60));

    // Same server under another name: its own files, built from the server.
    QVERIFY(build(builder, standardServer->port(), false, QString(), "localhost"));
    QVERIFY(!builder.lastBuildFailed());
    QVERIFY(!builder.getArtists().contains("Only In The Cache"));
    QVERIFY(QFile::exists(CollectionCache("localhost").filePath(CollectionCache::Songs)));

    // Another server on the same host name shares the files, while they are fresh for it.
    const QString emptyDb = libraryDir.filePath("empty-for-port.db");
    QVERIFY(TestLibrary::writeDatabase(emptyDb, 0));
    auto other = startOnDatabase(emptyDb);
    QVERIFY(other->isRunning());
    QVERIFY(setSongsFileTime(host, qMax<qint64>(updated, databaseUpdateTime(*other)) + 60));
    QVERIFY(build(builder, other->port(), false));
    QVERIFY(builder.getArtists().contains("Only In The Cache"));
}

void TestCollection::emptyDatabaseEmptiesEverything()
{
    CollectionBuilder builder;
    QVERIFY(build(builder, standardServer->port(), true));
    QVERIFY(!builder.getArtists().isEmpty());

    auto empty = startServer(MpdFixture::Options());
    QVERIFY(empty->isRunning());
    QVERIFY(build(builder, empty->port(), true));
    QVERIFY(!builder.lastBuildFailed());
    QVERIFY(builder.getArtists().isEmpty());
    QVERIFY(builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING).isEmpty());
    QVERIFY(builder.getAlbums("Abba").isEmpty());
    QVERIFY(builder.getSongs("Abba", "Greatest Hits").isEmpty());
    QVERIFY(builder.getSongs("", NULL_ARTIST_OR_ALBUM_STRING).isEmpty());
    const CollectionCache cache(host);
    for (CollectionCache::File file : allFiles)
        QCOMPARE(fileBytes(cache.filePath(file)), QByteArray());
}

void TestCollection::failedConnectionKeepsIndexAndCache_data()
{
    QTest::addColumn<bool>("serverDown");
    QTest::addColumn<QString>("password");
    QTest::addRow("server down") << true << QString();
    QTest::addRow("wrong password") << false << "wrong";
}

void TestCollection::failedConnectionKeepsIndexAndCache()
{
    QFETCH(bool, serverDown);
    QFETCH(QString, password);
    MpdFixture::Options options;
    options.password = "secret";
    auto server = startServer(options, standardLibrary);
    QVERIFY(server->isRunning());
    CollectionBuilder builder;
    QVERIFY(build(builder, server->port(), true, "secret"));
    QVERIFY(!builder.lastBuildFailed());
    const QString index = describe(builder);
    QCOMPARE(builder.getSongs("", NULL_ARTIST_OR_ALBUM_STRING).size(), 19);
    const QByteArray cache = cacheBytes();

    if (serverDown)
        server->stop();
    QVERIFY(build(builder, server->port(), true, password));
    QVERIFY(builder.lastBuildFailed());
    QCOMPARE(describe(builder), index);
    QCOMPARE(cacheBytes(), cache);
}

void TestCollection::listingInPiecesEqualsAWholeListing()
{
    const QString db = libraryDir.filePath("mixed.db");
    QVERIFY(TreeDatabase::write(db, mixedTree()));
    auto roomy = startOnDatabase(db);
    auto cramped = startOnDatabase(db, 64);
    QVERIFY(roomy->isRunning() && cramped->isRunning());
    // The cramped server really refuses the whole listing.
    QVERIFY(cramped->command("listallinfo").isEmpty());
    QVERIFY(!cramped->errorString().isEmpty());

    CollectionBuilder builder;
    QVERIFY(build(builder, roomy->port(), true));
    const QString whole = describe(builder);
    const QByteArray wholeCache = cacheBytes();
    QCOMPARE(filesOf(builder.getSongs("", NULL_ARTIST_OR_ALBUM_STRING)), roomy->mpc({"listall"}));

    QVERIFY(build(builder, cramped->port(), true));
    QVERIFY(!builder.lastBuildFailed());
    QCOMPARE(builder.getSongs("", NULL_ARTIST_OR_ALBUM_STRING).size(), mixedTree().size());
    QCOMPARE(describe(builder), whole);
    QCOMPARE(cacheBytes(), wholeCache);
}

void TestCollection::killedServerLeavesThePreviousCache()
{
    const QString db = libraryDir.filePath("big.db");
    QVERIFY(QFile::exists(db) || TestLibrary::writeDatabase(db, 100000));
    auto server = startOnDatabase(db);
    QVERIFY(server->isRunning());
    CollectionBuilder builder;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(build(builder, server->port(), true));
    const qint64 buildMs = timer.elapsed();
    QCOMPARE(builder.getSongs("", NULL_ARTIST_OR_ALBUM_STRING).size(), 100000);
    const QByteArray cache = cacheBytes();

    // Killed a third of a build's time into the next one, that is during its listing;
    // a few tries with earlier kills in case one build outruns the kill.
    bool failedBuild = false;
    for (int attempt = 0; attempt < 3 && !failedBuild; ++attempt) {
        QVERIFY(server->isRunning() || server->restart());
        QSignalSpy finished(&builder, &CollectionBuilder::finished);
        builder.setForceFromMPD(true);
        builder.start();
        QTimer::singleShot(int(buildMs / (3 << attempt)), this, [&] { server->kill(); });
        QVERIFY(finished.wait(30000));
        QVERIFY(builder.wait(5000));
        failedBuild = builder.lastBuildFailed();
    }
    QVERIFY(failedBuild);
    QCOMPARE(cacheBytes(), cache);
    QCOMPARE(builder.getSongs("", NULL_ARTIST_OR_ALBUM_STRING).size(), 100000);
    // No leftovers of the unfinished files.
    QCOMPARE(QDir(CollectionCache::directory()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

void TestCollection::interruptedBuildPublishesNothing()
{
    const QString db = libraryDir.filePath("big.db");
    QVERIFY(QFile::exists(db) || TestLibrary::writeDatabase(db, 100000));
    auto server = startOnDatabase(db);
    QVERIFY(server->isRunning());
    CollectionBuilder builder;
    QVERIFY(build(builder, standardServer->port(), true));
    const QString index = describe(builder);
    const QByteArray cache = cacheBytes();

    QSignalSpy finished(&builder, &CollectionBuilder::finished);
    builder.setServer(host, server->port(), QString());
    builder.start();
    builder.requestInterruption();
    QVERIFY(finished.wait(30000));
    QVERIFY(builder.wait(5000));
    QVERIFY(builder.lastBuildFailed());
    QCOMPARE(describe(builder), index);
    QCOMPARE(cacheBytes(), cache);

    // The next start is a normal build again.
    QVERIFY(build(builder, server->port(), true));
    QVERIFY(!builder.lastBuildFailed());
    QCOMPARE(builder.getSongs("", NULL_ARTIST_OR_ALBUM_STRING).size(), 100000);
}

void TestCollection::bigAddsArriveInBatchesInOrder()
{
    // 12,000 paths of about 200 bytes: over the server's 2 MiB command-list limit,
    // under its 16,384-song playlist limit.
    const QString longName = "Long " + QString(180, 'x');
    QList<TreeSong> songs;
    QStringList paths;
    qsizetype bytes = 0;
    for (int i = 0; i < 12000; ++i) {
        songs.append({QString("%1 %2/Song %3.flac").arg(longName).arg(i / 600).arg(i), "A", "B",
                      "T", 1, 60});
        paths << songs.last().uri;
        bytes += paths.last().toUtf8().size();
    }
    QVERIFY(bytes > 2 * 1024 * 1024);
    const QString db = libraryDir.filePath("long.db");
    QVERIFY(TreeDatabase::write(db, songs));
    auto server = startOnDatabase(db);
    QVERIFY(server->isRunning());
    Qmpd connection(host, server->port(), QString());
    QVERIFY(connection.isConnected());

    QVERIFY(PlaylistAdder::queueAddInBatches(connection, paths));
    QCOMPARE(server->mpc({"playlist", "-f", "%file%"}), paths);

    // A path the server does not know ends its batch there, and nothing after is sent.
    QVERIFY(server->resetState());
    paths.insert(100, "Missing/Song.flac");
    QVERIFY(!PlaylistAdder::queueAddInBatches(connection, paths));
    QCOMPARE(server->mpc({"playlist", "-f", "%file%"}), paths.mid(0, 100));
}

TUNELOOM_TEST_MAIN(TestCollection, CollectionWindowTests)
#include "tst_collection.moc"
