// The collection: its cache files, the builder against real servers, the window's collection tab,
// and what happens when the server, the listing or the user interrupts a build.
#include "ui/busyindicator.h"
#include "collection/collectioncachewriter.h"
#include "fakempd.h"
#include "core/qmpd.h"
#include "collection/songdecoder.h"
#include "testmain.h"
#include "windowfixture.h"

#include "collection/collectionbuilder.h"

#include <QScopeGuard>
#include <QSlider>

#include <libmpd/libmpd.h>

namespace {

using Cache = CollectionCache;
const QString host = "127.0.0.1";
const Cache::File cacheFiles[] = {Cache::Artists, Cache::Albums, Cache::ArtistAlbums, Cache::Songs};
constexpr int BuildTimeoutMs = 120000;

QString cachePath(Cache::File file) { return Cache(host).filePath(file); }

QByteArray readCache(Cache::File file)
{
    QFile in(cachePath(file));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
}

bool writeCache(Cache::File file, const QByteArray &bytes)
{
    QFile out(cachePath(file));
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size();
}

QByteArray cacheBytes()  // the four files with their times
{
    QByteArray all;
    for (Cache::File file : cacheFiles)
        all += QFileInfo(cachePath(file)).lastModified().toString().toUtf8() + readCache(file);
    return all;
}

// Dates the songs file `age` seconds after the server's last database update, or after 1970.
bool ageCache(const MpdFixture *server, qint64 age)
{
    for (const QString &line : server ? server->command("stats") : QStringList())
        age += line.startsWith("db_update: ") ? line.mid(11).toLongLong() : 0;
    QFile songs(cachePath(Cache::Songs));
    return songs.open(QIODevice::ReadWrite)
            && songs.setFileTime(QDateTime::fromSecsSinceEpoch(age), QFileDevice::FileModificationTime);
}

QStringList texts(const QList<QmpdSong> &songs)
{
    QStringList lines;
    for (const QmpdSong &s : songs)
        lines << QStringList{QString::number(s.id), QString::number(s.time), s.artist, s.title,
                             s.track, s.file, s.date, s.album, s.timeText()}.join('|');
    return lines;
}

template<typename Index> QStringList allSongs(const Index &index) { return texts(index.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING)); }

// Everything the queries answer, as text: equal texts mean equal indexes.
template<typename Index> QStringList describe(const Index &index)
{
    QStringList lines = index.getArtists() + index.getAlbums(NULL_ARTIST_OR_ALBUM_STRING);
    for (const QString &artist : index.getArtists()) {
        lines << "artist " + artist + ": " + index.getAlbums(artist).join('|');
        for (const QString &album : index.getAlbums(artist))
            lines << texts(index.getSongs(artist, album));
    }
    return lines + allSongs(index);
}

// A build, then everything its index answers; "failed" when it did not succeed.
QStringList build(CollectionBuilder &builder, int port, bool force, const QString &hostName = host)
{
    QSignalSpy finished(&builder, &CollectionBuilder::finished);
    builder.setServer(hostName, port, QString());
    builder.setForceFromMPD(force);
    builder.start();
    const bool ended = finished.wait(BuildTimeoutMs) && builder.wait(5000) && finished.size() == 1;
    return ended && !builder.lastBuildFailed() ? describe(builder) : QStringList("failed");
}

CollectionIndex writeSongs(const QList<QmpdSong> &songs, const QString &hostName = host)
{
    CollectionIndex index;
    CollectionCacheWriter writer((Cache(hostName)));
    writer.open();
    for (const QmpdSong &song : songs)
        writer.addSong(song, index.addSong(song));
    writer.commit();
    index.sortNames();
    return index;
}

