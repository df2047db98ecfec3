// The collection: its cache files, the builder against real servers, the window's collection tab,
// and what happens when the server, the listing or the user interrupts a build.
#include "busyindicator.h"
#include "collectionbuilder.h"
#include "collectioncache.h"
#include "collectioncachewriter.h"
#include "playlistadder.h"
#include "qmpd.h"
#include "settingsstore.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QListView>
#include <QScopeGuard>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>

namespace {

const QString host = "127.0.0.1";
const CollectionCache::File cacheFiles[] = {CollectionCache::Artists, CollectionCache::Albums,
                                            CollectionCache::ArtistAlbums, CollectionCache::Songs};
constexpr int BigLibrarySongs = 300000;
constexpr int BuildTimeoutMs = 120000;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The four files of a host with their times, for comparing whole cache states.
QByteArray cacheBytes(const QString &hostName = host)
{
    QByteArray all;
    for (CollectionCache::File file : cacheFiles) {
        const QString path = CollectionCache(hostName).filePath(file);
        all += path.toUtf8() + QFileInfo(path).lastModified().toString().toUtf8() + readFile(path);
    }
    return all;
}

bool setSongsFileTime(qint64 secondsSinceEpoch, const QString &hostName = host)
{
    QFile songs(CollectionCache(hostName).filePath(CollectionCache::Songs));
    return songs.open(QIODevice::ReadWrite)
            && songs.setFileTime(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch),
                                 QFileDevice::FileModificationTime);
}

QString songText(const QmpdSong &song)
{
    return QStringList{QString::number(song.id), QString::number(song.time), song.artist,
                       song.title, song.track, song.file, song.date, song.album, song.timeText}
            .join('|');
}

// Everything the queries answer, as text: equal texts mean equal indexes.
template<typename Index> QStringList describe(const Index &index)
{
    QStringList lines = index.getArtists() + index.getAlbums(NULL_ARTIST_OR_ALBUM_STRING);
    for (const QString &artist : index.getArtists()) {
        lines << "artist " + artist + ": " + index.getAlbums(artist).join('|');
        for (const QString &album : index.getAlbums(artist))
            for (const QmpdSong &song : index.getSongs(artist, album))
                lines << songText(song);
    }
    for (const QmpdSong &song : index.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING))
        lines << "all " + songText(song);
    return lines;
}

bool build(CollectionBuilder &builder, int port, bool force, const QString &hostName = host)
{
    QSignalSpy finished(&builder, &CollectionBuilder::finished);
    builder.setServer(hostName, port, QString());
    builder.setForceFromMPD(force);
    builder.start();
    return finished.wait(BuildTimeoutMs) && builder.wait(5000) && finished.size() == 1;
}

quint32 databaseUpdateTime(const MpdFixture &server)
{
    for (const QString &line : server.command("stats"))
        if (line.startsWith("db_update: "))
            return line.mid(11).toUInt();
    return 0;
}

CollectionIndex writeCache(const QList<QmpdSong> &songs, const QString &hostName = host)
{
    CollectionIndex index;
    CollectionCacheWriter writer((CollectionCache(hostName)));
    if (writer.open()) {
        for (const QmpdSong &song : songs)
            writer.addSong(song, index.addSong(song));
        writer.commit();
    }
    index.sortNames();
    return index;
}

// A damaged copy of a file: random bytes, or a good file cut, flipped, broken or stretched.
QByteArray damaged(QRandomGenerator &random, const QByteArray &good, int kind)
{
    const auto at = [&](const QByteArray &bytes) { return int(random.bounded(bytes.size() + 1)); };
    QByteArray bytes = good;
    const char tricky[] = "\n\n\t\r\x1b\0\xff\xfe\xc3\xa9\xe2\x82\xef\xbb\xbf" "09-+ aZ";
    switch (kind) {
    case 0:
        bytes.resize(random.bounded(65536));
        for (char &byte : bytes)
            byte = tricky[random.bounded(int(sizeof tricky) - 1)];
        break;
    case 1: bytes.truncate(at(bytes)); break;
    case 2:
        for (int i = random.bounded(20); i >= 0 && !bytes.isEmpty(); --i)
            bytes[random.bounded(bytes.size())] = char(random.bounded(256));
        break;
    case 3:
        for (const char *bad : {"\xff", "\xc3", "\xed\xa0\x80", "\xc0\x80", "\x80\x80"})
            bytes.insert(at(bytes), bad);
        break;
    case 4: bytes.replace("\n", random.bounded(2) ? "\r\n" : "\r\r\n").insert(at(bytes), '\r'); break;
    case 5: {
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeAt(random.bounded(lines.size()));
        lines.insert(random.bounded(lines.size() + 1), "stray\tline");
        bytes = lines.join('\n');
        break;
    }
    default: bytes.insert(at(bytes), QByteArray(1 << 20, 'm'));
    }
    return bytes;
}

qsizetype lineCount(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return bytes.count('\n') + (!bytes.isEmpty() && !bytes.endsWith('\n'));
}

}  // namespace

