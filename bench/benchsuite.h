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
    // False when something broke (a server, a probe); never because of a time.
    bool run();

private:
    using Results = QMultiMap<QString, double>;

    struct Row
    {
        QString label;
        QList<double> values;
        QString unit;
    };

    bool benchSize(const QString &library, int songs);
    // Needs the autoconnect settings and the fresh cache of the window runs.
    bool benchSearch();
    bool runProbe(const QStringList &args, Results *results, qint64 *startNs = nullptr);
    bool runProbes(int runs, const QStringList &args, const std::function<void()> &before,
                   const std::function<void(const Results &, qint64)> &collect);
    bool fillPlaylist(int port, int entries, int librarySongs);
    // The connection rows, at the first size with a library as long as their queue.
    bool benchConnection(int port, const QString &database, int songs);
    void writeAutoconnect(int port);
    void removeCache();
    void printTable(const QString &library, int songs, double databaseMiB);
    void add(const QString &label, const QList<double> &values, const QString &unit);

    QStringList libraries;
    QList<int> sizes;
    int runs = 5;
    int windowRuns = 3;
    int idleSeconds = 15;
    bool idleAtEverySize = false;
    QString home;
    QList<Row> rows;
    bool broken = false;
};

#endif
