// The playback menu and keys against a real server with two outputs: what they change on the
// server, and that they always show what the server reports, whoever changed it.
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QAction>
#include <QMenu>
#include <QTabWidget>

class TestPlayer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void menuChangesServer_data();
    void menuChangesServer();
    void otherClientReachesMenu_data();
    void otherClientReachesMenu();
    void keysWorkFromEveryTab_data();
    void keysWorkFromEveryTab();
    void disconnectEmptiesReconnectFills();
    void guestSeesServerStateButCannotChangeIt();

private:
    QString menuState(const char *name) const;
    QAction *entry(const char *menu, const QString &text) const;
    QList<QAction *> controls() const;
    QString serverValue(const QString &key) const;

    QTemporaryDir musicDir;
    MpdFixture server;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;
};

void TestPlayer::initTestCase()
{
    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
}

void TestPlayer::init()
{
    QVERIFY(server.resetState());
    closer = std::make_unique<ModalCloser>();
    window = std::make_unique<MainWindow>();
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
}

void TestPlayer::cleanup()
{
    window.reset();
    // Nothing was refused or failed on the way.
    QCOMPARE(closer->texts, QStringList());
}

// The menu's entries in order, a checked one marked with "*".
QString TestPlayer::menuState(const char *name) const
{
    QStringList entries;
    for (const QAction *action : window->findChild<QMenu *>(name)->actions())
        entries << action->text() + (action->isChecked() ? "*" : "");
    return entries.join('|');
}

QAction *TestPlayer::entry(const char *menu, const QString &text) const
{
    for (QAction *action : window->findChild<QMenu *>(menu)->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Every entry that changes something on the server, and the seek and volume keys.
QList<QAction *> TestPlayer::controls() const
{
    QList<QAction *> actions;
    for (const char *menu : {"menuPlayback", "menuCrossfade", "menuReplayGain", "menuOutputs"}) {
        for (QAction *action : window->findChild<QMenu *>(menu)->actions()) {
            if (!action->menu() && !action->isSeparator())
                actions << action;
        }
    }
    for (const char *key : {"actionSeekBack", "actionSeekForward", "actionVolumeUp", "actionVolumeDown"})
        actions << window->findChild<QAction *>(key);
    return actions;
}

// A status field, the replay gain mode, or whether the output of that name is enabled.
QString TestPlayer::serverValue(const QString &key) const
{
    if (key == "replay_gain_mode")
        return server.command("replay_gain_status").value(0).section(": ", 1);
    const QStringList outputs = server.command("outputs");
    const qsizetype at = outputs.indexOf("outputname: " + key);
    if (at >= 0)
        return outputs.mid(at).filter("outputenabled: ").value(0).section(": ", 1);
    return server.statusValue(key);
}

void TestPlayer::menuChangesServer_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("afterEachClick");
    QTest::addRow("random") << "menuPlayback" << "Random" << "random" << QStringList{"1", "0"};
    QTest::addRow("repeat") << "menuPlayback" << "Repeat" << "repeat" << QStringList{"1", "0"};
    QTest::addRow("single") << "menuPlayback" << "Single" << "single" << QStringList{"1", "0"};
    QTest::addRow("consume") << "menuPlayback" << "Consume" << "consume" << QStringList{"1", "0"};
    QTest::addRow("crossfade, the checked one again") << "menuCrossfade" << "10 s" << "xfade"
                                                      << QStringList{"10", "10"};
    QTest::addRow("replay gain, the checked one again") << "menuReplayGain" << "Album"
                                                        << "replay_gain_mode"
                                                        << QStringList{"album", "album"};
    QTest::addRow("output off and on") << "menuOutputs" << "Null B" << "Null B"
                                       << QStringList{"0", "1"};
}

void TestPlayer::menuChangesServer()
{
    QFETCH(QString, menu);
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QStringList, afterEachClick);
    QAction *action = entry(qPrintable(menu), text);
    QVERIFY(action && action->isEnabled());
    for (const QString &expected : afterEachClick) {
        action->trigger();
        QCOMPARE(serverValue(key), expected);
        QCOMPARE(action->isChecked(), expected != "0");
    }
}

void TestPlayer::otherClientReachesMenu_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("state");
    QTest::addRow("random on") << QStringList{"random on"} << "menuPlayback"
                               << "Random*|Repeat|Single|Consume||Crossfade|Replay gain|Outputs";
    QTest::addRow("repeat, consume on") << QStringList{"repeat on", "consume on"} << "menuPlayback"
                               << "Random|Repeat*|Single|Consume*||Crossfade|Replay gain|Outputs";
    QTest::addRow("disable 2") << QStringList{"disable 2"} << "menuOutputs" << "Null A*|Null B";
    QTest::addRow("crossfade 3") << QStringList{"crossfade 3"} << "menuCrossfade"
                                 << "Off|2 s|5 s|10 s|3 s*";
    QTest::addRow("crossfade 3, then 5") << QStringList{"crossfade 3", "crossfade 5"}
                                         << "menuCrossfade" << "Off|2 s|5 s*|10 s";
    QTest::addRow("replaygain track") << QStringList{"replaygain track"} << "menuReplayGain"
                                      << "Off|Track*|Album|Auto";
}