class TestCollection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(f.startServer(), qPrintable(f.server.errorString())); }
    void init();
    void cleanup() { QCOMPARE(f.close(), expectedBoxes); expectedBoxes.clear(); }

    void cacheKeepsEveryValue();
    void oddCacheFiles_data();
    void oddCacheFiles();
    void damagedCache_data();
    void damagedCache();
    void indexAndCacheOfTheStandardLibrary();
    void cacheOrServer_data();
    void cacheOrServer();
    void listingInPiecesEqualsAWholeListing();
    void bigAddsArriveInBatchesInOrder();
    void oddServerTagsStayConsistent();
    void browse_data();
    void browse();
    void databaseUpdateRebuilds();
    void windowKeepsPollingDuringLongBuild();
    void interruptedBuild_data();
    void interruptedBuild();
    void quitDuringWork_data();
    void quitDuringWork();
    void updateDuringBuildIsFollowedByAnotherBuild();

private:
    MpdFixture &bigServer();
    bool openWindow();
    QAction *addAction(const char *list) { return f.widget<QListView>(list)->actions().value(0); }

    WindowFixture f;
    QTemporaryDir bigDir;
    std::unique_ptr<MpdFixture> big;
    QStringList expectedBoxes;
};

void TestCollection::init()
{
    QVERIFY(WindowFixture::resetHome());
}

MpdFixture &TestCollection::bigServer()
{
    if (!big)
        big = TestLibrary::startSyntheticServer(bigDir.path(), BigLibrarySongs);
    if (!big->isRunning() && !big->restart())
        qFatal("big mpd: %s", qPrintable(big->errorString()));
    return *big;
}

bool TestCollection::openWindow()
{
    if (!f.open())
        return false;
    f.widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
    return true;
}

void TestCollection::cacheKeepsEveryValue()
{
    // mpd turns control characters in tags into spaces; a cache may still hold them.
    const QStringList values = {"\tlead", "trail\t", "\t", "two\nlines", "old\r\nmac\r", "\n\n",
                                "esc\x1bn", "C:\\new\\road", QString(10000, 'w'), QString(),
                                QString(QChar::ReplacementCharacter)};
    QList<QmpdSong> songs;
    for (int i = 0; i < values.size(); ++i) {
        const QString &v = values.at(i);
        songs << QmpdSong(i, i, v, v, v, v + QString::number(i), v, v)
              << QmpdSong(-1, 65, "Plain", v, "3/12", QString("f%1").arg(i), "2001", "Album");
        const QString stored = CollectionCache::encodeValue(v);
        QVERIFY(!stored.contains('\n') && !stored.contains('\r'));
    }
    const CollectionIndex built = writeCache(songs);
    const CollectionCache cache(host);
    QCOMPARE(readFile(cache.filePath(CollectionCache::Songs)).count('\n'), 8 * songs.size());
    QCOMPARE(readFile(cache.filePath(CollectionCache::Artists)).count('\n'), values.size() + 1);
    const CollectionIndex loaded = cache.load();
    QCOMPARE(describe(loaded), describe(built));
    QStringList written, read;
    for (const QmpdSong &song : songs)
        written << songText(song);
    for (const QmpdSong &song : loaded.getSongs("x", NULL_ARTIST_OR_ALBUM_STRING))
        read << songText(song);
    QCOMPARE(read, written);
}

void TestCollection::oddCacheFiles_data()
{
    QTest::addColumn<QByteArray>("artists");
    QTest::addColumn<QByteArray>("pairs");
    QTest::addColumn<QByteArray>("songs");
    QTest::addColumn<QStringList>("loadedArtists");
    QTest::addColumn<QString>("albumsOfB");
    QTest::addColumn<QStringList>("loadedSongs");
    const QByteArray mib(1 << 20, 'm');
    const QString bad(QChar::ReplacementCharacter);
    QTest::addRow("unsorted names, CRLF, bad numbers, a record cut short")
            << QByteArray("b\r\nA\r\na\r\n") << QByteArray("b\n\tz\nA\n")
            << QByteArray("b\nz\n\t1x\n\t\t12\n\tT\n\t1\n\tf.flac\n\t2000\nA\n\n\t5\n")
            << QStringList{"A", "a", "b"} << "z"
            << QStringList{"0|12|b|T|1|f.flac|2000|z|0:12", "5|0|A||||||0:00"};
    QTest::addRow("1 MiB lines") << mib + '\n' << QByteArray()
                                 << "a\nb\n\t1\n\t2\n\t" + mib + "\n\t\n\t\n\t\n"
                                 << QStringList(QString(mib)) << ""
                                 << QStringList("1|2|a|" + QString(mib) + "||||b|0:02");
    QTest::addRow("invalid UTF-8") << QByteArray("\xff\xfe\n\xc3(\n") << QByteArray()
                                   << QByteArray("a\nb\n\t1\n\t2\n\t\xed\xa0\x80!\n")
                                   << QStringList{bad + '(', bad + bad} << ""
                                   << QStringList("1|2|a|" + bad.repeated(3) + "!||||b|0:02");
    QTest::addRow("nine lines: a record and a stray line")
            << QByteArray() << QByteArray() << QByteArray("a\nb\n\t1\n\t2\n\tT\n\t\n\tf\n\t\nstray\n")
            << QStringList() << "" << QStringList{"1|2|a|T||f||b|0:02", "0|0|stray||||||0:00"};
    QTest::addRow("only byte-order marks") << QByteArray("\xEF\xBB\xBF") << QByteArray()
                                           << QByteArray("\xEF\xBB\xBF") << QStringList() << ""
                                           << QStringList();
    QTest::addRow("CR alone ends no line, NUL stays")
            << QByteArray("one\rtwo\r\na\0b\n", 13) << QByteArray() << QByteArray()
            << QStringList{QString::fromLatin1("a\0b", 3), "onetwo"} << "" << QStringList();
    QTest::addRow("blank lines, no final line feed, escapes at line ends")
            << QByteArray("\n\nlast\nabc\x1b\n\x1b") << QByteArray() << QByteArray()
            << QStringList{"", "", "\x1b", "abc\x1b", "last"} << "" << QStringList();
}

