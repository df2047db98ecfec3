#include "stickerprobe.h"

#include "connectionprobe.h"
#include "playlist/songmodel.h"
#include "probe.h"
#include "ui/mainwindow.h"
#include "windowfixture.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString host = QStringLiteral("127.0.0.1");
constexpr int tickMs = 10;
constexpr int screenful = 30;
constexpr int waitMs = 120000;

// The longest time between two ticks of a 10 ms timer in the GUI thread, while it lives.
class GapClock
{
public:
    GapClock()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longest = qMax(longest, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.restart();
        });
        sinceTick.start();
        timer.start(tickMs);
    }
    double longestMs() const { return longest; }

private:
    QTimer timer;
    QElapsedTimer sinceTick;
    double longest = 0;
};

bool screenfulRated(const QAbstractItemModel *model, int queue)
{
    if (model->rowCount() != queue)
        return false;
    for (int row = 0; row < qMin(queue, screenful); ++row) {
        if (model->index(row, SongModel::Rating).data(SongModel::RatingRole).toInt() < 0)
            return false;
    }
    return true;
}

int ratings(int port, int queue)
{
    ModalCloser closer;
    MainWindow window;
    const auto *playlist = window.findChild<QTableView *>(QStringLiteral("playlistTableview"));
    QElapsedTimer sinceConnect;
    sinceConnect.start();
    auto gaps = std::make_unique<GapClock>();
    window.connectMPD(host, port, QString());
    // The queue's own arrival apart from the ratings', which may come before or after it.
    if (!QTest::qWaitFor([&] { return playlist->model()->rowCount() == queue; }, waitMs))
        return 1;
    Probe::report("queue_gui_gap_ms", gaps->longestMs());
    gaps = std::make_unique<GapClock>();
    if (!QTest::qWaitFor([&] { return screenfulRated(playlist->model(), queue); }, waitMs))
        return 1;
    Probe::report("rated_ms", sinceConnect.nsecsElapsed() / 1e6);
    Probe::report("gui_gap_ms", gaps->longestMs());
    return 0;
}

int rule(int port, int expected)
{
    ModalCloser closer;
    MainWindow window;
    if (!WindowTesting::connectAndWaitForCollection(&window, host, port) || !WindowTesting::settle(&window))
        return 1;
    window.findChild<QListWidget *>(QStringLiteral("smartPlaylistList"))->setCurrentRow(0);
    QPushButton *load = nullptr;
    for (auto *button : window.findChild<QWidget *>(QStringLiteral("smartPlaylistsPage"))->findChildren<QPushButton *>())
        if (button->text() == QLatin1String("Load"))
            load = button;
    QElapsedTimer sinceClick;
    sinceClick.start();
    GapClock gaps;
    load->click();
    if (!QTest::qWaitFor([&] { return ConnectionProbe::queueLength(window) == expected; }, waitMs))
        return 1;
    Probe::report("loaded_ms", sinceClick.nsecsElapsed() / 1e6);
    Probe::report("gui_gap_ms", gaps.longestMs());
    return 0;
}

}  // namespace

int StickerProbe::run(const QStringList &args)
{
    const QString mode = args.value(0);
    if (mode == QLatin1String("ratings"))
        return ratings(args.value(1).toInt(), args.value(2).toInt());
    if (mode == QLatin1String("rule"))
        return rule(args.value(1).toInt(), args.value(2).toInt());
    return 2;
}
