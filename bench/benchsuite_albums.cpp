// The Albums tab's rows of the benchmark: a realistic library with a cover file in every album
// folder, the window reaching its server through a relay with 50 ms round trips.
#include "benchsuite.h"

#include "mpdfixture.h"
#include "realisticlibrary.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdio>

namespace {

constexpr int albumsLibrarySongs = 100000;
constexpr int albumsRoundTripMs = 50;

// Noise does not compress: these edges make covers of about 70, 140, 210 and 280 KiB.
QStringList drawCovers(const QString &dir)
{
    QStringList paths;
    QRandomGenerator random(24);
    for (const int edge : {360, 510, 620, 720}) {
        QImage noise(edge, edge, QImage::Format_RGB32);
        for (int y = 0; y < edge; ++y) {
            auto *line = reinterpret_cast<quint32 *>(noise.scanLine(y));
            for (int x = 0; x < edge; ++x)
                line[x] = random.generate();
        }
        const QString path = dir + QStringLiteral("/cover-%1.jpg").arg(edge);
        if (!noise.save(path, "JPEG", 70))
            return {};
        paths << path;
    }
    return paths;
}

// A cover.jpg in every album folder of the database: hard links to the drawn ones, in turn.
int placeCovers(const QString &database, const QString &music, const QStringList &covers)
{
    QFile file(database);
    if (covers.isEmpty() || !file.open(QIODevice::ReadOnly))
        return -1;
    int placed = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.startsWith("begin: ") || !line.contains('/'))
            continue;
        const QString folder = music + QLatin1Char('/') + QString::fromUtf8(line.mid(7));
        const QByteArray cover = QFile::encodeName(covers.at(placed % covers.size()));
        if (!QDir().mkpath(folder)
            || ::link(cover.constData(), QFile::encodeName(folder + QStringLiteral("/cover.jpg")).constData()) != 0)
            return -1;
        ++placed;
    }
    return placed;
}

}  // namespace

bool BenchSuite::benchAlbums()
{
    startWithoutServer();
    QTemporaryDir work;
    MpdFixture::Options options;
    options.databaseFile = work.filePath(QStringLiteral("mpd.db"));
    const QString music = work.filePath(QStringLiteral("music"));
    const QStringList covers = QDir().mkpath(music) ? drawCovers(work.path()) : QStringList();
    const bool written = RealisticLibrary::writeDatabase(options.databaseFile, albumsLibrarySongs);
    const int folders = written ? placeCovers(options.databaseFile, music, covers) : -1;
    MpdFixture server(options);
    if (folders < 0 || !server.start(music)) {
        std::fprintf(stderr, "albums: no server: %s\n", qPrintable(server.errorString()));
        return false;
    }
    const QString port = QString::number(server.port());
    const QString songs = QString::number(albumsLibrarySongs);
    // The index cached beforehand, straight from the server: the window loads it.
    Results unused;
    bool ok = runProbe({QStringLiteral("builder"), port, QStringLiteral("server"), songs}, &unused);
    QList<double> albums, paint, shown, warmShown, tiles, requests, settled, warmRequests, gap,
            stepCpu, endShown, memory;
    const QStringList probe = {QStringLiteral("albums"), port, QString::number(albumsRoundTripMs)};
    // Cold: no cover cached on this side; then warm, a second start with the thumbnail files.
    const auto forgetCovers = [this] {
        QDir(home + QStringLiteral("/.config/tuneloom/coverart")).removeRecursively();
    };
    ok = ok && runProbes(windowRuns, probe, forgetCovers, [&](const Results &r, qint64) {
        albums << r.value(QStringLiteral("albums"));
        paint << r.value(QStringLiteral("first_paint_ms"));
        shown << r.value(QStringLiteral("covers_ms"));
        tiles << r.value(QStringLiteral("tiles"));
        requests << r.value(QStringLiteral("cover_requests"));
        settled << r.value(QStringLiteral("cover_requests_settled"));
        gap << r.value(QStringLiteral("scroll_tick_gap_ms"));
        stepCpu << r.value(QStringLiteral("scroll_step_cpu_ms"));
        endShown << r.value(QStringLiteral("end_covers_ms"));
        memory << r.value(QStringLiteral("grid_mib"));
    });
    ok = ok && runProbes(windowRuns, probe, {}, [&](const Results &r, qint64) {
        warmShown << r.value(QStringLiteral("covers_ms"));
        warmRequests << r.value(QStringLiteral("cover_requests_settled"));
    });
    if (ok) {
        QStringList sizes;
        for (const QString &cover : covers)
            sizes << QString::number(QFileInfo(cover).size() / 1024);
        note(QStringLiteral("albums in the grid (album artist and title)"),
             QString::number(albums.value(0), 'f', 0));
        note(QStringLiteral("cover.jpg files on the server"),
             QStringLiteral("%1, of %2 KiB").arg(folders).arg(sizes.join(QStringLiteral(", "))));
        add(QStringLiteral("Albums tab opened: first paint, placeholders"), paint, QStringLiteral("ms"));
        add(QStringLiteral("Albums tab opened: every cover on screen shown"), shown, QStringLiteral("ms"));
        add(QStringLiteral("tiles on screen (1280x900 window)"), tiles, QString());
        add(QStringLiteral("songs asked for pictures by then"), requests, QString());
        add(QStringLiteral("songs asked for pictures, a second later (no scroll)"), settled, QString());
        add(QStringLiteral("second start (thumbnail files): every cover on screen shown"), warmShown,
            QStringLiteral("ms"));
        add(QStringLiteral("second start: songs asked for pictures"), warmRequests, QString());
        add(QStringLiteral("scrolling end to end, a screen per 16 ms: longest GUI gap"), gap,
            QStringLiteral("ms"));
        add(QStringLiteral("the same: GUI thread CPU of the slowest step (scroll and paint)"),
            stepCpu, QStringLiteral("ms"));
        add(QStringLiteral("after the scroll: the last screen's covers shown"), endShown,
            QStringLiteral("ms"));
        add(QStringLiteral("memory the tab added (RSS), after the scroll"), memory,
            QStringLiteral("MiB"));
    }
    printRows(QStringLiteral("albums: realistic library of %1 songs, %2 ms round trips, mpd 0.23 "
                             "on 127.0.0.1")
                      .arg(albumsLibrarySongs)
                      .arg(albumsRoundTripMs));
    return ok;
}
