#include "albumsprobe.h"

#include "core/settingsstore.h"
#include "loopbackproxy.h"
#include "probe.h"
#include "ui/mainwindow.h"
#include "windowwatcher.h"

#include <QApplication>
#include <QListView>
#include <QPixmap>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTabWidget>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int settleMs = 2000;
constexpr int coversLimitMs = 60000;
constexpr int scrollStepMs = 16;

double msSince(qint64 startNs)
{
    return (WindowWatcher::monotonicNs() - startNs) / 1e6;
}

// The first paint of a widget after arm().
class PaintWatch : public QObject
{
public:
    qint64 paintedNs = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintedNs == 0)
            paintedNs = WindowWatcher::monotonicNs();
        return false;
    }
};

int coverRequests(const QByteArray &sent)
{
    static const QRegularExpression command(
            QStringLiteral("(?:readpicture|albumart) \"((?:[^\"\\\\]|\\\\.)*)\""));
    QSet<QString> songs;
    for (const auto &match : command.globalMatch(QString::fromUtf8(sent)))
        songs.insert(match.captured(1));
    return int(songs.size());
}

class Run
{
public:
    Run(MainWindow &window, LoopbackProxy &proxy)
        : window(window),
          proxy(proxy),
          tabs(window.findChild<QTabWidget *>(QStringLiteral("tabWidget"))),
          page(window.findChild<QWidget *>(QStringLiteral("tabAlbums"))),
          grid(window.findChild<QListView *>(QStringLiteral("albumGrid")))
    { }

    bool open()
    {
        if (!tabs || !page || !grid || grid->model()->rowCount() == 0)
            return false;
        Probe::report("albums", grid->model()->rowCount());
        rssBefore = Probe::currentRssKiB();
        placeholder = decorationKey(0);
        sentBefore = proxy.clientBytes().size();
        grid->viewport()->installEventFilter(&paint);
        openedNs = WindowWatcher::monotonicNs();
        tabs->setCurrentWidget(page);
        return true;
    }

    // Every tile on screen shows a cover (the realistic library has one for every album). The
    // grid's cells tile the view: the lines on screen follow from the scroll position.
    bool screenCovered() const
    {
        const QSize cell = grid->gridSize();
        const int perLine = std::max(1, grid->viewport()->width() / cell.width());
        const int top = grid->verticalScrollBar()->value();
        const int first = top / cell.height() * perLine;
        const int end = std::min(grid->model()->rowCount(),
                                 ((top + screenHeight() - 1) / cell.height() + 1) * perLine);
        for (int row = first; row < end; ++row) {
            if (decorationKey(row) == placeholder)
                return false;
        }
        return true;
    }

    int tilesOnScreen() const
    {
        int tiles = 0;
        for (int row = 0; row < grid->model()->rowCount(); ++row)
            tiles += grid->visualRect(grid->model()->index(row, 0)).intersects(grid->viewport()->rect());
        return tiles;
    }

    int requestsSinceOpened() const { return coverRequests(proxy.clientBytes().mid(sentBefore)); }
    qint64 firstPaintNs() const { return paint.paintedNs; }
    qint64 opened() const { return openedNs; }
    double addedMiB() const { return (Probe::currentRssKiB() - rssBefore) / 1024; }
    QScrollBar *scrollBar() const { return grid->verticalScrollBar(); }
    int screenHeight() const { return grid->viewport()->height(); }
    void repaint() const { grid->viewport()->repaint(); }

private:
    qint64 decorationKey(int row) const
    {
        return grid->model()->index(row, 0).data(Qt::DecorationRole).value<QPixmap>().cacheKey();
    }

    MainWindow &window;
    LoopbackProxy &proxy;
    QTabWidget *tabs;
    QWidget *page;
    QListView *grid;
    PaintWatch paint;
    double rssBefore = 0;
    qint64 placeholder = 0;
    qsizetype sentBefore = 0;
    qint64 openedNs = 0;
};

