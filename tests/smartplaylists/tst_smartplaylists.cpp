// Smart playlists on a real mpd with a sticker database: the rules file, each condition, all and
// any, the limit and the orders as "Load" puts them in the queue, and the dynamic mode.
#include "testmain.h"
#include "windowfixture.h"

#include "smartplaylists/smartrulestore.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {
const QString root = "Root Song.flac", jokull = "Music/Pop/Björk/Húsið/01 Jökull.flac",
              noArtist = "Misc/No Artist.flac", signalFire = "Music/Rock/Modern/Bright Signal/Greatest Hits/01 Signal Fire.flac";
const qint64 now = QDateTime::currentSecsSinceEpoch();
// file, rating, plays, last played
const QList<std::tuple<QString, int, int, qint64>> stickers{
        {root, 10, 5, now - 86400}, {jokull, 8, 2, now - 40 * 86400}, {noArtist, 5, 0, 0}, {signalFire, 4, 9, now - 100}};
const QStringList rockSongs{"Music/Rock/Classic/The Stones Of Time/Granite/01 First Stone.flac",
        "Music/Rock/Classic/The Stones Of Time/Granite/02 Second Stone.flac", "Music/Rock/Classic/The Stones Of Time/Granite/03 Third Stone.flac",
        "Music/Rock/Classic/The Stones Of Time/Pebbles/01 Small Stone.flac", signalFire,
        "Music/Rock/Modern/Bright Signal/Greatest Hits/02 Static.flac", "Music/World/Кино/Группа крови/01 Звезда.flac"};
}  // namespace

class TestSmartPlaylists : public QObject
{
    Q_OBJECT
    WindowFixture f;

    // Connects with these rules stored for the server, and selects the first.
    void connectWithRule(const QByteArray &ruleJson)
    {
        const QJsonObject rule = QJsonDocument::fromJson(ruleJson).object();
        QVERIFY2(SmartRule::fromJson(rule), ruleJson.constData());
        QVERIFY(SmartRuleStore::save(SmartRuleStore::fileFor(f.server.host(), f.server.port()), {*SmartRule::fromJson(rule)}));
        QVERIFY(f.connect());
        f.widget<QListWidget>("smartPlaylistList")->setCurrentRow(0);
    }
    void press(const QString &text) const
    {
        for (auto *button : f.widget("smartPlaylistsPage")->findChildren<QPushButton *>())
            if (button->text() == text)
                button->click();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(f.startServer(), qPrintable(f.server.errorString()));
        for (const auto &[file, rating, plays, last] : stickers) {
            f.server.mpc({"sticker", file, "set", "rating", QString::number(rating)});
            if (plays > 0)
                f.server.mpc({"sticker", file, "set", "playCount", QString::number(plays)});
            if (last > 0)
                f.server.mpc({"sticker", file, "set", "lastPlayed", QString::number(last)});
        }
    }
    void init() { QVERIFY(f.open()); }
    void cleanup() { QCOMPARE(f.close(), QStringList()); }

