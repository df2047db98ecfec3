// BenchSuite's ratings and smart playlist rows: the Rating column of a queue of 15,000 songs
// filled after connecting, and a rule with rating and play-count conditions over 100,000 songs.
// The stickers are written into the server's sticker database with sqlite3 in one transaction
// (mpd takes several milliseconds for each "sticker set", as each is a transaction of its own).
#include "benchsuite.h"

#include "mpdfixture.h"
#include "smartplaylists/smartrulestore.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr int ruleLibrary = 100000;
const QString failed = QStringLiteral("failed");

// A song's stickers in the rule's library: every other song rated, every third one counted.
int ratingOf(int song) { return song % 2 == 0 ? song % 11 : -1; }
int playsOf(int song) { return song % 3 == 0 ? song % 7 : 0; }

bool writeStickers(const MpdFixture &server, int songs, bool ruleStickers)
{
    QByteArray sql = "BEGIN;\n";
    const auto insert = [&sql](int song, const char *name, int value) {
        sql += "INSERT INTO sticker VALUES('song','" + TestLibrary::syntheticSongUri(song).toUtf8().replace('\'', "''")
                + "','" + name + "','" + QByteArray::number(value) + "');\n";
    };
    for (int song = 0; song < songs; ++song) {
        if (!ruleStickers)
            insert(song, "rating", song % 11);
        else if (ratingOf(song) >= 0)
            insert(song, "rating", ratingOf(song));
        if (ruleStickers && playsOf(song) > 0)
            insert(song, "playCount", playsOf(song));
    }
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {server.dir() + QStringLiteral("/sticker.sql")});
    sqlite.write(sql + "COMMIT;\n");
    sqlite.closeWriteChannel();
    return sqlite.waitForFinished(120000) && sqlite.exitCode() == 0;
}

}  // namespace

bool BenchSuite::benchStickers()
{
    startWithoutServer();
    bool ok = true;
    {
        QTemporaryDir work;
        MpdFixture::Options options;
        options.databaseFile = work.filePath(QStringLiteral("mpd.db"));
        MpdFixture server(options);
        ok = TestLibrary::writeDatabase(options.databaseFile, connectionQueue) && server.start()
                && fillPlaylist(server.port(), connectionQueue, connectionQueue)
                && writeStickers(server, connectionQueue, false);
        QList<double> rated, gaps, queueGaps;
        ok = ok && runProbes(windowRuns, {"ratings", QString::number(server.port()), QString::number(connectionQueue)}, {},
                             [&](const Results &r, qint64) {
                                 rated << r.value(QStringLiteral("rated_ms"));
                                 gaps << r.value(QStringLiteral("gui_gap_ms"));
                                 queueGaps << r.value(QStringLiteral("queue_gui_gap_ms"));
                             });
        const QString label = QStringLiteral("ratings: connect to a screenful of the %1 queue rated").arg(connectionQueue);
        if (ok) {
            add(label, rated, QStringLiteral("ms"));
            add(QStringLiteral("  GUI thread's longest gap until the queue is shown"), queueGaps, QStringLiteral("ms"));
            add(QStringLiteral("  GUI thread's longest gap from then until rated"), gaps, QStringLiteral("ms"));
        } else {
            note(label, failed);
        }
    }
    QTemporaryDir work;
    MpdFixture::Options options;
    options.databaseFile = work.filePath(QStringLiteral("mpd.db"));
    MpdFixture server(options);
    SmartRule rule{QStringLiteral("rated and played"), true,
                   {{SmartCondition::Field::Rating, {}, 3, 0}, {SmartCondition::Field::PlayCount, {}, 4, 1000000}},
                   0, SmartRule::Order::MostPlayed};
    int expected = 0;
    for (int song = 0; song < ruleLibrary; ++song)
        expected += ratingOf(song) >= 6 && playsOf(song) >= 4;
    bool ruleOk = TestLibrary::writeDatabase(options.databaseFile, ruleLibrary) && server.start()
            && writeStickers(server, ruleLibrary, true)
            && SmartRuleStore::save(SmartRuleStore::fileFor(server.host(), server.port()), {rule});
    QList<double> loaded, gaps;
    ruleOk = ruleOk && runProbes(windowRuns, {"rule", QString::number(server.port()), QString::number(expected)},
                                 [&] { server.send(QStringLiteral("clear")); },
                                 [&](const Results &r, qint64) {
                                     loaded << r.value(QStringLiteral("loaded_ms"));
                                     gaps << r.value(QStringLiteral("gui_gap_ms"));
                                 });
    const QString label = QStringLiteral("smart playlist: Load of %1 songs rated 3+ and played 4+ times, of %2")
                                  .arg(expected).arg(ruleLibrary);
    if (ruleOk) {
        add(label, loaded, QStringLiteral("ms"));
        add(QStringLiteral("  GUI thread's longest gap meanwhile"), gaps, QStringLiteral("ms"));
    } else {
        note(label, failed);
    }
    printRows(QStringLiteral("ratings and smart playlists: generated library, stickers in mpd 0.23's "
                             "sticker database, on 127.0.0.1"));
    return ok && ruleOk;
}
