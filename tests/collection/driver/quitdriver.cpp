// tuneloom-quit-driver: runs the real window as the program's main() does (autoconnecting from
// the settings in $HOME), closes it once the work named by its argument is under way, and returns
// from main. tst_collection runs it as a process and watches how it ends.
//   build   a collection build is running
//   cover   a cover download hangs (the service is a local server that never answers)
//   update  a database update the window started is running on the server
// It prints "closing" when it closes the window.
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

int main(int argc, char **argv)
{
    Q_INIT_RESOURCE(systray);
    QApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    // Outlives the window, whose fetcher is still waiting on it when the window goes.
    LocalHttpServer coverService;
    if (!coverService.listen())
        return 2;
    coverService.setResponse(CoverFetcher::DEFAULT_SERVICE_URL, {200, "", "text/xml", true});
    QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", coverService.port()));

    MainWindow window;
    auto *busy = window.findChild<BusyIndicator *>();
    auto *update = window.findChild<QAction *>("action_Update_database");
    QElapsedTimer building;
    bool updateAsked = false;
    const auto ready = [&] {
        if (mode == "cover")
            return !coverService.requests().isEmpty();
        if (mode == "build") {
            // Long enough for the builder to be inside its listing, not just started.
            if (!busy->isRunning())
                building.invalidate();
            else if (!building.isValid())
                building.start();
            return building.isValid() && building.elapsed() >= 100;
        }
        if (!updateAsked && !busy->isRunning() && update->isEnabled()) {
            update->trigger();
            updateAsked = true;
        }
        MpdObj *mpd = Qmpd::static_this ? Qmpd::static_this->getMpdObj() : nullptr;
        return updateAsked && mpd && mpd_status_update(mpd) == MPD_OK
                && mpd_status_db_is_updating(mpd);
    };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (ready()) {
            poll.stop();
            std::printf("closing\n");
            std::fflush(stdout);
            window.close();
        }
    });
    poll.start(20);
    QTimer::singleShot(60000, &app, [&app] { app.exit(3); });  // the condition never came
    return app.exec();
}
