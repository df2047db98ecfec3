#include "infobanner.h"
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "settingsstore.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QTcpServer>

#include <QAction>
#include <QFileInfo>
#include <QGraphicsView>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QTreeView>

class TestUi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void widgetTree_data();
    void widgetTree();
    void windowLimitsAndMenus();
    void focusOrder();
    void startsDisconnected();
    void bannersStackAndExpire();
    void settingsFileIsPrivate();

    void autoconnectFromStoredSettings();
    void unusableStoredPortIsIgnored_data();
    void unusableStoredPortIsIgnored();
    void dialogStoresAutoconnectOnlyOnSuccess();
    void reconnectingKeepsOneLiveConnection();
    void killedServerGivesNoBoxAndReconnects();
    void serverWithoutMixerLeavesVolumeSlider();

private:
    void writeAutoconnect(const QVariant &port);
    QStringList bannerMessages() const;
    template<typename T> T *widget(const char *name) const { return window->findChild<T *>(name); }

    QTemporaryDir musicDir;
    MpdFixture server;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ModalCloser> closer;
};

void TestUi::initTestCase()
{
    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
}

void TestUi::init()
{
    if (!server.isRunning())
        QVERIFY2(server.restart(), qPrintable(server.errorString()));
    QVERIFY(server.resetState());
    QFile::remove(SettingsStore::directory() + "/config.conf");
    closer = std::make_unique<ModalCloser>();
    window = std::make_unique<MainWindow>();
}

void TestUi::cleanup()
{
    window.reset();
    closer.reset();
}

void TestUi::writeAutoconnect(const QVariant &port)
{
    SettingsStore settings;
    settings->setValue(SettingsKey::AutoconnectHost, server.host());
    settings->setValue(SettingsKey::AutoconnectPort, port);
    settings->setValue(SettingsKey::AutoconnectPassword, QString());
}

QStringList TestUi::bannerMessages() const
{
    return window->findChild<InfoBanner *>()->visibleMessages();
}

void TestUi::widgetTree_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    const QList<QPair<const char *, const char *>> widgets = {
        {"centralWidget", "QWidget"},          {"nowplayingGroup", "QGroupBox"},
        {"tabWidget", "QTabWidget"},           {"controlFrame", "QFrame"},
        {"imageFrame", "QFrame"},              {"imageCDCover", "QGraphicsView"},
        {"lblArtistSong", "QLabel"},           {"lblAlbum", "QLabel"},
        {"lblYear", "QLabel"},                 {"lblGenre", "QLabel"},
        {"songProgressSlider", "QSlider"},     {"lblSongProgress", "QLabel"},
        {"prevButton", "QPushButton"},         {"stopButton", "QPushButton"},
        {"playpauseButton", "QPushButton"},    {"nextButton", "QPushButton"},
        {"tabPlaylist", "QWidget"},            {"playlistTableview", "QTableView"},
        {"playlistButtonFrame", "QFrame"},     {"playlistDelSelButton", "QPushButton"},
        {"playlistDelAllButton", "QPushButton"}, {"volumeButton", "QPushButton"},
        {"volumeSlider", "QSlider"},           {"tabCollection", "QWidget"},
        {"artistList", "QListView"},           {"albumList", "QListView"},
        {"trackList", "QListView"},            {"filebrowserTab", "QWidget"},
        {"directoryTree", "QTreeView"},        {"fileList", "QTableView"},
        {"menuBar", "QMenuBar"},               {"menuFile", "QMenu"},
        {"menuConnect", "QMenu"},              {"mainToolBar", "QToolBar"},
        {"statusBar", "QStatusBar"},           {"actionOther", "QAction"},
        {"actionDisconnect", "QAction"},       {"action_Update_database", "QAction"},
        {"action_Settings", "QAction"},        {"actionEnable_scrobbling", "QAction"},
        {"action_Quit", "QAction"},            {"actionLocalhost_6600", "QAction"},
        {"actionAdd_new", "QAction"},
    };
    for (const auto &[name, className] : widgets)
        QTest::addRow("%s", name) << QString::fromLatin1(name) << QString::fromLatin1(className);
}

void TestUi::widgetTree()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QObject *object = window->findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
}

static QStringList actionNames(const QMenu *menu)
{
    QStringList names;
    for (const QAction *action : menu->actions())
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    return names;
}