void TestCollection::oddCacheFiles()
{
    QFETCH(QByteArray, artists);
    QFETCH(QByteArray, pairs);
    QFETCH(QByteArray, songs);
    QFETCH(QStringList, loadedArtists);
    QFETCH(QString, albumsOfB);
    QFETCH(QStringList, loadedSongs);
    const CollectionCache cache(host);
    QVERIFY(CollectionCache::makeDirectory());
    QVERIFY(writeFile(cache.filePath(CollectionCache::Artists), artists));
    QVERIFY(writeFile(cache.filePath(CollectionCache::ArtistAlbums), pairs));
    QVERIFY(writeFile(cache.filePath(CollectionCache::Songs), songs));
    const CollectionIndex index = cache.load();
    QCOMPARE(index.getArtists(), loadedArtists);
    QCOMPARE(index.getAlbums("b").join('|'), albumsOfB);
    QStringList texts;
    for (const QmpdSong &song : index.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING))
        texts << songText(song);
    QCOMPARE(texts, loadedSongs);
}

void TestCollection::damagedCache_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("rounds");
    const char *const kinds[] = {"random bytes", "truncated", "flipped bytes", "invalid UTF-8",
                                 "CRLF and lone CR", "lost and extra lines", "1 MiB lines"};
    for (int kind = 0; kind < 7; ++kind)
        QTest::addRow("%s", kinds[kind]) << kind << (kind == 6 ? 5 : 100);
}

// Whatever the files hold, the index has one artist per line of the artists file, one album per
// line of the albums file, one song per started eight lines of the songs file, and every song is
// found under its own artist and album.
void TestCollection::damagedCache()
{
    QFETCH(int, kind);
    QFETCH(int, rounds);
    QList<QmpdSong> sample;
    for (int i = 0; i < 40; ++i)
        sample << QmpdSong(i, 60 + i, QString("Artist %1").arg(i / 10), QString("Títle\t%1").arg(i),
                           QString::number(i % 10 + 1), QString("dir/%1.flac").arg(i), "1999",
                           i % 7 == 3 ? "Line\nbreak" : "Album");
    writeCache(sample);
    const CollectionCache cache(host);
    QByteArray good[4];
    for (CollectionCache::File file : cacheFiles)
        good[file] = readFile(cache.filePath(file));
    QRandomGenerator random(20240601 + kind);
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
    for (int round = 0; round < rounds; ++round) {
        QByteArray written[4];
        for (CollectionCache::File file : cacheFiles) {
            written[file] = damaged(random, good[file], kind);
            QVERIFY(writeFile(cache.filePath(file), written[file]));
        }
        const CollectionIndex index = cache.load();
        const QByteArray where = "round " + QByteArray::number(round);
        QVERIFY2(index.getArtists().size() == lineCount(written[CollectionCache::Artists]), where);
        QVERIFY2(index.getAlbums(NULL_ARTIST_OR_ALBUM_STRING).size()
                         == lineCount(written[CollectionCache::Albums]), where);
        const QList<QmpdSong> songs = index.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING);
        QVERIFY2(songs.size() == (lineCount(written[CollectionCache::Songs]) + 7) / 8, where);
        for (const QmpdSong &song : songs) {
            const QList<QmpdSong> pair = index.getSongs(song.artist, song.album);
            QVERIFY2(std::any_of(pair.cbegin(), pair.cend(),
                                 [&](const QmpdSong &other) { return songText(other) == songText(song); }),
                     where);
        }
    }
}

