#include "tst_badinput.h"

#include "badbytes.h"
#include "collectioncache.h"
#include "collectioncachewriter.h"
#include "infobanner.h"
#include "mainwindow.h"
#include "modalcloser.h"
#include "playlistitemdelegate.h"
#include "settingsstore.h"
#include "testmain.h"

#include <QAction>
#include <QDir>
#include <QScreen>

#include <memory>

namespace {

const QString host = QStringLiteral("fuzz.example");

const CollectionCache::File cacheFiles[] = {CollectionCache::Artists, CollectionCache::ArtistAlbums,
                                            CollectionCache::Albums, CollectionCache::Songs};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines as a text stream would count them: a byte-order mark is no line, a last line
// without a line feed is one.
qsizetype lineCount(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return bytes.count('\n') + (!bytes.isEmpty() && !bytes.endsWith('\n'));
}

bool sameSong(const QmpdSong &a, const QmpdSong &b)
{
    return a.id == b.id && a.time == b.time && a.artist == b.artist && a.title == b.title
            && a.track == b.track && a.file == b.file && a.date == b.date && a.album == b.album;
}

// A small well-formed cache, the material the damage is done to.
QList<QmpdSong> sampleSongs()
{
    QList<QmpdSong> songs;
    for (int i = 0; i < 40; ++i) {
        songs << QmpdSong(i, 60 + i, QStringLiteral("Artist %1").arg(i / 10),
                          QStringLiteral("Títle\t%1").arg(i), QString::number(i % 10 + 1),
                          QStringLiteral("dir/%1 file.flac").arg(i), QStringLiteral("1999"),
                          i % 7 == 3 ? QStringLiteral("Line\nbreak") : QStringLiteral("Album"));
    }
    return songs;
}

bool writeCache(const QList<QmpdSong> &songs)
{
    CollectionIndex index;
    CollectionCacheWriter writer((CollectionCache(host)));
    if (!writer.open())
        return false;
    for (const QmpdSong &song : songs)
        writer.addSong(song, index.addSong(song));
    return writer.commit();
}

// The loader reports each unreadable number on the debug channel; thousands of damaged
// records would bury the test's own output.
class QuietDebug
{
public:
    QuietDebug() { previous = qInstallMessageHandler(dropDebug); }
    ~QuietDebug() { qInstallMessageHandler(previous); }

private:
    static void dropDebug(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type != QtDebugMsg && previous)
            previous(type, context, text);
    }
    static inline QtMessageHandler previous = nullptr;
};

}  // namespace

void TestBadInput::initTestCase()
{
    QVERIFY(http.listen());
}

void TestBadInput::init()
{
    QVERIFY(QDir(QDir::homePath() + QStringLiteral("/.config/tuneloom")).removeRecursively());
    http.reset();
}

void TestBadInput::cacheLoaderSurvivesRandomBytes_data()
{
    QTest::addColumn<BadBytes::Damage>("damage");
    QTest::addColumn<int>("rounds");

    QTest::addRow("random bytes") << BadBytes::Damage::RandomBytes << 300;
    QTest::addRow("truncated records") << BadBytes::Damage::Truncated << 300;
    QTest::addRow("flipped bytes") << BadBytes::Damage::FlippedBytes << 300;
    QTest::addRow("invalid UTF-8") << BadBytes::Damage::InvalidUtf8 << 300;
    QTest::addRow("CRLF and lone CR") << BadBytes::Damage::CrlfEndings << 100;
    QTest::addRow("lost and extra lines") << BadBytes::Damage::LostLines << 300;
    QTest::addRow("1 MiB lines") << BadBytes::Damage::HugeLine << 10;
}