void TestUi::windowLimitsAndMenus()
{
    QCOMPARE(window->minimumSize(), QSize(800, 550));
    window->resize(400, 300);
    QVERIFY(window->width() >= 800 && window->height() >= 550);

    const auto *menuFile = window->findChild<QMenu *>("menuFile");
    const auto *menuConnect = window->findChild<QMenu *>("menuConnect");
    QCOMPARE(actionNames(menuFile), QStringList({"actionOther", "actionDisconnect",
                                                 "action_Update_database", "action_Settings",
                                                 "actionEnable_scrobbling", "action_Quit", "", "-"}));
    QCOMPARE(menuFile->actions().at(6)->menu(), menuConnect);
    // The local default entry is never offered; only its separator is left.
    QCOMPARE(actionNames(menuConnect), QStringList({"-"}));
    for (const QMenu *menu : window->findChildren<QMenu *>())
        QVERIFY(!actionNames(menu).contains("actionAdd_new"));

    QVERIFY(window->findChild<QStatusBar *>("statusBar")->isHidden());
    for (const char *button : {"prevButton", "stopButton", "playpauseButton", "nextButton"})
        QVERIFY(window->findChild<QPushButton *>(button)->text().isEmpty());
    QCOMPARE(window->findChild<QAction *>("action_Quit")->shortcut(), QKeySequence("Ctrl+Q"));
    QCOMPARE(window->findChild<QAction *>("actionDisconnect")->shortcut(), QKeySequence("Ctrl+D"));
}

void TestUi::focusOrder()
{
    const QStringList expected = {"stopButton", "playpauseButton", "prevButton", "nextButton",
                                  "tabWidget", "directoryTree", "artistList", "albumList",
                                  "trackList"};
    QWidget *widget = window->findChild<QWidget *>(expected.first());
    for (int i = 1; i < expected.size(); ++i) {
        widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || !expected.contains(widget->objectName()))
            widget = widget->nextInFocusChain();
        QCOMPARE(widget->objectName(), expected.at(i));
    }
}

void TestUi::startsDisconnected()
{
    QVERIFY(window->isVisible());
    QVERIFY(!window->findChild<QWidget *>("controlFrame")->isEnabled());
    QVERIFY(!window->findChild<QWidget *>("tabWidget")->isEnabled());
    QVERIFY(!window->findChild<QAction *>("actionDisconnect")->isEnabled());
    QVERIFY(!window->findChild<QAction *>("action_Update_database")->isEnabled());
}

