// tuneloom-quit-driver: runs the real window the way the program's main() does (autoconnecting
// from the settings in $HOME), closes it once the work named by its argument is under way, and
// returns from main. The fault tests run it as a process and watch how it ends.
//   build   a collection build is running
//   cover   a cover download hangs (the service is a local server that never answers)
//   update  a database update the window started is running on the server
// It prints "closing" when it closes the window; anything else on stdout is progress.
#include "busyindicator.h"
#include "coverfetcher.h"
#include "localhttpserver.h"
#include "mainwindow.h"
#include "qmpd.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

// Give up on a condition that never comes, rather than leave the test waiting.
constexpr int ConditionTimeoutMs = 60000;
// Long enough for the builder to be inside its listing, not just started; well
// below the ~0.4 s a release build needs for the 100,000 songs.
constexpr qint64 BuildRunningMs = 100;

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

bool serverIsUpdating()
{
    if (!Qmpd::static_this)
        return false;
    MpdObj *mpd = Qmpd::static_this->getMpdObj();
    return mpd_status_update(mpd) == MPD_OK && mpd_status_db_is_updating(mpd);
}

}  // namespace

int main(int argc, char **argv)
{
    Q_INIT_RESOURCE(systray);
    QApplication app(argc, argv);
    const QString mode = app.arguments().value(1);

    // Outlives the window, whose fetcher is still waiting on it when the window goes.
    LocalHttpServer coverService;
    if (mode == QLatin1String("cover")) {
        if (!coverService.listen())
            return 2;
        LocalHttpServer::Response hang;
        hang.hang = true;
        // Requests through a proxy name the whole URL.
        coverService.setResponse(CoverFetcher::DEFAULT_SERVICE_URL, hang);
        QNetworkProxy::setApplicationProxy(QNetworkProxy(
                QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), coverService.port()));
    }

    int result = 0;
    {
        MainWindow window;
        auto *busy = window.findChild<BusyIndicator *>();
        auto *update = window.findChild<QAction *>(QStringLiteral("action_Update_database"));
        QElapsedTimer building;
        bool updateAsked = false;

        std::function<bool()> ready;
        if (mode == QLatin1String("build")) {
            ready = [&] {
                if (!busy->isRunning())
                    building.invalidate();
                else if (!building.isValid())
                    building.start();
                return building.isValid() && building.elapsed() >= BuildRunningMs;
            };
        } else if (mode == QLatin1String("cover")) {
            ready = [&] { return !coverService.requests().isEmpty(); };
        } else if (mode == QLatin1String("update")) {
            ready = [&] {
                if (!updateAsked && !busy->isRunning() && update->isEnabled()) {
                    update->trigger();
                    updateAsked = true;
                    say("update asked");
                }
                return updateAsked && serverIsUpdating();
            };
        } else {
            return 2;
        }

        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &window, [&] {
            if (!ready())
                return;
            poll.stop();
            say("closing");
            window.close();
        });
        poll.start(20);
        QTimer::singleShot(ConditionTimeoutMs, &app, [&app] {
            say("condition never met");
            app.exit(3);
        });
        result = app.exec();
    }
    return result;
}