// A damaged copy of a file: random bytes, or a good file cut, flipped, broken or stretched.
QByteArray damaged(QRandomGenerator &random, QByteArray bytes, int kind)
{
    const auto at = [&] { return int(random.bounded(bytes.size() + 1)); };
    const char tricky[] = "\n\n\t\r\x1b\0\xff\xfe\xc3\xa9\xe2\x82\xef\xbb\xbf" "09-+ aZ";
    QList<QByteArray> lines = bytes.split('\n');
    switch (kind) {
    case 0:
        bytes.resize(random.bounded(65536));
        for (char &byte : bytes)
            byte = tricky[random.bounded(int(sizeof tricky) - 1)];
        return bytes;
    case 1: return bytes.left(at());
    case 2:
        for (int i = random.bounded(20); i >= 0 && !bytes.isEmpty(); --i)
            bytes[random.bounded(bytes.size())] = char(random.bounded(256));
        return bytes;
    case 3:
        for (const char *bad : {"\xff", "\xc3", "\xed\xa0\x80", "\xc0\x80", "\x80\x80"})
            bytes.insert(at(), bad);
        return bytes;
    case 4: return bytes.replace("\n", random.bounded(2) ? "\r\n" : "\r\r\n").insert(at(), '\r');
    case 5:
        lines.removeAt(random.bounded(lines.size()));
        lines.insert(random.bounded(lines.size() + 1), "stray\tline");
        return lines.join('\n');
    default: return bytes.insert(at(), QByteArray(1 << 20, 'm'));
    }
}

qsizetype lineCount(QByteArray bytes)
{
    bytes.remove(0, bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0);
    return bytes.count('\n') + (!bytes.isEmpty() && !bytes.endsWith('\n'));
}

}  // namespace

class TestCollection : public QObject
{
    Q_OBJECT

    WindowFixture f;
    QTemporaryDir bigDir;
    std::unique_ptr<MpdFixture> big;
    QStringList expectedBoxes;

    MpdFixture &bigServer()
    {
        if (!big)
            big = TestLibrary::startSyntheticServer(bigDir.path(), 300000);
        if (!big->isRunning() && !big->restart())
            qFatal("big mpd: %s", qPrintable(big->errorString()));
        return *big;
    }

private slots:
    void initTestCase() { QVERIFY2(f.startServer(), qPrintable(f.server.errorString())); }
    void init() { QVERIFY(WindowFixture::resetHome()); }
    void cleanup() { QCOMPARE(f.close(), expectedBoxes); expectedBoxes.clear(); }

    void oddCacheFiles_data()
    {
        QTest::addColumn<QByteArrayList>("files");  // artists, artist-album pairs, songs
        QTest::addColumn<QStringList>("loadedArtists");  // then the albums of "b"
        QTest::addColumn<QStringList>("loadedSongs");
        const QByteArray mib(1 << 20, 'm');
        const QString bad(QChar::ReplacementCharacter);
        QTest::addRow("unsorted names, CRLF, bad numbers, a record cut short")
                << QByteArrayList{"b\r\nA\r\na\r\n", "b\n\tz\nA\n", "b\nz\n\t1x\n\t\t12\n\tT\n\t1\n\tf.flac\n\t2000\nA\n\n\t5\n"}
                << QStringList{"A", "a", "b", "z"} << QStringList{"0|12|b|T|1|f.flac|2000|z|0:12", "5|0|A||||||0:00"};
        QTest::addRow("1 MiB lines") << QByteArrayList{mib + '\n', "", "a\nb\n\t1\n\t2\n\t" + mib + "\n\t\n\t\n\t\n"}
                                     << QStringList(QString(mib)) << QStringList("1|2|a|" + QString(mib) + "||||b|0:02");
        QTest::addRow("invalid UTF-8") << QByteArrayList{"\xff\xfe\n\xc3(\n", "", "a\nb\n\t1\n\t2\n\t\xed\xa0\x80!\n"}
                << QStringList{bad + '(', bad + bad} << QStringList("1|2|a|" + bad.repeated(3) + "!||||b|0:02");
        QTest::addRow("only byte-order marks") << QByteArrayList{"\xEF\xBB\xBF", "", "\xEF\xBB\xBF"} << QStringList() << QStringList();
        QTest::addRow("CR alone ends no line, NUL stays; nine lines: a record and a stray line")
                << QByteArrayList{QByteArray("one\rtwo\r\na\0b\n", 13), "", "a\nb\n\t1\n\t2\n\tT\n\t\n\tf\n\t\nstray\n"}
                << QStringList{QString::fromLatin1("a\0b", 3), "onetwo"} << QStringList{"1|2|a|T||f||b|0:02", "0|0|stray||||||0:00"};
        QTest::addRow("blank lines, no final line feed, escapes at line ends") << QByteArrayList{"\n\nlast\nabc\x1b\n\x1b", "", ""}
                << QStringList{"", "", "\x1b", "abc\x1b", "last"} << QStringList();
    }

