// The playback menu and keys on a real mpd with two outputs: the menu shows what the server has.
#include "testmain.h"
#include "windowfixture.h"

#include <QMenu>
#include <QTabWidget>

class TestPlayer : public QObject
{
    Q_OBJECT
    WindowFixture f{MpdFixture::Options{"secret", "read", 0, {}, true, {}}};  // guests may read

    // Each menu's own entries in order; "*" marks a checked one, brackets a disabled one.
    QString menuState(const QStringList &menus = {"Playback", "Crossfade", "ReplayGain", "Outputs"})
    {
        QStringList state;
        for (const QString &menu : menus) {
            QStringList entries;
            for (const QAction *action : f.widget<QMenu>(qPrintable("menu" + menu))->actions())
                if (!action->menu() && !action->isSeparator())
                    entries << QString(action->isEnabled() ? "%1" : "(%1)")
                                       .arg(action->text() + (action->isChecked() ? "*" : ""));
            state << entries.join(',');
        }
        return state.join('|');
    }

private slots:
    void initTestCase() { QVERIFY2(f.startServer(), qPrintable(f.server.errorString())); }
    void init()
    {
        QVERIFY(f.open() && f.server.add({"/"}) && f.server.send("play 0")
                && f.server.send("pause 1") && f.connect());
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    }
    void cleanup() { QCOMPARE(f.close(), QStringList()); }  // nothing refused or failed

    // A step clicks an entry, types keys into a view of some tab (keys@view), or has another
    // client change the server ("mpc ..."; waits until the menu shows it). query: the menu, then
    // "command:field|field" of the server; expected: those values, then the menu's entries.
    void serverAndMenuAgree_data()
    {
        for (const char *column : {"steps", "query", "expected"})
            QTest::addColumn<QString>(column);
        QTest::addRow("mode keys, every tab") << "Ctrl+Shift+Z@playlistTableview;"
                "Ctrl+Shift+R@artistList;Ctrl+Shift+Y@directoryTree;Ctrl+Shift+C@fileList"
                << "Playback status:random|repeat|single|consume"
                << "1,1,1,1 Random*,Repeat*,Single*,Consume*";
        QTest::addRow("modes, other client") << "mpc random on;mpc consume on;Random"
                << "Playback status:random|consume" << "0,1 Random,Repeat,Single,Consume*";
        QTest::addRow("crossfade") << "mpc crossfade 3;mpc crossfade 5;10 s;10 s"
                << "Crossfade status:xfade" << "10 Off,2 s,5 s,10 s*";
        QTest::addRow("replay gain") << "mpc replaygain track;Album;Album" << "ReplayGain "
                "replay_gain_status:replay_gain_mode" << "album Off,Track,Album*,Auto";
        QTest::addRow("outputs") << "mpc disable 1;Null B;Null A"
                << "Outputs outputs:outputenabled" << "1,0 Null A*,Null B";
        QTest::addRow("seek, from 0 back") << "Ctrl+Left@playlistTableview;Ctrl+Right@albumList;"
                "Ctrl+Right@fileList;Ctrl+Left@trackList" << "Playback status:elapsed"
                << "5.000 Random,Repeat,Single,Consume";
        QTest::addRow("volume") << "Ctrl+Down@playlistTableview;Ctrl+Down@directoryTree"
                << "Playback status:volume" << "90 Random,Repeat,Single,Consume";
    }
    void serverAndMenuAgree()
    {
        QFETCH(QString, steps); QFETCH(QString, query);
        const QString menu = query.section(' ', 0, 0);
        for (const QString &step : steps.split(';')) {
            const QString before = menuState();
            if (step.startsWith("mpc ")) {
                f.server.mpc(step.mid(4).split(' '));
                QTRY_VERIFY_WITH_TIMEOUT(menuState() != before, 5000);
            } else if (step.contains('@')) {
                auto *view = f.widget(qPrintable(step.section('@', 1)));
                f.widget<QTabWidget>("tabWidget")->setCurrentWidget(view->parentWidget());
                QTest::keySequence(view, QKeySequence(step.section('@', 0, 0)));
            }
            for (QAction *action : f.widget<QMenu>(qPrintable("menu" + menu))->actions())
                if (action->text() == step)
                    action->trigger();
            QVERIFY(f.settle());
        }
        const QRegularExpression fields("^(" + query.section(':', 1) + "): ");
        QTEST(f.server.command(query.section(' ', 1).section(':', 0, 0)).filter(fields)
                              .replaceInStrings(fields, "").join(',') + ' ' + menuState({menu}),
              "expected");
    }

    // Emptied and disabled on disconnect. Connected again as a guest that may only read: the
    // menu shows the server's state and follows it, but offers nothing the server would refuse.
    void disconnectThenGuest()
    {
        WindowTesting::controller(f.window.get())->onDisconnect();
        QCOMPARE(menuState(), "(Random),(Repeat),(Single),(Consume)|(Off),(2 s),(5 s),(10 s)|"
                              "(Off),(Track),(Album),(Auto)|");
        QVERIFY(f.server.send("random 1") && f.server.send("disableoutput 0"));
        QVERIFY(f.connect(f.server, QString()));
        QCOMPARE(menuState(), "(Random*),(Repeat),(Single),(Consume)|(Off*),(2 s),(5 s),(10 s)|"
                              "(Off*),(Track),(Album),(Auto)|(Null A),(Null B*)");
        for (const char *key : {"Ctrl+Right", "Ctrl+Down"})  // refused, were they not disabled
            QTest::keySequence(f.window.get(), QKeySequence(key));
        QVERIFY(f.server.send("crossfade 3"));
        QTRY_VERIFY_WITH_TIMEOUT(menuState({"Crossfade"}).endsWith("(3 s*)"), 5000);
    }
};

TUNELOOM_TEST_MAIN(TestPlayer)
#include "tst_player.moc"