void TestCollection::indexAndCacheOfTheStandardLibrary()
{
    CollectionBuilder builder;
    QVERIFY(build(builder, f.server.port(), true));
    QVERIFY(!builder.lastBuildFailed());
    // Sorted by UTF-16 code units: the empty artist first, ABBA before Abba.
    const QStringList artists = builder.getArtists();
    QCOMPARE(artists.size(), 12);
    QCOMPARE(artists.first(), QString());
    QVERIFY(std::is_sorted(artists.begin(), artists.end()) && artists.contains("Abba"));
    const QStringList albums = builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING);
    QCOMPARE(albums.size(), 13);
    QVERIFY(std::is_sorted(albums.begin(), albums.end()));
    // One album name, two artists: two song lists. An artist's albums in listing order.
    QCOMPARE(builder.getSongs("Abba", "Greatest Hits").size(), 1);
    QCOMPARE(builder.getSongs("Bright Signal", "Greatest Hits").size(), 2);
    const QStringList listing = f.server.mpc({"listall"});
    QCOMPARE(builder.getAlbums("Loose Ends"),
             listing.indexOf("Misc/No Album.flac") < listing.indexOf("Misc/No Title.flac")
                     ? QStringList({"", "Fragments"}) : QStringList({"Fragments", ""}));
    QVERIFY(builder.getAlbums("Nobody").isEmpty() && builder.getSongs("Nobody", "Gold").isEmpty());
    QStringList files;
    for (const QmpdSong &song : builder.getSongs("Nobody", NULL_ARTIST_OR_ALBUM_STRING))
        files << song.file;
    QCOMPARE(files, listing);
    QCOMPARE(songText(builder.getSongs("Mötley Crüe", "Loud Nights").value(0)),
             "-1|240|Mötley Crüe|Crüe Anthem|1|Music/Rock/Classic/Mötley Crüe/Loud Nights/01 Crüe "
             "Anthem.flac|1985|Loud Nights|4:00");
    // The records as they are on disk.
    const CollectionCache cache(host);
    const QByteArray songs = readFile(cache.filePath(CollectionCache::Songs));
    QVERIFY(songs.contains("Bright Signal\nGreatest Hits\n\t-1\n\t145\n\tStatic\n\t2\n\tMusic/Rock/"
                           "Modern/Bright Signal/Greatest Hits/02 Static.flac\n\t2005\n"));
    QVERIFY(songs.contains("\n\n\n\t-1\n\t140\n\t\n\t\n\tMisc/No Tags.flac\n\t\n"));
    QVERIFY(readFile(cache.filePath(CollectionCache::ArtistAlbums)).contains("Bright Signal\n\tGreatest Hits\n"));
    QCOMPARE(readFile(cache.filePath(CollectionCache::Artists)).count('\n'), 12);
    // A build from the fresh cache gives the same index, the empty artist and album included.
    const QStringList fromServer = describe(builder);
    QVERIFY(setSongsFileTime(databaseUpdateTime(f.server) + 60));
    QVERIFY(build(builder, f.server.port(), false));
    QCOMPARE(describe(builder), fromServer);
    // The cache directory is private, and a host that looks like a path stays a file name in it.
    writeCache({}, "unix/../../socket");
    QCOMPARE(QFileInfo(CollectionCache::directory()).permissions() & 0x0077, QFile::Permissions());
    QCOMPARE(QDir(CollectionCache::directory()).entryList(QDir::Files | QDir::Hidden).size(), 8);
}

void TestCollection::cacheOrServer_data()
{
    // A marker only the cache knows tells where the index came from.
    QTest::addColumn<int>("cacheAge");  // seconds the songs file is newer than the database
    QTest::addColumn<bool>("force");
    QTest::addColumn<QString>("hostName");
    QTest::addColumn<bool>("fromCache");
    QTest::addRow("newer cache") << 60 << false << host << true;
    QTest::addRow("cache as old as the database") << 0 << false << host << false;
    QTest::addRow("older cache") << -1 << false << host << false;
    QTest::addRow("forced") << 60 << true << host << false;
    QTest::addRow("same server, other host name") << 60 << false << "localhost" << false;
}

void TestCollection::cacheOrServer()
{
    QFETCH(int, cacheAge);
    QFETCH(bool, force);
    QFETCH(QString, hostName);
    QFETCH(bool, fromCache);
    CollectionBuilder builder;
    QVERIFY(build(builder, f.server.port(), true));
    const QStringList fromServer = describe(builder);
    const QString artists = CollectionCache(host).filePath(CollectionCache::Artists);
    const QByteArray written = readFile(artists);
    QVERIFY(writeFile(artists, written + "Only In The Cache\n"));
    QVERIFY(setSongsFileTime(databaseUpdateTime(f.server) + cacheAge));
    QVERIFY(build(builder, f.server.port(), force, hostName));
    QVERIFY(!builder.lastBuildFailed());
    QCOMPARE(builder.getArtists().contains("Only In The Cache"), fromCache);
    if (!fromCache)
        QCOMPARE(describe(builder), fromServer);
    if (!fromCache && hostName == host)
        QCOMPARE(readFile(artists), written);
}