// Whatever the files hold, the index has one artist per line of the artists file, one
// album per line of the albums file, one song per started eight lines of the songs
// file, and every song is found under its own artist and album.
void TestBadInput::cacheLoaderSurvivesRandomBytes()
{
    QFETCH(BadBytes::Damage, damage);
    QFETCH(int, rounds);
    QVERIFY(writeCache(sampleSongs()));
    const CollectionCache cache(host);
    QByteArray good[4];
    for (CollectionCache::File file : cacheFiles)
        good[file] = readFile(cache.filePath(file));
    QVERIFY(!good[CollectionCache::Songs].isEmpty());

    BadBytes bad(20240601 + quint32(damage));
    const QuietDebug quiet;
    for (int round = 0; round < rounds; ++round) {
        QByteArray written[4];
        for (CollectionCache::File file : cacheFiles) {
            written[file] = bad.damaged(good[file], damage);
            QVERIFY(writeFile(cache.filePath(file), written[file]));
        }
        const CollectionIndex index = cache.load();

        const QString where = QStringLiteral("round %1").arg(round);
        QVERIFY2(index.getArtists().size() == lineCount(written[CollectionCache::Artists]),
                 qPrintable(where));
        QVERIFY2(index.getAlbums(NULL_ARTIST_OR_ALBUM_STRING).size()
                         == lineCount(written[CollectionCache::Albums]),
                 qPrintable(where));
        const QList<QmpdSong> songs = index.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING);
        QVERIFY2(songs.size() == (lineCount(written[CollectionCache::Songs]) + 7) / 8,
                 qPrintable(where));
        for (const QmpdSong &song : songs) {
            const QList<QmpdSong> pair = index.getSongs(song.artist, song.album);
            QVERIFY2(std::any_of(pair.cbegin(), pair.cend(),
                                 [&](const QmpdSong &other) { return sameSong(song, other); }),
                     qPrintable(where));
        }
    }
}

void TestBadInput::cacheLoaderReadsOddFilesPredictably_data()
{
    QTest::addColumn<QByteArray>("artistsFile");
    QTest::addColumn<QByteArray>("songsFile");
    QTest::addColumn<QStringList>("artists");
    QTest::addColumn<QStringList>("titles");

    const QByteArray mebibyte(1024 * 1024, 'm');
    const QString replacement(QChar::ReplacementCharacter);
    QTest::addRow("1 MiB lines") << mebibyte + '\n'
                                 << "a\nb\n\t1\n\t2\n\t" + mebibyte + "\n\t\n\t\n\t\n"
                                 << QStringList(QString(mebibyte))
                                 << QStringList(QString(mebibyte));
    QTest::addRow("invalid UTF-8")
            << QByteArray("\xff\xfe\n\xc3(\n") << QByteArray("a\nb\n\t1\n\t2\n\t\xed\xa0\x80!\n")
            << QStringList({replacement + '(', replacement + replacement})
            << QStringList(replacement.repeated(3) + '!');
    QTest::addRow("nine lines: a record and a stray line")
            << QByteArray() << QByteArray("a\nb\n\t1\n\t2\n\tT\n\t\n\tf\n\t\nstray\n")
            << QStringList() << QStringList({"T", ""});
    QTest::addRow("only a byte-order mark")
            << QByteArray("\xEF\xBB\xBF") << QByteArray("\xEF\xBB\xBF") << QStringList()
            << QStringList();
    QTest::addRow("old Mac line ends are no line ends")
            << QByteArray("one\rtwo\r") << QByteArray() << QStringList("onetwo") << QStringList();
    QTest::addRow("NUL bytes stay in the value")
            << QByteArray("a\0b\n", 4) << QByteArray()
            << QStringList(QString::fromLatin1("a\0b", 3)) << QStringList();
    QTest::addRow("blank lines and no final line feed")
            << QByteArray("\n\n\nlast") << QByteArray() << QStringList({"", "", "", "last"})
            << QStringList();
    QTest::addRow("escape at a line end") << QByteArray("abc\x1b\n\x1b") << QByteArray()
                                          << QStringList({"\x1b", "abc\x1b"}) << QStringList();
}

void TestBadInput::cacheLoaderReadsOddFilesPredictably()
{
    QFETCH(QByteArray, artistsFile);
    QFETCH(QByteArray, songsFile);
    QFETCH(QStringList, artists);
    QFETCH(QStringList, titles);
    const CollectionCache cache(host);
    QVERIFY(CollectionCache::makeDirectory());
    QVERIFY(writeFile(cache.filePath(CollectionCache::Artists), artistsFile));
    QVERIFY(writeFile(cache.filePath(CollectionCache::Songs), songsFile));

    const QuietDebug quiet;
    const CollectionIndex index = cache.load();
    QCOMPARE(index.getArtists(), artists);
    QStringList loadedTitles;
    for (const QmpdSong &song : index.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING))
        loadedTitles << song.title;
    QCOMPARE(loadedTitles, titles);
}