    // ordered: the queue's order is the rule's (else compared as a set).
    void loadFillsTheQueue_data()
    {
        QTest::addColumn<QByteArray>("rule");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("ordered");
        const auto rule = [](const QByteArray &conditions, const QByteArray &rest = "\"order\": \"random\"") {
            return "{\"name\": \"r\", " + rest + ", \"conditions\": [" + conditions + "]}";
        };
        QTest::addRow("artist, any case") << rule("{\"field\": \"artist\", \"text\": \"abba\"}")
                << QStringList{"Music/Pop/Abba/Greatest Hits/01 Summer Dance.flac", "Music/Pop/ABBA/Gold/01 Winter Song.flac"} << false;
        QTest::addRow("genre, by the server") << rule("{\"field\": \"genre\", \"text\": \"JAZZ\"}")
                << QStringList{"Misc/No Artist.flac", "Misc/No Album.flac", "Misc/No Title.flac"} << false;
        QTest::addRow("album artist: the server falls back to the artist") << rule("{\"field\": \"albumArtist\", \"text\": \"Abba\"}")
                << QStringList{"Music/Pop/Abba/Greatest Hits/01 Summer Dance.flac", "Music/Pop/ABBA/Gold/01 Winter Song.flac"} << false;
        QTest::addRow("composer: none has one") << rule("{\"field\": \"composer\", \"text\": \"Abba\"}") << QStringList() << false;
        QTest::addRow("album") << rule("{\"field\": \"album\", \"text\": \"pebbles\"}")
                << QStringList{rockSongs.at(3)} << false;
        QTest::addRow("years 1984 to 1986") << rule("{\"field\": \"year\", \"min\": 1984, \"max\": 1986}")
                << QStringList{"Music/Rock/Classic/Mötley Crüe/Loud Nights/01 Crüe Anthem.flac", "Music/World/坂本/音楽図鑑/01 森.flac",
                               "Music/Music of the Night/01 Midnight.flac", "Music/Music of the Night/02 Before Dawn.flac"} << false;
        QTest::addRow("4 stars or more, by rating") << rule("{\"field\": \"rating\", \"min\": 4}", "\"order\": \"rating\"")
                << QStringList{root, jokull} << true;
        QTest::addRow("2 to 5 plays, most played") << rule("{\"field\": \"playCount\", \"min\": 2, \"max\": 5}", "\"order\": \"mostPlayed\"")
                << QStringList{root, jokull} << true;
        QTest::addRow("all: path and not played for 30 days") << rule("{\"field\": \"pathPrefix\", \"text\": \"Music/Pop/\"},"
                "{\"field\": \"notPlayedForDays\", \"min\": 30}")
                << QStringList{"Music/Pop/Abba/Greatest Hits/01 Summer Dance.flac", "Music/Pop/ABBA/Gold/01 Winter Song.flac", jokull} << false;
        QTest::addRow("any: jazz or 5 stars") << rule("{\"field\": \"genre\", \"text\": \"Jazz\"}, {\"field\": \"rating\", \"min\": 5}",
                "\"order\": \"random\", \"match\": \"any\"")
                << QStringList{root, "Misc/No Artist.flac", "Misc/No Album.flac", "Misc/No Title.flac"} << false;
        QTest::addRow("limit, least recently played") << rule("{\"field\": \"rating\", \"min\": 2}", "\"order\": \"leastRecentlyPlayed\", \"limit\": 3")
                << QStringList{noArtist, jokull, root} << true;
    }
    void loadFillsTheQueue()
    {
        QFETCH(QByteArray, rule); QFETCH(QStringList, expected); QFETCH(bool, ordered);
        connectWithRule(rule);
        press("Load");
        QTRY_VERIFY(f.bannerShows(expected.isEmpty() ? "No song matches \"r\"" : QString("Added %1 song(s) from \"r\"").arg(expected.size())));
        QStringList queue = f.server.queue();
        if (!ordered) {
            queue.sort();
            expected.sort();
        }
        QCOMPARE(queue, expected);
    }

    // Dynamic: three songs from the rule always coming, played ones beyond one trimmed, nothing else.
    void dynamicKeepsSongsComing()
    {
        connectWithRule("{\"name\": \"rock\", \"order\": \"random\", \"conditions\": [{\"field\": \"genre\", \"text\": \"Rock\"}]}");
        auto *page = f.widget("smartPlaylistsPage");
        page->findChildren<QSpinBox *>().at(0)->setValue(3);
        page->findChildren<QSpinBox *>().at(1)->setValue(1);
        page->findChild<QCheckBox *>()->setChecked(true);
        press("Dynamic");
        QTRY_COMPARE(f.server.queue().size(), 3);
        QVERIFY(f.widget<QLabel>("dynamicState")->text().contains("\"rock\""));
        f.server.send("play 0");
        for (int step = 0; step < 5; ++step) {
            f.server.mpc({"next"});
            // Songs after the playing one, and before it, from one status.
            const auto kept = [this] {
                const QStringList status = f.server.command("status");
                const int song = status.filter(QRegularExpression("^song: ")).value(0).mid(6).toInt();
                const int upcoming = status.filter(QRegularExpression("^playlistlength: ")).value(0).mid(16).toInt() - song - 1;
                return upcoming >= 3 && song <= 1;
            };
            QTRY_VERIFY(kept());
            for (const QString &file : f.server.queue())
                QVERIFY2(rockSongs.contains(file), qPrintable(file));
        }
        f.widget<QAction>("actionDisconnect")->trigger();
        QTRY_COMPARE(f.widget<QLabel>("dynamicState")->text(), "Dynamic mode is off");
    }

    // The rules file: read back as written; a later version's file is neither misread nor overwritten.
    void rulesFile()
    {
        const QString path = SmartRuleStore::fileFor("host", 1);
        SmartRule rule{"Jazz, rated", false, {{SmartCondition::Field::Genre, "Jazz", 0, 0}, {SmartCondition::Field::Year, {}, 1950, 1969}},
                       25, SmartRule::Order::MostPlayed};
        QVERIFY(SmartRuleStore::save(path, {rule}));
        const QList<SmartRule> read = SmartRuleStore::load(path);
        QCOMPARE(read.size(), 1);
        QCOMPARE(read.first().toJson(), rule.toJson());
        QVERIFY(readFile(path).contains("\"version\": 1"));
        const QByteArray later = "{\"format\": \"tuneloom-smart-playlists\", \"version\": 2, \"rules\": []}";
        QVERIFY(writeFile(path, later));
        QVERIFY(!SmartRuleStore::save(path, {rule}));
        QCOMPARE(readFile(path), later);
    }
};

TUNELOOM_TEST_MAIN(TestSmartPlaylists)
#include "tst_smartplaylists.moc"
