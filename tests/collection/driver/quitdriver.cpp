// tuneloom-quit-driver MODE PORT: the real window in a home of its own, autoconnecting to mpd on PORT as
// the program starts, closed once MODE's work is under way ("build": a collection build; "cover": a cover
// download from a service that never answers; "update": a database update the window started).
#include "ui/busyindicator.h"
#include "ui/connectioncontroller.h"
#include "localhttpserver.h"
#include "ui/mainwindow.h"
#include "core/serverconnection.h"
#include "core/settingsstore.h"
#include "testmain.h"

int main(int argc, char **argv)
{
    TestSupport::isolateHome();
    Q_INIT_RESOURCE(systray);
    QApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    SettingsStore()->setValue(SettingsKey::AutoconnectHost, "127.0.0.1");
    SettingsStore()->setValue(SettingsKey::AutoconnectPort, app.arguments().value(2).toInt());
    LocalHttpServer coverService;  // outlives the window, whose fetcher still waits on it
    if (!coverService.listen())
        return 2;
    coverService.setResponse(CoverFetcher::DEFAULT_SERVICE_URL, {200, "", "text/xml", true});
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", coverService.port()));
    MainWindow window;
    auto *busy = window.findChild<BusyIndicator *>();
    auto *update = window.findChild<QAction *>("action_Update_database");
    int buildingPolls = 0;
    bool updateAsked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (mode == "update" && !updateAsked && !busy->isRunning() && update->isEnabled()) {
            update->trigger();
            updateAsked = true;
        }
        buildingPolls = busy->isRunning() ? buildingPolls + 1 : 0;
        const ServerConnection *live = window.findChild<ConnectionController *>()->connection();
        const bool ready = mode == "cover" ? !coverService.requests().isEmpty()
                : mode == "build" ? buildingPolls > 5  // long enough to be inside its listing, not just started
                : updateAsked && live && live->status().updatingDatabase;
        if (!ready)
            return;
        poll.stop();
        QTextStream(stdout) << "closing" << Qt::endl;
        window.close();
    });
    poll.start(20);
    QTimer::singleShot(60000, &app, [&app] { app.exit(3); });  // the condition never came
    return app.exec();
}