// mpd turns control characters in tags into spaces, so tabs and line breaks in tags
// never come from the server; a cache from another version might still hold them.
void TestBadInput::cacheKeepsValuesServersCannotSend()
{
    const QStringList values = {QStringLiteral("\tleading tab"),
                                QStringLiteral("trailing tab\t"),
                                QStringLiteral("\t"),
                                QStringLiteral("\t\t"),
                                QStringLiteral("\ttab\nand break\t"),
                                QStringLiteral("\r\n"),
                                QString(10000, QLatin1Char('w')),
                                QString(),
                                QString(QChar::ReplacementCharacter),
                                QStringLiteral("\x1b\t\x1bn")};
    QList<QmpdSong> songs;
    for (int i = 0; i < values.size(); ++i) {
        const QString &value = values.at(i);
        songs << QmpdSong(i, i, value, value, value, value + QString::number(i), value, value);
        // The same value in one field at a time, the others plain.
        songs << QmpdSong(-i, 1, QStringLiteral("A"), value, QStringLiteral("1"),
                          QStringLiteral("f%1").arg(i), QStringLiteral("2000"),
                          QStringLiteral("B"));
    }
    QVERIFY(writeCache(songs));

    const QList<QmpdSong> loaded
            = CollectionCache(host).load().getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING);
    QCOMPARE(loaded.size(), songs.size());
    for (int i = 0; i < songs.size(); ++i)
        QVERIFY2(sameSong(loaded.at(i), songs.at(i)), qPrintable(QString::number(i)));
}

void TestBadInput::settingsOfWrongTypesGiveDefaults_data()
{
    QTest::addColumn<QByteArray>("ini");

    QTest::addRow("every key of a wrong type") << QByteArray(
            "[autoconnect]\nhost=@Point(1 2)\nport=sixty-six hundred\npassword=@Size(1 2)\n"
            "[general]\nnp_color=#zzzzzz\ndelete_albumart=perhaps\n"
            "[lastfm]\nenable=2\nuser=@Rect(1 2 3 4)\nhash=not-a-digest\n"
            "[app]\nposition=@Size(5 5)\nsize=@Point(-3 -3)\nmaximized=yes-ish\nhidden=-1\n");
    QTest::addRow("port as a point")
            << QByteArray("[autoconnect]\nhost=localhost\nport=@Point(6600 1)\n");
    QTest::addRow("negative port") << QByteArray("[autoconnect]\nhost=localhost\nport=-6600\n");
    QTest::addRow("port past 16 bits") << QByteArray("[autoconnect]\nhost=localhost\nport=70000\n");
    QTest::addRow("port past 32 bits")
            << QByteArray("[autoconnect]\nhost=localhost\nport=99999999999\n");
    QTest::addRow("port zero") << QByteArray("[autoconnect]\nhost=localhost\nport=0\n");
    QTest::addRow("negative size") << QByteArray("[app]\nsize=@Size(-800 -550)\n");
    QTest::addRow("tiny size") << QByteArray("[app]\nsize=@Size(1 1)\n");
    QTest::addRow("size as text") << QByteArray("[app]\nsize=800x550\nposition=10,10\n");
    QTest::addRow("position far left and up")
            << QByteArray("[app]\nposition=@Point(-100000 -100000)\n");
    QTest::addRow("position far right and down")
            << QByteArray("[app]\nposition=@Point(100000 100000)\n");
    QTest::addRow("colour out of range") << QByteArray("[general]\nnp_color=@Variant(garbage)\n");
    QTest::addRow("1 MiB user name")
            << "[lastfm]\nenable=true\nuser=" + QByteArray(1 << 20, 'u') + '\n';
    BadBytes bad(7);
    QTest::addRow("random bytes") << bad.randomBytes(4096);
}

// Whatever the file says, the window opens visible, not smaller than its minimum, where
// the user can reach it, with the default colour, and tries no connection to a port
// that is not one.
void TestBadInput::settingsOfWrongTypesGiveDefaults()
{
    QFETCH(QByteArray, ini);
    QVERIFY(SettingsStore::ensureDirectory());
    QVERIFY(writeFile(SettingsStore::directory() + QStringLiteral("/config.conf"), ini));

    const ModalCloser closer;
    MainWindow window;
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMaximized());
    QVERIFY(window.width() >= 800);
    QVERIFY(window.height() >= 550);
    const QRect available = window.screen()->availableGeometry();
    QVERIFY2(
            available.intersects(window.frameGeometry()),
            qPrintable(
                    QStringLiteral("window at %1,%2").arg(window.pos().x()).arg(window.pos().y())));
    QCOMPARE(window.findChild<PlaylistItemDelegate *>()->getNpColor(),
             PlaylistItemDelegate().getNpColor());

    QVERIFY(!window.autoConnectMPD());
    QVERIFY(window.findChild<InfoBanner *>()->visibleMessages().isEmpty());
    QVERIFY(closer.texts.isEmpty());
}

TUNELOOM_TEST_MAIN(TestBadInput)