void TestCollection::listingInPiecesEqualsAWholeListing()
{
    // Songs at every depth, no directory big but the whole more than the cramped server sends.
    const auto song = [](int i) {
        const int group = (i - 3) / 51, at = (i - 3) % 51;
        QByteArray dir = i < 3 ? "" : i >= 1533 ? "Beta/Leaf " + QByteArray::number(i / 25) + '/'
                : "Alpha/Group " + QByteArray::number(group) + (at == 0 ? "/" : at < 41 ? "/Album/" : "/Album/Bonus/");
        const QString artist = i % 11 == 4 ? QString() : QString("Artist %1").arg(i % 40);
        return TestLibrary::Song{dir + QByteArray::number(i) + ".flac",
                                 (artist.isEmpty() ? "" : "Artist: " + artist.toUtf8() + '\n')
                                         + "Album: Album " + QByteArray::number(i % 7) + "\nTitle: T"
                                         + QByteArray::number(i) + '\n', 60 + i % 300};
    };
    QTemporaryDir dir;
    QVERIFY(TestLibrary::writeDatabase(dir.filePath("mixed.db"), 3033, song));
    auto roomy = TestLibrary::startServer(dir.filePath("mixed.db"));
    auto cramped = TestLibrary::startServer(dir.filePath("mixed.db"), 64);
    QVERIFY(cramped->command("listallinfo").isEmpty());  // it really refuses the whole listing
    CollectionBuilder builder;
    QVERIFY(build(builder, roomy->port(), true));
    const QStringList whole = describe(builder);
    const QByteArray wholeCache = readFile(CollectionCache(host).filePath(CollectionCache::Songs));
    QCOMPARE(builder.getSongs("", NULL_ARTIST_OR_ALBUM_STRING).size(), 3033);
    QVERIFY(build(builder, cramped->port(), true));
    QVERIFY(!builder.lastBuildFailed());
    QCOMPARE(describe(builder), whole);
    QCOMPARE(readFile(CollectionCache(host).filePath(CollectionCache::Songs)), wholeCache);
}

void TestCollection::bigAddsArriveInBatchesInOrder()
{
    // 12,000 paths of about 200 bytes: over the server's 2 MiB command-list limit, under its
    // 16,384-song playlist limit.
    QStringList paths;
    for (int i = 0; i < 12000; ++i)
        paths << QString("Long %1 %2/Song %3.flac").arg(QString(180, 'x')).arg(i / 600).arg(i);
    QTemporaryDir dir;
    QVERIFY(TestLibrary::writeDatabase(dir.filePath("long.db"), int(paths.size()), [&](int i) {
        return TestLibrary::Song{paths.at(i).toUtf8(), "Title: T\n"};
    }));
    auto server = TestLibrary::startServer(dir.filePath("long.db"));
    Qmpd connection(host, server->port(), QString());
    QVERIFY(PlaylistAdder::queueAddInBatches(connection, paths));
    QCOMPARE(server->queue(), paths);
    // A path the server does not know ends its batch there, and nothing after is sent.
    QVERIFY(server->resetState());
    paths.insert(100, "Missing/Song.flac");
    QVERIFY(!PlaylistAdder::queueAddInBatches(connection, paths));
    QCOMPARE(server->queue(), paths.mid(0, 100));
}

void TestCollection::oddServerTagsStayConsistent()
{
    // What each song is given, and what mpd 0.23 serves: control characters as spaces, most
    // invalid UTF-8 as "?", empty and blank tags left out, file names as stored.
    const QByteArray L(10000, 'L');
    const QList<TestLibrary::Song> raw = {
            {"D/long.flac", "Artist: " + L + "\nAlbum: " + L + "\nTitle: " + L + '\n'},
            {"D/invalid.flac", "Artist: Bad \xff\xfe\nAlbum: \xc3(\nTitle: x\xed\xa0\x80\nDate: \xff" "1999\nTrack: \xe9 7\n"},
            {"D/empty.flac", "Artist: \nAlbum: \nTitle: \n"},
            {"D/blank.flac", "Artist:    \nAlbum: Blank\n"},
            {"D/control.flac", "Artist: Tab\there\nAlbum: CR\rhere\nTitle: E\x1b[1m\n"},
            {"D/tab\tand\rCR.flac", "Artist: Odd Names\nTitle: t1\n"},
            {"D/" + QByteArray(5000, 'n') + ".flac", "Artist: Odd Names\nTitle: t2\n"},
            {"D/bad\xffname.flac", "Artist: Odd Names\nTitle: t3\n"}};
    const QString l(L), R(QChar::ReplacementCharacter);
    const QStringList served = {"D/long.flac|" + l + '|' + l + '|' + l,
                                "D/invalid.flac|Bad ??|?(|x" + R + R + R,
                                "D/empty.flac|||", "D/blank.flac||Blank|",
                                "D/control.flac|Tab here|CR here|E [1m",
                                "D/tab\tand\rCR.flac|Odd Names||t1",
                                "D/" + QString(5000, 'n') + ".flac|Odd Names||t2",
                                "D/bad" + R + "name.flac|Odd Names||t3"};
    QTemporaryDir dir;
    QVERIFY(TestLibrary::writeDatabase(dir.filePath("odd.db"), int(raw.size()), [&](int i) { return raw.at(i); }));
    auto mpd = TestLibrary::startServer(dir.filePath("odd.db"));
    CollectionBuilder builder;
    QVERIFY(build(builder, mpd->port(), true));
    QStringList songs;
    for (const QmpdSong &song : builder.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING))
        songs << QStringList{song.file, song.artist, song.album, song.title}.join('|');
    songs.sort();
    QStringList expected = served;
    expected.sort();
    QCOMPARE(songs, expected);
    const QStringList fromServer = describe(builder);
    QVERIFY(setSongsFileTime(databaseUpdateTime(*mpd) + 60));
    QVERIFY(build(builder, mpd->port(), false));
    QCOMPARE(describe(builder), fromServer);
    // The window shows the same lists, and its playlist follows the server's.
    QVERIFY(openWindow());
    QVERIFY(f.connect(*mpd));
    QCOMPARE(f.rows("artistList"), builder.getArtists());
    QCOMPARE(f.rows("albumList"), builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING));
    QVERIFY(f.click("artistList", l));
    QVERIFY(f.click("albumList", l));
    QCOMPARE(f.rows("trackList"), QStringList(l));
    QVERIFY(f.click("artistList", "Odd Names"));
    QVERIFY(f.click("albumList", ""));
    QCOMPARE(f.rows("trackList"), QStringList({"t1", "t2", "t3"}));
    QVERIFY(mpd->add({"D"}));
    QTRY_COMPARE_WITH_TIMEOUT(f.rows("playlistTableview").size(), 8, 5000);
    QVERIFY(mpd->send("clear"));
    QTRY_COMPARE_WITH_TIMEOUT(f.rows("playlistTableview").size(), 0, 5000);
    f.close();
}

