// BenchSuite: the whole benchmark. For each library (the tests' generated one,
// and one tagged like a real collection) and each size it writes a synthetic
// mpd database, starts two real mpd servers on loopback (one with default
// settings, one with an output buffer large enough for one whole listing),
// runs every measurement several times (each program run in a probe process of
// its own) and prints one table of medians, minima and maxima. GUI thread.
#ifndef BENCHSUITE_H
#define BENCHSUITE_H

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class MpdFixture;

class BenchSuite
{
public:
    BenchSuite();
    // The queue of the connection and responsiveness rows: a whole library, as many keep it.
    static constexpr int connectionQueue = 15000;
    // False when something broke (a server, a probe); never because of a time.
    bool run();

private:
    using Results = QMultiMap<QString, double>;

    struct Row
    {
        QString label;
        QList<double> values;
        QString unit;  // the words of a note, which has no values
    };

    bool benchSize(const QString &library, int songs);
    // Whether the window ever waits on its server (benchsuite_responsiveness.cpp): its own
    // servers and table, once per benchmark.
    bool benchResponsiveness();
    bool benchTraffic(int port, int roundTripMs);
    bool benchExternalChange(int port, int roundTripMs);
    bool benchStall(const MpdFixture &server);
    bool benchQuiet(int port);
    bool benchBigQueue();
    // The Albums tab (benchsuite_albums.cpp): its own server, library and table.
    bool benchAlbums();
    // The ratings and smart playlist rows (benchsuite_stickers.cpp): servers and table of their own.
    bool benchStickers();
    // The stall probe with its server stopped from ready on: its results and its exit time.
    bool runStallProbe(qint64 serverPid, int port, int quitAfterMs, Results *results,
                       qint64 *exitNs);
    static void readResults(const QByteArray &output, Results *results);
    // Needs the autoconnect settings and the fresh cache of the window runs.
    bool benchSearch();
    bool runProbe(const QStringList &args, Results *results, qint64 *startNs = nullptr);
    bool runProbes(int runs, const QStringList &args, const std::function<void()> &before,
                   const std::function<void(const Results &, qint64)> &collect);
    bool fillPlaylist(int port, int entries, int librarySongs);
    // The connection rows, at the first size with a library as long as their queue.
    bool benchConnection(int port, const QString &database, int songs);
    // TUNELOOM_BENCH_ONLY=connection: those rows alone, on a server of their own.
    bool benchConnectionOnly();
    void writeAutoconnect(int port);
    void removeCache();
    // No rows yet, no stored server, no cache: the probes connect by themselves.
    void startWithoutServer();
    void printTable(const QString &library, int songs, double databaseMiB);
    void printRows(const QString &title);
    void add(const QString &label, const QList<double> &values, const QString &unit);
    // A row that has words instead of figures ("not shown", or which commands).
    void note(const QString &label, const QString &text);

    QStringList libraries;
    QList<int> sizes;
    int runs = 5;
    int windowRuns = 3;
    int idleSeconds = 15;
    int quietSeconds = 60;
    // "responsiveness": only those rows; empty: everything.
    QString only;
    bool idleAtEverySize = false;
    QString home;
    QList<Row> rows;
    bool broken = false;
};

#endif