void TestUi::bannersStackAndExpire()
{
    auto *banner = window->findChild<InfoBanner *>();
    QVERIFY(banner);
    window->myShowMessage("first");
    window->myShowMessage("second");
    window->myShowMessage("third");
    QCOMPARE(banner->visibleMessages(), QStringList({"first", "second", "third"}));
    QVERIFY(banner->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    QTest::qWait(2500); // still shown well before the three seconds are up
    QCOMPARE(banner->visibleMessages().size(), 3);
    QTRY_VERIFY_WITH_TIMEOUT(banner->visibleMessages().isEmpty(), 1500);
    QTRY_VERIFY_WITH_TIMEOUT(!banner->isVisible(), 1000);
}

void TestUi::settingsFileIsPrivate()
{
    {
        SettingsStore settings;
        settings->setValue(SettingsKey::AutoconnectPassword, "secret");
    }
    const QFileInfo dir(SettingsStore::directory());
    const QFileInfo file(SettingsStore::directory() + "/config.conf");
    QVERIFY(file.exists());
    QCOMPARE(dir.permissions() & 0x0077, QFileDevice::Permissions());
    QCOMPARE(file.permissions() & 0x0077, QFileDevice::Permissions());
    QVERIFY(file.permissions() & QFileDevice::ReadOwner);
}

void TestUi::autoconnectFromStoredSettings()
{
    window.reset();
    writeAutoconnect(server.port());
    window = std::make_unique<MainWindow>();
    QTRY_VERIFY_WITH_TIMEOUT(widget<QWidget>("controlFrame")->isEnabled(), 10000);
    QVERIFY(widget<QWidget>("tabWidget")->isEnabled());
    QVERIFY(widget<QAction>("actionDisconnect")->isEnabled());
    QVERIFY(bannerMessages().contains("Connected to MPD succesfully!"));
    QCOMPARE(widget<QSlider>("volumeSlider")->value(), 100);

    server.mpc({"add", "Root Song.flac"});
    widget<QPushButton>("playpauseButton")->click();
    QCOMPARE(server.statusValue("state"), QString("play"));
    widget<QPushButton>("stopButton")->click();
    QCOMPARE(server.statusValue("state"), QString("stop"));
}

void TestUi::unusableStoredPortIsIgnored_data()
{
    QTest::addColumn<QVariant>("port");
    QTest::addRow("minus one") << QVariant(-1);
    QTest::addRow("not a number") << QVariant("sixty-six hundred");
}

void TestUi::unusableStoredPortIsIgnored()
{
    QFETCH(QVariant, port);
    window.reset();
    writeAutoconnect(port);
    window = std::make_unique<MainWindow>();
    QVERIFY(!widget<QWidget>("controlFrame")->isEnabled());
    QVERIFY(bannerMessages().isEmpty());
    QVERIFY(closer->texts.isEmpty());
}

static QString storedHost()
{
    SettingsStore settings;
    return settings->value(SettingsKey::AutoconnectHost).toString();
}

void TestUi::dialogStoresAutoconnectOnlyOnSuccess()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const int closedPort = probe.serverPort();
    probe.close();

    int dialogPort = closedPort;
    closer = std::make_unique<ModalCloser>([&](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineHost")->setText("  " + server.host() + " ");
        dialog->findChild<QSpinBox *>("spinPort")->setValue(dialogPort);
        dialog->findChild<QCheckBox *>("checkBox")->setChecked(true);
        dialog->accept();
    });
    window->onConnectOther();
    QTRY_VERIFY_WITH_TIMEOUT(
            bannerMessages().contains("Could not connect to MPD, check your settings."), 10000);
    QVERIFY(!widget<QWidget>("controlFrame")->isEnabled());
    QVERIFY(storedHost().isEmpty());

    dialogPort = server.port();
    window->onConnectOther();
    QTRY_VERIFY_WITH_TIMEOUT(widget<QWidget>("controlFrame")->isEnabled(), 10000);
    QCOMPARE(storedHost(), server.host());
    SettingsStore settings;
    QCOMPARE(settings->value(SettingsKey::AutoconnectPort).toInt(), server.port());
}

void TestUi::reconnectingKeepsOneLiveConnection()
{
    for (int cycle = 0; cycle < 3; ++cycle) {
        QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port(), QString()));
        widget<QAction>("actionDisconnect")->trigger();
        QVERIFY(!widget<QWidget>("controlFrame")->isEnabled());
        QCOMPARE(widget<QGroupBox>("nowplayingGroup")->title(), QString("Disconnected"));
    }
    QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port(), QString()));
    server.mpc({"add", "Root Song.flac"});
    widget<QPushButton>("playpauseButton")->click();
    QCOMPARE(server.statusValue("state"), QString("play"));
    widget<QPushButton>("playpauseButton")->click();
    QCOMPARE(server.statusValue("state"), QString("pause"));
    QVERIFY(closer->texts.isEmpty());
}

void TestUi::killedServerGivesNoBoxAndReconnects()
{
    QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port(), QString()));
    server.kill();
    QTRY_VERIFY_WITH_TIMEOUT(!widget<QWidget>("controlFrame")->isEnabled(), 5000);
    QCOMPARE(bannerMessages().count("Reconnecting to MPD..."), 1);
    // Retries raise no boxes; Disconnect stays available to stop them.
    QTest::qWait(1500);
    QVERIFY(closer->texts.isEmpty());
    QVERIFY(widget<QAction>("actionDisconnect")->isEnabled());
}

void TestUi::serverWithoutMixerLeavesVolumeSlider()
{
    MpdFixture::Options options;
    options.mixer = false;
    MpdFixture silent(options);
    QVERIFY2(silent.start(musicDir.path()), qPrintable(silent.errorString()));
    widget<QSlider>("volumeSlider")->setValue(37);
    QVERIFY(WindowTesting::connectWindow(window.get(), silent.host(), silent.port(), QString()));
    QCOMPARE(widget<QSlider>("volumeSlider")->value(), 37);
}

TUNELOOM_TEST_MAIN(TestUi)
#include "tst_ui.moc"