void TestCollection::browse_data()
{
    // Steps: "artist:NAME" / "album:NAME" / "track:NAME" click a row ("+" before the name adds
    // it to the selection); "add:LIST" triggers that list's Add action.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("albums");
    QTest::addColumn<QStringList>("tracks");
    QTest::addColumn<QStringList>("queued");  // below the music folder's Rock/Classic/
    QTest::addColumn<QString>("banner");
    const QString st = "The Stones Of Time";
    const QStringList all = {"", "Fragments", "Gold", "Granite", "Greatest Hits", "Húsið",
                             "Lone Album", "Loud Nights", "Music of the Night", "Pebbles",
                             "Untitled Sessions", "Группа крови", "音楽図鑑"};
    const QStringList granite = {"First Stone", "Second Stone", "Third Stone"};
    const QString g = st + "/Granite/0", p = st + "/Pebbles/01 Small Stone.flac";
    QTest::addRow("nothing selected") << QStringList() << all << QStringList() << QStringList() << "";
    QTest::addRow("artist narrows") << QStringList{"artist:" + st} << QStringList{"Granite", "Pebbles"} << QStringList() << QStringList() << "";
    QTest::addRow("album lists songs") << QStringList{"artist:" + st, "album:Granite"} << QStringList{"Granite", "Pebbles"} << granite << QStringList() << "";
    QTest::addRow("second click widens")
            << QStringList{"artist:" + st, "album:Granite", "artist:" + st} << all << QStringList() << QStringList() << "";
    QTest::addRow("albums sorted, untitled by path") << QStringList{"artist:Loose Ends", "album:Fragments"}
            << QStringList{"", "Fragments"} << QStringList{"Misc/No Title.flac"} << QStringList() << "";
    QTest::addRow("no artist: only songs without one")
            << QStringList{"album:Untitled Sessions"} << all << QStringList{"No Artist Song"} << QStringList() << "";
    QTest::addRow("no artist: none") << QStringList{"album:Greatest Hits"} << all << QStringList() << QStringList() << "";
    QTest::addRow("add nothing") << QStringList{"add:artistList"} << all << QStringList() << QStringList() << "";
    QTest::addRow("add artist") << QStringList{"artist:" + st, "add:artistList"} << QStringList{"Granite", "Pebbles"} << QStringList()
            << QStringList{g + "1 First Stone.flac", g + "2 Second Stone.flac", g + "3 Third Stone.flac", p}
            << "Added all songs from artist \"The Stones Of Time\" to playlist!";
    QTest::addRow("add albums in selection order")
            << QStringList{"artist:" + st, "album:Pebbles", "album:+Granite", "add:albumList"} << QStringList{"Granite", "Pebbles"} << granite
            << QStringList{p, g + "1 First Stone.flac", g + "2 Second Stone.flac", g + "3 Third Stone.flac"}
            << "Added songs from 2 albums to playlist!";
    QTest::addRow("add albums without artist") << QStringList{"album:Granite", "add:albumList"} << all << QStringList()
            << QStringList() << "Invalid selection. Please select one artist.";
    QTest::addRow("add tracks in selection order")
            << QStringList{"artist:" + st, "album:Granite", "track:Third Stone", "track:+First Stone", "add:trackList"}
            << QStringList{"Granite", "Pebbles"} << granite << QStringList{g + "3 Third Stone.flac", g + "1 First Stone.flac"}
            << "Added 2 songs from \"The Stones Of Time - Granite\" to playlist!";
    QTest::addRow("add tracks of two albums")
            << QStringList{"artist:" + st, "album:Granite", "album:+Pebbles", "add:trackList"} << QStringList{"Granite", "Pebbles"}
            << QStringList{"Small Stone"} << QStringList() << "Invalid selection. Please select one and only one album.";
    QTest::addRow("add tracks without artist") << QStringList{"album:Granite", "add:trackList"} << all << QStringList()
            << QStringList() << "Invalid selection. Please select one artist.";
}

