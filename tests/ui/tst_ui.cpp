#include "infobanner.h"
#include "mainwindow.h"
#include "settingsstore.h"
#include "testmain.h"

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
    void init();

    void widgetTree_data();
    void widgetTree();
    void windowLimitsAndMenus();
    void focusOrder();
    void startsDisconnected();
    void bannersStackAndExpire();
    void settingsFileIsPrivate();

private:
    std::unique_ptr<MainWindow> window;
};

void TestUi::init()
{
    window = std::make_unique<MainWindow>();
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

TUNELOOM_TEST_MAIN(TestUi)
#include "tst_ui.moc"
