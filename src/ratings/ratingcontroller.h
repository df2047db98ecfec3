// RatingController: rating songs, 0 to 5 stars, kept as the song sticker "rating" (0 to 10, two
// per star, as other MPD clients keep it). Ctrl+Alt+1 to Ctrl+Alt+5 rate the playing song and
// Ctrl+Alt+0 clears its rating; the views it is handed get a "Rating" submenu for their selected
// songs, song tables a Rating column of stars, and the now-playing panel a row of stars. All of it
// is disabled, with a tooltip that says why, while the server keeps no stickers. Created by the
// main window, which hands it the views; GUI thread.
#ifndef RATINGCONTROLLER_H
#define RATINGCONTROLLER_H

#include "core/mpdstatus.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QAbstractItemModel;
class QAbstractItemView;
class QAction;
class QGridLayout;
class QLabel;
class QTableView;
class QWidget;
class RatingDelegate;
class ServerConnection;
class SongFacts;

class RatingController : public QObject
{
    Q_OBJECT

public:
    using Selection = std::function<QStringList()>;

    // The keys work wherever `window` has the focus; the stars go in a new row of `nowPlaying`.
    RatingController(QWidget *window, QGridLayout *nowPlaying, SongFacts *facts, QObject *parent);

    // The view's context menu rates the songs `selection` names (the files of its selection).
    void addSongView(QAbstractItemView *view, Selection selection);
    // A table of SongModel's columns (through proxies): its Rating column shows and takes stars,
    // its context menu rates the selected rows, its fact columns show the facts.
    void addSongTable(QTableView *view);

    static const QString NoStickersText;

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

private:
    void onStatus(const MpdStatus &status, MpdStatus::Changes what);
    void showFactsIn(QAbstractItemModel *model);
    void rate(const QStringList &files, int rating);
    void showState();
    void showNowPlaying();

    SongFacts *facts;
    QPointer<ServerConnection> server;
    QString playingFile;
    QList<QAction *> actions;  // every rating action: keys and menus
    QList<RatingDelegate *> delegates;
    QLabel *nowPlayingStars;
};

#endif