void TestCollection::browse()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, albums);
    QFETCH(QStringList, tracks);
    QFETCH(QStringList, queued);
    QFETCH(QString, banner);
    QVERIFY(openWindow());
    QVERIFY(f.connect());
    QVERIFY(f.bannerShows("Collection built succesfully!"));
    QVERIFY(f.widget("filebrowserTab")->isEnabled());
    QCOMPARE(f.rows("artistList").size(), 12);
    for (const QString &step : steps) {
        const QString list = step.section(':', 0, 0) + "List", name = step.section(':', 1);
        if (list == "addList")
            addAction(qPrintable(name))->trigger();
        else if (name.startsWith('+'))
            QVERIFY(f.click(qPrintable(list), name.mid(1), Qt::ControlModifier));
        else
            QVERIFY2(f.click(qPrintable(list), name), qPrintable(step));
    }
    QCOMPARE(f.rows("albumList"), albums);
    QCOMPARE(f.rows("trackList"), tracks);
    QCOMPARE(f.server.queue().replaceInStrings("Music/Rock/Classic/", ""), queued);
    if (!banner.isEmpty())
        QVERIFY(f.bannerShows(banner));
    else
        QVERIFY(f.banners().filter("Added").isEmpty());
}

void TestCollection::databaseUpdateRebuilds()
{
    const QString copy = f.musicDir() + "/Root Song Again.flac";
    const auto restore = qScopeGuard([&] { QFile::remove(copy); f.server.updateDatabase(); });
    QVERIFY(openWindow());
    QVERIFY(f.connect());
    const auto rootSongs = [this] {
        return f.click("artistList", "ABBA") && f.click("artistList", "Solo Artist")
                        && f.click("albumList", "Lone Album")
                ? f.rows("trackList") : QStringList("not found");
    };
    // Another client's update, over before the window's next poll: only the database changed.
    QVERIFY(QFile::copy(f.musicDir() + "/Root Song.flac", copy));
    QVERIFY(f.server.updateDatabase());
    QTRY_VERIFY_WITH_TIMEOUT(f.bannerShows("Database updated, rebuilding collection..."), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!f.window->findChild<BusyIndicator *>()->isRunning(), 10000);
    QCOMPARE(rootSongs(), QStringList({"Root Song", "Root Song"}));
    // The window's own update; the rebuild reads the server, not the fresh cache.
    QVERIFY(QFile::remove(copy));
    QSignalSpy rebuilt(f.widget<QListView>("artistList")->model(), &QAbstractItemModel::modelReset);
    f.widget<QAction>("action_Update_database")->trigger();
    QVERIFY(rebuilt.wait(20000));
    QCOMPARE(rootSongs(), QStringList({"Root Song"}));
}

void TestCollection::windowKeepsPollingDuringLongBuild()
{
    MpdFixture &mpd = bigServer();
    QVERIFY(openWindow() && mpd.resetState());
    auto *busy = f.window->findChild<BusyIndicator *>();
    // The first build is cut short; its late report must not hold up the second.
    QVERIFY(f.window->connectMPD(mpd.host(), mpd.port(), QString()));
    f.widget<QAction>("actionDisconnect")->trigger();
    QVERIFY(f.window->connectMPD(mpd.host(), mpd.port(), QString()));
    QVERIFY(busy->isRunning());
    QVERIFY(!f.widget("tabCollection")->isEnabled() && !f.widget("filebrowserTab")->isEnabled());
    QVERIFY(!f.widget<QAction>("action_Update_database")->isEnabled());
    addAction("artistList")->trigger();
    QVERIFY(f.bannerShows("Cannot perform operation while building collection. Sorry."));
    // A change on the server reaches the window while the build still runs.
    QVERIFY(mpd.send("setvol 37"));
    QTRY_COMPARE_WITH_TIMEOUT(f.widget<QSlider>("volumeSlider")->value(), 37, 5000);
    QVERIFY2(busy->isRunning(), "the build ended too soon to tell");
    QTRY_VERIFY_WITH_TIMEOUT(!busy->isRunning(), BuildTimeoutMs);
    QVERIFY(f.bannerShows("Collection built succesfully!"));
    QVERIFY(f.rows("artistList").contains(TestLibrary::syntheticArtist(0)));
    QVERIFY(f.rows("albumList").size() > BigLibrarySongs / 20);
}

void TestCollection::interruptedBuild_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"reconnect elsewhere", "disconnect", "close", "kill"})
        QTest::addRow("%s", how) << QString(how);
}

