// CollectionWindowTests: the main window's collection tab against a real mpd:
// browsing, adding to the playlist, and builds that outlive their connection or
// the window. Run from tst_collection's main with QTest::qExec.
#ifndef COLLECTIONWINDOWTESTS_H
#define COLLECTIONWINDOWTESTS_H

#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>

class BusyIndicator;
class QListView;

class CollectionWindowTests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void buildDisablesTabsThenShowsEverything();
    void clickSequences();
    void addArtist();
    void addAlbums();
    void addTracks();
    void finishedDatabaseUpdateRebuilds();

    void windowKeepsPollingDuringLongBuild();
    void reconnectDuringBuildShowsNewCollection();
    void disconnectDuringBuildLeavesNothingBehind();
    void closingDuringBuildReturnsPromptly();
    void updateDuringBuildIsFollowedByAnotherBuild();

private:
    bool connectAndBuild(const MpdFixture &mpd);
    MpdFixture &bigServer();
    bool startBigBuild();
    QListView *list(const char *name) const;
    BusyIndicator *busy() const;
    QStringList rows(const char *listName) const;
    bool click(const char *listName, const QString &text, Qt::KeyboardModifiers modifiers = {});
    QStringList serverPlaylist() const;
    bool bannerShows(const QString &message) const;

    QTemporaryDir musicDir;
    QTemporaryDir bigDir;
    MpdFixture server;
    std::unique_ptr<MpdFixture> big;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ModalCloser> closer;
};

#endif