// Calls step every intervalMs until it returns true, or fails the probe after limitMs.
void every(const char *what, int intervalMs, int limitMs, const std::function<bool()> &step,
           const std::function<void(int)> &finish)
{
    auto *timer = new QTimer(qApp);
    const qint64 start = WindowWatcher::monotonicNs();
    QObject::connect(timer, &QTimer::timeout, qApp, [=] {
        if (step()) {
            timer->deleteLater();
        } else if (msSince(start) > limitMs) {
            std::fprintf(stderr, "probe: albums step over %d ms (%s)\n", limitMs, what);
            timer->deleteLater();
            finish(4);
        }
    });
    timer->start(intervalMs);
}

void scrollAndFinish(Run &run, WindowWatcher &watcher, const std::function<void(int)> &finish)
{
    watcher.restartTickCounting();
    auto slowestStep = std::make_shared<double>(0);
    every("scroll", scrollStepMs, coversLimitMs, [&run, &watcher, finish, slowestStep] {
        QScrollBar *bar = run.scrollBar();
        if (bar->value() < bar->maximum()) {
            // The paint at once, so that the step's CPU time holds it: the machine's load aside.
            const double before = Probe::threadCpuMs();
            bar->setValue(bar->value() + run.screenHeight());
            run.repaint();
            *slowestStep = std::max(*slowestStep, Probe::threadCpuMs() - before);
            return false;
        }
        Probe::report("scroll_tick_gap_ms", watcher.longestTickGapMs());
        Probe::report("scroll_step_cpu_ms", *slowestStep);
        watcher.stopTickCounting();
        const qint64 stopped = WindowWatcher::monotonicNs();
        every("covers after the scroll", 5, coversLimitMs, [&run, stopped, finish] {
            if (!run.screenCovered())
                return false;
            Probe::report("end_covers_ms", msSince(stopped));
            Probe::report("grid_mib", run.addedMiB());
            finish(0);
            return true;
        }, finish);
        return true;
    }, finish);
}

}  // namespace

int AlbumsProbe::run(const QStringList &args)
{
    if (args.size() != 2)
        return 2;
    LoopbackProxy proxy(quint16(args.at(0).toInt()), args.at(1).toInt());
    const quint16 port = proxy.listen();
    if (port == 0)
        return 1;
    {
        SettingsStore settings;
        settings->setValue(SettingsKey::AutoconnectHost, QStringLiteral("127.0.0.1"));
        settings->setValue(SettingsKey::AutoconnectPort, port);
        // The window would open on the tab the last probe's showed: the Albums tab, covers
        // loading before the measurement began.
        settings->remove(QLatin1String(SettingsKey::AppTab));
    }
    WindowWatcher watcher;
    MainWindow window;
    window.resize(1280, 900);
    Run run(window, proxy);
    int status = 0;
    const auto finish = [&status](int code) {
        status = code;
        QCoreApplication::exit(code);
    };
    QObject::connect(&watcher, &WindowWatcher::collectionBuilt, qApp, [&] {
        watcher.stopTickCounting();
        QTimer::singleShot(settleMs, qApp, [&] {
            if (!run.open())
                return finish(5);
            every("covers on opening", 1, coversLimitMs, [&] {
                if (run.firstPaintNs() == 0 || !run.screenCovered())
                    return false;
                Probe::report("first_paint_ms", (run.firstPaintNs() - run.opened()) / 1e6);
                Probe::report("covers_ms", msSince(run.opened()));
                Probe::report("tiles", run.tilesOnScreen());
                Probe::report("cover_requests", run.requestsSinceOpened());
                QTimer::singleShot(1000, qApp, [&] {
                    Probe::report("cover_requests_settled", run.requestsSinceOpened());
                    scrollAndFinish(run, watcher, finish);
                });
                return true;
            }, finish);
        });
    });
    const int code = Probe::loop();
    return code != 0 ? code : status;
}