void TestCollection::interruptedBuild()
{
    QFETCH(QString, how);
    MpdFixture &mpd = bigServer();
    // A stale cache of three songs makes the build ask the server; it must survive.
    writeCache({QmpdSong(-1, 1, "Old", "Cached", "1", "old.flac", "", "Old")});
    QVERIFY(setSongsFileTime(1000000000));
    const QByteArray cache = cacheBytes();
    QVERIFY(openWindow() && mpd.resetState());
    QStringList shown;
    connect(f.widget<QListView>("artistList")->model(), &QAbstractItemModel::modelReset, this,
            [&] { shown += f.rows("artistList"); });
    auto *busy = f.window->findChild<BusyIndicator *>();
    QVERIFY(f.window->connectMPD(mpd.host(), mpd.port(), QString()) && busy->isRunning());
    if (how == "close") {
        f.window.reset();
        QCoreApplication::processEvents();  // the build's late notice finds no window
    } else if (how == "kill") {
        mpd.kill();
        f.verifyDisconnectedAfterOneBox();
    } else {
        f.widget<QAction>("actionDisconnect")->trigger();
        QCOMPARE(f.rows("artistList"), QStringList());
        if (how == "reconnect elsewhere")
            QVERIFY(f.window->connectMPD(f.server.host(), f.server.port(), QString()));
    }
    if (f.window)
        QTRY_VERIFY_WITH_TIMEOUT(!busy->isRunning(), BuildTimeoutMs);
    QVERIFY(!shown.contains(TestLibrary::syntheticArtist(0)));
    if (how != "reconnect elsewhere")
        QCOMPARE(cacheBytes(), cache);
    if (how == "disconnect") {
        QCOMPARE(f.rows("artistList") + f.rows("albumList"), QStringList());
        QVERIFY(!f.widget<QAction>("action_Update_database")->isEnabled());
        QVERIFY(!f.bannerShows("Collection built succesfully!"));
    } else if (how == "reconnect elsewhere") {
        // The list is the new server's: adding from it adds its songs.
        QCOMPARE(f.rows("artistList").size(), 12);
        QVERIFY(f.widget("tabCollection")->isEnabled());
        QVERIFY(f.click("artistList", "The Stones Of Time"));
        addAction("artistList")->trigger();
        QCOMPARE(f.server.queue().size(), 4);
    } else if (how == "kill") {
        f.reconnectFromDialog(mpd);
        QVERIFY(f.rows("artistList").contains(TestLibrary::syntheticArtist(0)));
        expectedBoxes = {"Connect"};
    }
}

void TestCollection::quitDuringWork_data()
{
    QTest::addColumn<QString>("mode");
    for (const char *mode : {"build", "cover", "update"})
        QTest::addRow("%s", mode) << QString(mode);
}

// The real window in its own process, closed during work, exits at once and cleanly. A hang
// would wait for the work (a cover download gives up after 15 s): the bound is well below that
// and far above a quiet quit.
void TestCollection::quitDuringWork()
{
    QFETCH(QString, mode);
    QTemporaryDir slowDir, home;
    MpdFixture slow;
    MpdFixture *mpd = mode == "build" ? &bigServer() : &f.server;
    QVERIFY(mpd->resetState());
    if (mode == "cover") {
        QVERIFY(mpd->add({"Root Song.flac"}) && mpd->send("play 0"));
    } else if (mode == "update") {
        // Thousands of empty ".flac" files that fail to decode keep an update busy.
        QVERIFY(slow.start(slowDir.path()) && QDir().mkpath(slowDir.filePath("Junk")));
        for (int i = 0; i < 20000; ++i)
            QVERIFY(QFile(slowDir.filePath(QString("Junk/%1.flac").arg(i))).open(QIODevice::WriteOnly));
        mpd = &slow;
    }
    {
        QSettings settings(home.filePath(".config/tuneloom/config.conf"), QSettings::IniFormat);
        settings.setValue(SettingsKey::AutoconnectHost, mpd->host());
        settings.setValue(SettingsKey::AutoconnectPort, mpd->port());
    }
    QProcess driver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    driver.setProcessEnvironment(environment);
    driver.start(QUIT_DRIVER, {mode});
    QVERIFY(QTest::qWaitFor([&] { return driver.canReadLine() || driver.state() == QProcess::NotRunning; }, BuildTimeoutMs));
    const bool updating = !mpd->statusValue("updating_db").isEmpty();
    const bool exited = driver.waitForFinished(10000);
    if (!exited)
        driver.kill();
    driver.waitForFinished(5000);
    const QByteArray errors = driver.readAllStandardError();
    QCOMPARE(driver.readAllStandardOutput(), "closing\n");
    QVERIFY(exited);
    QVERIFY2(driver.exitStatus() == QProcess::NormalExit && driver.exitCode() == 0, errors);
    for (const char *report : {"Sanitizer", "runtime error", "QThread: Destroyed"})
        QVERIFY2(!errors.contains(report), errors);
    QVERIFY2(mode != "update" || updating, "the update ended before the window closed");
}

void TestCollection::updateDuringBuildIsFollowedByAnotherBuild()
{
    MpdFixture &mpd = bigServer();
    // The rescan empties the synthetic database: this test comes last.
    QVERIFY(openWindow() && mpd.resetState());
    QVERIFY(f.window->connectMPD(mpd.host(), mpd.port(), QString()));
    QVERIFY(!mpd.command("update").isEmpty());
    // mpd's update thread runs at idle priority: it may end only with the build.
    QTRY_VERIFY_WITH_TIMEOUT(f.bannerShows("Database updated, rebuilding collection..."), BuildTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!f.window->findChild<BusyIndicator *>()->isRunning(), BuildTimeoutMs);
    QVERIFY(f.bannerShows("Collection built succesfully!"));
    QCOMPARE(f.rows("artistList") + f.rows("albumList"), QStringList());
    for (CollectionCache::File file : cacheFiles)
        QCOMPARE(readFile(CollectionCache(host).filePath(file)), QByteArray());
}

TUNELOOM_TEST_MAIN(TestCollection)
#include "tst_collection.moc"