    void oddCacheFiles()
    {
        QFETCH(QByteArrayList, files);
        QVERIFY(Cache::makeDirectory() && writeCache(Cache::Artists, files[0])
                && writeCache(Cache::ArtistAlbums, files[1]) && writeCache(Cache::Songs, files[2]));
        const CollectionIndex index = Cache(host).load();
        QTEST(index.getArtists() + index.getAlbums("b"), "loadedArtists");
        QTEST(allSongs(index), "loadedSongs");
    }

    // Every value comes back as written (mpd makes control characters spaces; a cache may hold them).
    // Whatever damaged copies hold, the index has a name per line of the artists and albums files, a
    // song per started eight lines of the songs file, and every song under its own artist and album.
    void damagedCache()
    {
        const QStringList values = {"\tlead", "trail\t", "\t", "two\nlines", "old\r\nmac\r", "\n\n",
                                    "esc\x1bn", "C:\\new\\road", QString(10000, 'w'), QString(),
                                    QString(QChar::ReplacementCharacter)};
        QList<QmpdSong> songs;
        for (int i = 0; i < values.size(); ++i)
            songs << QmpdSong(i, i, values[i], values[i], values[i], values[i] + QString::number(i), values[i], values[i])
                  << QmpdSong(-1, 65, "Plain", values[i], "3/12", QString("f%1").arg(i), "2001", "Album");
        const CollectionIndex built = writeSongs(songs);
        QVERIFY(readCache(Cache::Songs).contains("\nPlain\nAlbum\n\t-1\n\t65\n\ttrail\t\n\t3/12\n\tf1\n\t2001\n"));
        QCOMPARE(describe(Cache(host).load()), describe(built));
        QByteArray good[4], written[4];
        for (Cache::File file : cacheFiles)
            good[file] = readCache(file);
        QRandomGenerator random(20240601);
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
        // random bytes, truncated, flipped bytes, invalid UTF-8, CRLF and lone CR, lost and extra lines, 1 MiB lines
        for (int kind = 0; kind < 7; ++kind)
        for (int round = 0; round < (kind == 6 ? 5 : 30); ++round) {
            for (Cache::File file : cacheFiles)
                QVERIFY(writeCache(file, written[file] = damaged(random, good[file], kind)));
            const CollectionIndex index = Cache(host).load();
            const QList<QmpdSong> found = index.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING);
            QVERIFY2(index.getArtists().size() == lineCount(written[Cache::Artists])
                             && index.getAlbums(NULL_ARTIST_OR_ALBUM_STRING).size() == lineCount(written[Cache::Albums])
                             && found.size() == (lineCount(written[Cache::Songs]) + 7) / 8,
                     qPrintable(QString("kind %1, round %2").arg(kind).arg(round)));
            for (const QmpdSong &song : found)
                QVERIFY(texts(index.getSongs(song.artist, song.album)).contains(texts({song}).first()));
        }
    }

    // The standard library's index; then where a build takes it from, told by a marker only the cache knows.
    void cacheOrServer()
    {
        CollectionBuilder builder;
        const QStringList fromServer = build(builder, f.server.port(), true);
        QCOMPARE(builder.getSongs("Abba", "Greatest Hits").size(), 1);  // one album name, two artists
        QCOMPARE(builder.getSongs("Bright Signal", "Greatest Hits").size(), 2);
        QVERIFY(builder.getAlbums("Nobody").isEmpty() && builder.getSongs("Nobody", "Gold").isEmpty());
        const QRegularExpression file(R"(^(?:[^|]*\|){5}([^|]*)\|.*)");  // every song's, in listing order
        QCOMPARE(allSongs(builder).replaceInStrings(file, "\\1"), f.server.mpc({"listall"}));
        QCOMPARE(texts(builder.getSongs("Mötley Crüe", "Loud Nights")),
                 QStringList("-1|240|Mötley Crüe|Crüe Anthem|1|Music/Rock/Classic/Mötley Crüe/Loud "
                             "Nights/01 Crüe Anthem.flac|1985|Loud Nights|4:00"));
        const struct { int cacheAge; bool force; QString hostName; bool fromCache; } cases[] = {
                {60, false, host, true}, {0, false, host, false}, {-1, false, host, false},
                {60, true, host, false}, {60, false, "localhost", false}};  // same server, other name
        for (const auto &c : cases) {
            QCOMPARE(build(builder, f.server.port(), true), fromServer);
            const QByteArray written = readCache(Cache::Artists);
            QVERIFY(writeCache(Cache::Artists, written + "Only In The Cache\n") && ageCache(&f.server, c.cacheAge));
            QStringList index = build(builder, f.server.port(), c.force, c.hostName);
            QCOMPARE(index.removeIf([](const QString &l) { return l.contains("Only In The Cache"); }) > 0, c.fromCache);
            QCOMPARE(index, fromServer);
            QVERIFY(c.fromCache || c.hostName != host || readCache(Cache::Artists) == written);
        }
        // The cache directory is private, and a host that looks like a path stays a file name in it.
        writeSongs({}, "unix/../../socket");
        QCOMPARE(QFileInfo(Cache::directory()).permissions() & 0x0077, QFile::Permissions());
        QCOMPARE(QDir(Cache::directory()).entryList(QDir::Files | QDir::Hidden).size(), 15);
    }

    void listingInPiecesEqualsAWholeListing()
    {
        // Songs at every depth, no directory big but the whole more than the cramped server sends.
        QTemporaryDir dir;
        QVERIFY(TestLibrary::writeDatabase(dir.filePath("mixed.db"), 3033, [](int i) {
            const int group = (i - 3) / 51, at = (i - 3) % 51;
            const QByteArray path = i < 3 ? "" : i >= 1533 ? "Beta/Leaf " + QByteArray::number(i / 25) + '/'
                    : "Alpha/Group " + QByteArray::number(group) + (at == 0 ? "/" : at < 41 ? "/Album/" : "/Album/Bonus/");
            const QByteArray artist = i % 11 == 4 ? "" : "Artist: Artist " + QByteArray::number(i % 40) + '\n';
            return TestLibrary::Song{path + QByteArray::number(i) + ".flac", artist + "Album: Album "
                    + QByteArray::number(i % 7) + "\nTitle: T" + QByteArray::number(i) + '\n', 60 + i % 300};
        }));
        QFile db(dir.filePath("mixed.db"));  // and repeated tags, no time, a zero time
        QVERIFY(db.open(QIODevice::Append) && db.write(
                "directory: E\nmtime: 1600000000\nbegin: E\nsong_begin: guests.flac\nTime: 61.400000\n"
                "Artist: Main\nArtist: Guest\nArtist: Ärtist\nAlbum: First\nAlbum: Second\nTitle: One\n"
                "Title: Two\nTrack: 3\nTrack: 4/12\nDate: 2001\nDate: 2002\nmtime: 1600000000\nsong_end\n"
                "song_begin: untimed.flac\nArtist: Only\nmtime: 1600000000\nsong_end\nsong_begin: zero.flac\n"
                "Time: 0.000000\nmtime: 1600000000\nsong_end\nend: E\n") > 0 && db.flush());
        auto roomy = TestLibrary::startServer(dir.filePath("mixed.db"));
        auto cramped = TestLibrary::startServer(dir.filePath("mixed.db"), 64);
        QVERIFY(cramped->command("listallinfo").isEmpty());  // it really refuses the whole listing
        CollectionBuilder builder;
        const QStringList whole = build(builder, roomy->port(), true);
        const QByteArray wholeCache = readCache(Cache::Songs);
        QCOMPARE(describe(Cache(host).load()), whole);  // big enough for both loading threads to share it
        // libmpd's listing, which the rest of the window reads, decodes every field alike.
        std::unique_ptr<MpdObj, void (*)(MpdObj *)> connection(mpd_new(host.toLatin1().data(), roomy->port(), nullptr), mpd_free);
        QCOMPARE(mpd_connect(connection.get()), MPD_OK);
        SongDecoder decoder;
        QList<QmpdSong> listed;
        for (MpdData *entry = mpd_database_get_complete(connection.get()); entry; entry = mpd_data_get_next(entry))
            listed << decoder.decode(*entry->song);
        QCOMPARE(allSongs(builder), texts(listed));
        QCOMPARE(build(builder, cramped->port(), true), whole);
        QCOMPARE(readCache(Cache::Songs), wholeCache);
    }

    // What each song is given, and what mpd 0.23 serves: control characters as spaces, most invalid
    // UTF-8 as "?", empty and blank tags left out, file names as stored. Beside them, 12,000 paths of
    // about 200 bytes: over the server's 2 MiB command-list limit, under its 16,384-song playlist limit.
    void oddServerTagsStayConsistent()
    {
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
        const QStringList served = {"D/bad" + R + "name.flac|Odd Names||t3", "D/blank.flac||Blank|",
                                    "D/control.flac|Tab here|CR here|E [1m", "D/empty.flac|||",
                                    "D/invalid.flac|Bad ??|?(|x" + R + R + R, "D/long.flac|" + l + '|' + l + '|' + l,
                                    "D/" + QString(5000, 'n') + ".flac|Odd Names||t2", "D/tab\tand\rCR.flac|Odd Names||t1"};
        QStringList paths;
        for (int i = 0; i < 12000; ++i)
            paths << QString("Long %1 %2/Song %3.flac").arg(QString(180, 'x')).arg(i / 600).arg(i);
        QTemporaryDir dir;
        QVERIFY(TestLibrary::writeDatabase(dir.filePath("odd.db"), int(raw.size() + paths.size()), [&](int i) {
            return i < raw.size() ? raw.at(i) : TestLibrary::Song{paths.at(i - raw.size()).toUtf8(), "Title: T\n"};
        }));
        auto mpd = TestLibrary::startServer(dir.filePath("odd.db"));
        CollectionBuilder builder;
        const QStringList fromServer = build(builder, mpd->port(), true);
        QStringList songs;
        for (const QmpdSong &song : builder.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING))
            songs << QStringList{song.file, song.artist, song.album, song.title}.join('|');
        songs.sort();
        QCOMPARE(songs.filter(QRegularExpression("^D/")), served);
        QVERIFY(ageCache(mpd.get(), 60));
        QCOMPARE(build(builder, mpd->port(), false), fromServer);
        // The window shows the same lists, and its playlist follows the server's.
        QVERIFY(f.open() && f.connect(*mpd));
        QCOMPARE(f.rows("artistList") + f.rows("albumList"), builder.getArtists() + builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING));
        QVERIFY(f.click("artistList", l) && f.click("albumList", l));
        QCOMPARE(f.rows("trackList"), QStringList(l));
        QVERIFY(f.click("artistList", "Odd Names") && f.click("albumList", ""));
        QCOMPARE(f.rows("trackList"), QStringList({"t1", "t2", "t3"}));
        QVERIFY(mpd->add({"D"}));
        QTRY_COMPARE_WITH_TIMEOUT(f.rows("playlistTableview").size(), 8, 5000);
        QVERIFY(mpd->send("clear"));
        QTRY_COMPARE_WITH_TIMEOUT(f.rows("playlistTableview").size(), 0, 5000);
        QCOMPARE(f.close(), QStringList());  // before its server goes
        // Many paths go in batches, in order; one the server does not know ends its batch and the adding.
        Qmpd connection(ConnectAttempt::connectNow({host, mpd->port(), QString()}).connection);
        QVERIFY(connection.addPaths(paths));
        QCOMPARE(mpd->queue(), paths);
        paths.insert(100, "Missing/Song.flac");
        QVERIFY(mpd->resetState() && !connection.addPaths(paths));
        QCOMPARE(mpd->queue(), paths.mid(0, 100));
    }

    void unreadableFolder_data()
    {
        QTest::addColumn<QString>("server");  // a fakempd.py scenario, or "cramped" for a real mpd
        QTest::addColumn<QString>("banner");
        QTest::addColumn<QStringList>("artists");
        QTest::addColumn<int>("songs");
        QTest::addRow("a 1 MiB tag") << "huge-tag-listing" << R"(The folder "Huge" could not be read: its tags are too long)"
                                      << QStringList{"Alpha Artist", "Zeta Artist"} << 3;
        QTest::addRow("a folder over the server's output buffer") << "cramped" << R"(The folder "Crowded" could not be read)"
                                                                   << QStringList{"Fine"} << 2;
    }

    // A folder the server cannot list is left out; the rest is shown, and cached without it but
    // with a note of it that the next start, reading the cache, shows again.
    void unreadableFolder()
    {
        QFETCH(QString, server);
        QTemporaryDir dir;
        QVERIFY(TestLibrary::writeDatabase(dir.filePath("cramped.db"), 802, [](int i) {
            return TestLibrary::Song{(i < 2 ? "Fine/" : "Crowded/") + QByteArray::number(i) + ".flac",
                                     "Artist: " + (i < 2 ? "Fine" : QByteArray(200, 'c')) + '\n'};
        }));
        FakeMpd fake(server);
        std::unique_ptr<MpdFixture> cramped;
        if (server == "cramped")
            cramped = TestLibrary::startServer(dir.filePath("cramped.db"), 64);
        else
            QVERIFY2(fake.start(), qPrintable(fake.errorString()));
        const int port = cramped ? cramped->port() : fake.port();
        QVERIFY(f.open() && WindowTesting::connectAndWaitForCollection(f.window.get(), host, port));
        QTEST(f.rows("artistList"), "artists");
        QFETCH(QString, banner);
        QCOMPARE(f.banners().filter("could not be read"), QStringList(banner));
        QVERIFY(!f.bannerShows("Collection built succesfully!"));
        QFETCH(int, songs);
        const QByteArray cached = readCache(Cache::Songs);
        QVERIFY(!cached.contains("Huge/") && !cached.contains("Crowded/"));
        QCOMPARE(lineCount(cached), 8 * songs);  // eight lines a song, no stray ones
        QCOMPARE(allSongs(Cache(host).load()).size(), songs);
        QVERIFY(writeCache(Cache::Artists, readCache(Cache::Artists) + "Only In The Cache\n"));
        QVERIFY(!cramped || ageCache(cramped.get(), 60));  // mpd's update is of this second too
        QCOMPARE(f.close(), QStringList());
        QVERIFY(f.open() && WindowTesting::connectAndWaitForCollection(f.window.get(), host, port));
        QVERIFY(f.rows("artistList").contains("Only In The Cache"));
        QCOMPARE(f.banners().filter("could not be read"), QStringList(banner));
        QCOMPARE(f.close(), QStringList());  // before its server goes
    }

    void browse_data()
    {
        // Steps: "artist:NAME" / "album:NAME" / "track:NAME" click a row ("+" before the name adds it to
        // the selection, ST stands for The Stones Of Time); "add:LIST" triggers that list's Add action.
        // Then the album list, the track list, the titles of the queued files and the add banner.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("shown");
        const auto row = [](const char *name, const QString &steps, const QString &albums, const QString &tracks,
                            const QString &queued = {}, const QString &banner = {}) {
            QTest::addRow("%s", name) << steps << QStringList{albums, tracks, queued, banner};
        };
        const QString all = ",Fragments,Gold,Granite,Greatest Hits,Húsið,Lone Album,Loud Nights,Music of the Night,"
                            "Pebbles,Untitled Sessions,Группа крови,音楽図鑑";
        const QString two = "Granite,Pebbles", granite = "First Stone,Second Stone,Third Stone";
        const QString noArtist = "Invalid selection. Please select one artist.";
        row("second click widens", "artist:ST;album:Granite;artist:ST", all, "");
        row("albums sorted, untitled by path", "artist:Loose Ends;album:Fragments", ",Fragments", "Misc/No Title.flac");
        row("no artist: only songs without one", "album:Untitled Sessions", all, "No Artist Song");
        row("no artist: none, add nothing", "album:Greatest Hits;add:artist", all, "");
        row("add artist", "artist:ST;add:artist", two, "", granite + ",Small Stone",
            "Added all songs from artist \"The Stones Of Time\" to playlist!");
        row("add albums in selection order", "artist:ST;album:Pebbles;album:+Granite;add:album", two, granite,
            "Small Stone," + granite, "Added songs from 2 albums to playlist!");
        row("add albums without artist", "album:Granite;add:album", all, "", "", noArtist);
        row("add tracks in selection order", "artist:ST;album:Granite;track:Third Stone;track:+First Stone;add:track",
            two, granite, "Third Stone,First Stone", "Added 2 songs from \"The Stones Of Time - Granite\" to playlist!");
        row("add tracks of two albums", "artist:ST;album:Granite;album:+Pebbles;add:track", two, "Small Stone", "",
            "Invalid selection. Please select one and only one album.");
        row("add tracks without artist", "album:Granite;add:track", all, "", "", noArtist);
    }

    void browse()
    {
        QFETCH(QString, steps);
        QVERIFY(f.open() && f.connect());
        QVERIFY(f.bannerShows("Collection built succesfully!") && f.widget("filebrowserTab")->isEnabled()
                && f.rows("artistList").size() == 12);
        for (const QString &step : QString(steps).replace("ST", "The Stones Of Time").split(';')) {
            const QString list = step.section(':', 0, 0) + "List", name = step.section(':', 1);
            if (list == "addList")
                f.widget(qPrintable(name + "List"))->actions().constFirst()->trigger();
            else
                QVERIFY2(f.click(qPrintable(list), name.mid(name.startsWith('+')),
                                 name.startsWith('+') ? Qt::ControlModifier : Qt::NoModifier), qPrintable(step));
        }
        QVERIFY(f.settle());
        const QStringList queued = f.server.queue().replaceInStrings(QRegularExpression(".*/\\d+ |\\.flac$"), "");
        QTEST(QStringList({f.rows("albumList").join(','), f.rows("trackList").join(','), queued.join(','),
                           f.banners().filter(QRegularExpression("^(Added|Invalid)")).join(',')}), "shown");
    }

    void databaseUpdateRebuilds()
    {
        const QString copy = f.musicDir() + "/Root Song Again.flac";
        const auto restore = qScopeGuard([&] { QFile::remove(copy); f.server.updateDatabase(); });
        QVERIFY(f.open() && f.connect());
        const auto rootSongs = [this] {  // another artist first: a second click on one shows all albums
            return f.click("artistList", "ABBA") && f.click("artistList", "Solo Artist")
                            && f.click("albumList", "Lone Album") ? f.rows("trackList") : QStringList("not found");
        };
        QVERIFY(QFile::copy(f.musicDir() + "/Root Song.flac", copy) && f.server.updateDatabase());
        QTRY_COMPARE_WITH_TIMEOUT(rootSongs(), QStringList({"Root Song", "Root Song"}), 10000);
        // The window's own update; the rebuild reads the server, not the fresh cache.
        QVERIFY(QFile::remove(copy));
        f.widget<QAction>("action_Update_database")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(rootSongs(), QStringList({"Root Song"}), 20000);
    }

    // The real window in its own process, closed during work, exits at once and cleanly. A hang would wait
    // for the work (a cover download gives up after 15 s): the bound is well below that, far above a quit.
    void quitDuringWork()
    {
        for (const QString mode : {"build", "cover", "update"}) {
            QTemporaryDir junk;
            MpdFixture slow;  // its update of thousands of empty ".flac" files that fail to decode takes long
            QVERIFY(mode != "update" || slow.start(junk.path()));
            for (int i = 0; mode == "update" && i < 20000; ++i)
                QVERIFY(QFile(junk.filePath(QString("%1.flac").arg(i))).open(QIODevice::WriteOnly));
            MpdFixture *mpd = mode == "build" ? &bigServer() : mode == "cover" ? &f.server : &slow;
            QVERIFY(mpd->resetState());
            if (mode == "cover")
                QVERIFY(mpd->add({"Root Song.flac"}) && mpd->send("play 0"));
            QProcess driver;  // killed by its destructor if it hangs
            driver.start(QUIT_DRIVER, {mode, QString::number(mpd->port())});
            QVERIFY(QTest::qWaitFor([&] { return driver.canReadLine() || driver.state() == QProcess::NotRunning; }, BuildTimeoutMs));
            const bool updating = !mpd->statusValue("updating_db").isEmpty();
            const bool exited = driver.state() == QProcess::NotRunning || driver.waitForFinished(10000);  // false once ended
            const QByteArray errors = driver.readAllStandardError();
            QCOMPARE(driver.readAllStandardOutput(), "closing\n");
            QVERIFY2(exited && driver.exitStatus() == QProcess::NormalExit && driver.exitCode() == 0
                             && !QRegularExpression("Sanitizer|runtime error|QThread: Destroyed").match(errors).hasMatch(),
                     qPrintable(mode + (exited ? " quit: " : " did not quit within 10 s: ") + QString::number(driver.exitStatus()) + "/" + QString::number(driver.exitCode()) + " " + errors));
            QVERIFY2(mode != "update" || updating, "the update ended before the window closed");
        }
    }

    void interruptedBuild_data()
    {
        QTest::addColumn<QString>("how");
        // The rescan of "update" empties the synthetic database: it comes last.
        for (const char *how : {"none", "reconnect elsewhere", "disconnect", "close", "kill", "update"})
            QTest::addRow("%s", how) << QString(how);
    }

    // A build from the big server (asked, for the cache is stale), and what the user, the server or
    // another client does meanwhile.
    void interruptedBuild()
    {
        QFETCH(QString, how);
        MpdFixture &mpd = bigServer();
        writeSongs({QmpdSong(-1, 1, "Old", "Cached", "1", "old.flac", "", "Old")});
        QVERIFY(ageCache(nullptr, 1000000000) && f.open() && mpd.resetState());
        const QByteArray cache = cacheBytes();
        QStringList shown;
        connect(f.widget<QAbstractItemView>("artistList")->model(), &QAbstractItemModel::modelReset, this,
                [&] { shown += f.rows("artistList"); });
        auto *busy = f.window->findChild<BusyIndicator *>();
        QVERIFY(WindowTesting::connectWindow(f.window.get(), mpd.host(), mpd.port()) && busy->isRunning());
        if (how == "none") {
            // The first build is cut short; its late report must not hold up the second.
            f.widget<QAction>("actionDisconnect")->trigger();
            QVERIFY(WindowTesting::connectWindow(f.window.get(), mpd.host(), mpd.port()) && busy->isRunning());
            QVERIFY(!f.widget("tabCollection")->isEnabled() && !f.widget("filebrowserTab")->isEnabled()
                    && !f.widget<QAction>("action_Update_database")->isEnabled());
            f.widget("artistList")->actions().constFirst()->trigger();
            QVERIFY(f.bannerShows("Cannot perform operation while building collection. Sorry."));
            // A change on the server reaches the window while the build still runs.
            QVERIFY(mpd.send("setvol 37"));
            QTRY_COMPARE_WITH_TIMEOUT(f.widget<QSlider>("volumeSlider")->value(), 37, 5000);
            QVERIFY2(busy->isRunning(), "the build ended too soon to tell");
        } else if (how == "update") {
            QVERIFY(!mpd.command("update").isEmpty());
            // mpd's update thread runs at idle priority: it may end only with the build.
            QTRY_VERIFY_WITH_TIMEOUT(f.bannerShows("Database updated, rebuilding collection..."), BuildTimeoutMs);
        } else if (how == "close") {
            f.window.reset();
            QCoreApplication::processEvents();  // the build's late notice finds no window
        } else if (how == "kill") {
            mpd.kill();
            f.verifyReconnectingWithoutBox();
        } else {
            f.widget<QAction>("actionDisconnect")->trigger();
            QCOMPARE(f.rows("artistList"), QStringList());
            if (how == "reconnect elsewhere")
                QVERIFY(WindowTesting::connectWindow(f.window.get(), f.server.host(), f.server.port()));
        }
        if (f.window)
            QTRY_VERIFY_WITH_TIMEOUT(!busy->isRunning(), BuildTimeoutMs);
        const bool completes = how == "none" || how == "update";
        QVERIFY(how == "update" || shown.contains(TestLibrary::syntheticArtist(0)) == completes);
        if (how == "disconnect" || how == "close" || how == "kill")
            QCOMPARE(cacheBytes(), cache);
        if (completes || how == "disconnect")
            QCOMPARE(f.bannerShows("Collection built succesfully!"), completes);
        QVERIFY(how != "none" || f.rows("albumList").size() > 15000);  // of 30,000
        if (how == "update" || how == "disconnect") {
            QCOMPARE(f.rows("artistList") + f.rows("albumList"), QStringList());
            QCOMPARE(f.widget<QAction>("action_Update_database")->isEnabled(), how == "update");
            QVERIFY(how != "update" || (readCache(Cache::Artists) + readCache(Cache::Songs)).isEmpty());
        } else if (how == "reconnect elsewhere") {
            // The list is the new server's: adding from it adds its songs.
            QVERIFY(f.widget("tabCollection")->isEnabled() && f.click("artistList", "The Stones Of Time"));
            f.widget("artistList")->actions().constFirst()->trigger();
            QVERIFY(f.settle());
            QCOMPARE(f.server.queue().size(), 4);
        } else if (how == "kill") {
            f.reconnectFromDialog(mpd);
            QVERIFY(f.rows("artistList").contains(TestLibrary::syntheticArtist(0)));
            expectedBoxes = {"Connect"};
        }
    }
};

TUNELOOM_TEST_MAIN(TestCollection)
#include "tst_collection.moc"