void TestPlayer::otherClientReachesMenu()
{
    QFETCH(QStringList, commands);
    QFETCH(QString, menu);
    QFETCH(QString, state);
    for (const QString &command : commands) {
        const QString before = menuState(qPrintable(menu));
        server.mpc(command.split(' '));
        QTRY_VERIFY_WITH_TIMEOUT(menuState(qPrintable(menu)) != before, 5000);
    }
    QCOMPARE(menuState(qPrintable(menu)), state);
}

void TestPlayer::keysWorkFromEveryTab_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::addRow("random, playlist") << "playlistTableview" << (Qt::CTRL | Qt::SHIFT | Qt::Key_Z)
                                      << "random" << "1";
    QTest::addRow("repeat, collection") << "artistList" << (Qt::CTRL | Qt::SHIFT | Qt::Key_R)
                                        << "repeat" << "1";
    QTest::addRow("single, file browser") << "directoryTree" << (Qt::CTRL | Qt::SHIFT | Qt::Key_Y)
                                          << "single" << "1";
    QTest::addRow("consume, file list") << "fileList" << (Qt::CTRL | Qt::SHIFT | Qt::Key_C)
                                        << "consume" << "1";
    QTest::addRow("seek forward, collection") << "albumList" << (Qt::CTRL | Qt::Key_Right)
                                              << "elapsed" << "5.000";
    QTest::addRow("seek back at the start") << "playlistTableview" << (Qt::CTRL | Qt::Key_Left)
                                            << "elapsed" << "0.000";
    QTest::addRow("volume down, file browser") << "directoryTree" << (Qt::CTRL | Qt::Key_Down)
                                               << "volume" << "95";
}

void TestPlayer::keysWorkFromEveryTab()
{
    QFETCH(QString, view);
    QFETCH(QKeyCombination, key);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    QVERIFY(server.send("add /") && server.send("play 0") && server.send("pause 1"));
    auto *focus = window->findChild<QWidget *>(view);
    auto *tabs = window->findChild<QTabWidget *>("tabWidget");
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(focus))
            tabs->setCurrentIndex(i);
    }
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    focus->setFocus();
    QTest::keyClick(focus, key.key(), key.keyboardModifiers());
    QCOMPARE(server.statusValue(field), expected);
}

void TestPlayer::disconnectEmptiesReconnectFills()
{
    QVERIFY(server.send("crossfade 3"));
    QTRY_COMPARE_WITH_TIMEOUT(menuState("menuCrossfade"), "Off|2 s|5 s|10 s|3 s*", 5000);
    window->onDisconnect();
    QCOMPARE(menuState("menuCrossfade") + menuState("menuReplayGain") + menuState("menuOutputs"),
             "Off|2 s|5 s|10 sOff|Track|Album|Auto");
    for (QAction *action : controls())
        QVERIFY2(!action->isEnabled(), qPrintable(action->objectName() + action->text()));
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
    QCOMPARE(menuState("menuCrossfade") + menuState("menuOutputs"),
             "Off|2 s|5 s|10 s|3 s*Null A*|Null B*");
    for (QAction *action : controls())
        QVERIFY2(action->isEnabled(), qPrintable(action->objectName() + action->text()));
}

// A client that has not logged in to a server that lets guests only read: the menu shows
// the server's state, offers nothing the server would refuse, and the window stays connected.
void TestPlayer::guestSeesServerStateButCannotChangeIt()
{
    MpdFixture::Options options;
    options.password = "secret";
    options.guestPermissions = "read";
    MpdFixture locked(options);
    QVERIFY2(locked.start(musicDir.path()), qPrintable(locked.errorString()));
    QVERIFY(locked.send("random 1") && locked.send("disableoutput 0"));
    window->onDisconnect();
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), locked.host(), locked.port()));
    QCOMPARE(menuState("menuPlayback") + menuState("menuOutputs"),
             "Random*|Repeat|Single|Consume||Crossfade|Replay gain|OutputsNull A|Null B*");
    QCOMPARE(menuState("menuReplayGain"), "Off*|Track|Album|Auto");
    for (QAction *action : controls())
        QVERIFY2(!action->isEnabled(), qPrintable(action->objectName() + action->text()));
    QVERIFY(window->findChild<QAction *>("actionDisconnect")->isEnabled());
}

TUNELOOM_TEST_MAIN(TestPlayer)
#include "tst_player.moc"
