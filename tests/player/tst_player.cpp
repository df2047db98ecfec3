// The playback menu and keys against a real server with two outputs: what they change on the
// server, and that the menu always shows what the server reports, whoever changed it.
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QMenu>
#include <QTabWidget>

namespace {

// Each menu's own entries in order; "*" marks a checked one, brackets a disabled one.
QString menuState(const QWidget *window,
                  const QStringList &menus = {"Playback", "Crossfade", "ReplayGain", "Outputs"})
{
    QStringList state;
    for (const QString &menu : menus) {
        QStringList entries;
        for (const QAction *action : window->findChild<QMenu *>("menu" + menu)->actions()) {
            const QString text = action->text() + (action->isChecked() ? "*" : "");
            if (!action->menu() && !action->isSeparator())
                entries << (action->isEnabled() ? text : '(' + text + ')');
        }
        state << entries.join(',');
    }
    return state.join('|');
}

// The values of the fields named in "command:field|field" in the server's answer, in order.
QString serverValue(const MpdFixture &server, const QString &query)
{
    const QRegularExpression fields("^(" + query.section(':', 1) + "): ");
    QStringList values = server.command(query.section(':', 0, 0)).filter(fields);
    return values.replaceInStrings(fields, "").join(',');
}

}  // namespace

class TestPlayer : public QObject
{
    Q_OBJECT
    QTemporaryDir musicDir;
    MpdFixture server{[] {
        MpdFixture::Options options;
        options.password = "secret";
        options.guestPermissions = "read";  // a client that has not logged in may only look
        return options;
    }()};
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;

private slots:
    void initTestCase()
    {
        QVERIFY(TestLibrary::generate(musicDir.path()));
        QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
    }
    void init()
    {
        QVERIFY(server.resetState() && server.send("add /") && server.send("play 0")
                && server.send("pause 1"));
        closer = std::make_unique<ModalCloser>();
        window = std::make_unique<MainWindow>();
        QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(),
                                                           server.port(), server.password()));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { QCOMPARE(closer->texts, QStringList()); }  // nothing refused or failed

    // A step clicks an entry, types keys into a view of some tab (keys@view), or has another
    // client change the server ("mpc ...", then waits until the menu shows it).
    void serverAndMenuAgree_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("expected");  // the server's values, then the menu's entries
        const auto row = [](const char *name, const QStringList &steps, const char *query,
                            const char *menu, const char *expected) {
            QTest::addRow("%s", name) << steps << query << menu << expected;
        };
        row("mode keys, every tab",
            {"Ctrl+Shift+Z@playlistTableview", "Ctrl+Shift+R@artistList",
             "Ctrl+Shift+Y@directoryTree", "Ctrl+Shift+C@fileList"},
            "status:random|repeat|single|consume", "Playback",
            "1,1,1,1 Random*,Repeat*,Single*,Consume*");
        row("modes, other client", {"mpc random on", "mpc consume on", "Random"},
            "status:random|consume", "Playback", "0,1 Random,Repeat,Single,Consume*");
        row("crossfade", {"mpc crossfade 3", "mpc crossfade 5", "10 s", "10 s"}, "status:xfade",
            "Crossfade", "10 Off,2 s,5 s,10 s*");
        row("replay gain", {"mpc replaygain track", "Album", "Album"},
            "replay_gain_status:replay_gain_mode", "ReplayGain", "album Off,Track,Album*,Auto");
        row("outputs", {"mpc disable 1", "Null B", "Null A"}, "outputs:outputenabled", "Outputs",
            "1,0 Null A*,Null B");
        row("seek, from 0 back",
            {"Ctrl+Left@playlistTableview", "Ctrl+Right@albumList", "Ctrl+Right@fileList",
             "Ctrl+Left@trackList"},
            "status:elapsed", "Playback", "5.000 Random,Repeat,Single,Consume");
        row("volume", {"Ctrl+Down@playlistTableview", "Ctrl+Down@directoryTree"}, "status:volume",
            "Playback", "90 Random,Repeat,Single,Consume");
    }
    void serverAndMenuAgree()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, query);
        QFETCH(QString, menu);
        for (const QString &step : steps) {
            const QString before = menuState(window.get());
            if (step.startsWith("mpc ")) {
                server.mpc(step.mid(4).split(' '));
                QTRY_VERIFY_WITH_TIMEOUT(menuState(window.get()) != before, 5000);
            } else if (step.contains('@')) {
                auto *view = window->findChild<QWidget *>(step.section('@', 1));
                window->findChild<QTabWidget *>("tabWidget")
                        ->setCurrentWidget(view->parentWidget());
                QTest::keySequence(view, QKeySequence(step.section('@', 0, 0)));
            }
            for (QAction *action : window->findChild<QMenu *>("menu" + menu)->actions()) {
                if (action->text() == step)
                    action->trigger();
            }
        }
        QTEST(serverValue(server, query) + ' ' + menuState(window.get(), {menu}), "expected");
    }

    // Emptied and disabled on disconnect. Connected again as a guest that may only read: the
    // menu shows the server's state and follows it, but offers nothing the server would refuse.
    void disconnectThenGuest()
    {
        window->onDisconnect();
        QCOMPARE(menuState(window.get()),
                 "(Random),(Repeat),(Single),(Consume)|(Off),(2 s),(5 s),(10 s)|"
                 "(Off),(Track),(Album),(Auto)|");
        QVERIFY(server.send("random 1") && server.send("disableoutput 0"));
        QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(),
                                                           server.port()));
        QCOMPARE(menuState(window.get()),
                 "(Random*),(Repeat),(Single),(Consume)|(Off*),(2 s),(5 s),(10 s)|"
                 "(Off*),(Track),(Album),(Auto)|(Null A),(Null B*)");
        for (const char *key : {"Ctrl+Right", "Ctrl+Down"})  // refused, were they not disabled
            QTest::keySequence(window.get(), QKeySequence(key));
        QVERIFY(server.send("crossfade 3"));
        QTRY_VERIFY_WITH_TIMEOUT(menuState(window.get(), {"Crossfade"}).endsWith("(3 s*)"), 5000);
    }
};

TUNELOOM_TEST_MAIN(TestPlayer)
#include "tst_player.moc"
