// The playlist tests: the model, proxy and row painter on their own
// (tst_playlist.cpp), and the main window's playlist tab and now-playing panel
// against a real mpd (playlistwindowtests.cpp). One server serves the whole run.
#ifndef TST_PLAYLIST_H
#define TST_PLAYLIST_H

#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>

class QTableView;

class TestPlaylist : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Model and proxy.
    void displayText_data();
    void displayText();
    void rolesOfEveryColumn();
    void headers();
    void removeItem_data();
    void removeItem();
    void onWhichRow_data();
    void onWhichRow();
    void setNowPlaying_data();
    void setNowPlaying();
    void addItemsAnnouncesOneBlock();
    void proxySortsByDisplayText_data();
    void proxySortsByDisplayText();

    // Row painting.
    void npColor_data();
    void npColor();
    void ordinaryRowPaintedAsStandard_data();
    void ordinaryRowPaintedAsStandard();
    void nowPlayingRow_data();
    void nowPlayingRow();
    void elision_data();
    void elision();

    // The window against the server: editing.
    void cutThenPasteAfterOneRow();
    void pasteNeedsExactlyOneRow_data();
    void pasteNeedsExactlyOneRow();
    void pasteOfVanishedSongsMovesNothing();
    void removeSelected_data();
    void removeSelected();
    void removeButtonRunsOnceAfterReconnects();
    void enterAndSpacePlayLastSelected_data();
    void enterAndSpacePlayLastSelected();
    void doubleClickPlaysThatRowsSong();

    // The window against the server: now playing and synchronisation.
    void firstStatusShowsSongBeforeProgress();
    void progressText();
    void playerStateTitle();
    void volumeAndMuteIcon();
    void noMixerLeavesVolumeAlone();
    void songChangeMarksRowAndFocusesPlaylist();
    void songMissingFromModelKeepsOldMark();
    void rebuildsOnlyOnPlaylistChange();
    void clearAndDisconnectEmptyTheView();
    void longPlaylistSyncsAndPastes();

private:
    // Loads the files into the server's playlist (playing the position, if
    // any), then connects the window (made here unless the test made it).
    bool openWindow(const QStringList &files, MpdFixture &fixture, int playPosition = -1);
    bool openWindow(const QStringList &files, int playPosition = -1);
    QTableView *playlistView() const;
    QStringList viewFiles() const;
    QList<int> markedRows() const;
    QStringList banners() const;
    QString labelText(const char *name) const;
    QString panelTitle() const;
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    QTemporaryDir musicDir;
    MpdFixture server;
    QStringList library;  // every song of the standard library, in mpd's order
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;
    QStringList expectedBoxes;
};

#endif
