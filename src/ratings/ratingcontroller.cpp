#include "ratings/ratingcontroller.h"

#include "core/serverconnection.h"
#include "core/songfacts.h"
#include "playlist/songmodel.h"
#include "ratings/ratingdelegate.h"
#include "ratings/stars.h"
#include "ratings/stickersync.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTableView>

const QString RatingController::NoStickersText = QObject::tr(
        "This server keeps no stickers (it has no sticker database, or does not allow them to "
        "this client): ratings and play counts cannot be kept.");

namespace {

constexpr int NowPlayingStarsHeight = 18;

QString ratingText(int stars)
{
    if (stars == 0)
        return QObject::tr("No rating");
    return stars == 1 ? QObject::tr("1 star") : QObject::tr("%1 stars").arg(stars);
}

}  // namespace

RatingController::RatingController(QWidget *window, QGridLayout *nowPlaying, SongFacts *facts,
                                   QObject *parent)
    : QObject(parent), facts(facts), nowPlayingStars(new QLabel(window))
{
    nowPlayingStars->setObjectName(QStringLiteral("nowPlayingRating"));
    nowPlayingStars->setFixedHeight(NowPlayingStarsHeight);
    nowPlaying->addWidget(nowPlayingStars, nowPlaying->rowCount(), 0);
    for (int stars = 0; stars <= Stars::Count; ++stars) {
        auto *action = new QAction(ratingText(stars), this);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | (Qt::Key_0 + stars)));
        connect(action, &QAction::triggered, this, [this, stars] {
            if (!playingFile.isEmpty())
                rate({playingFile}, 2 * stars);
        });
        window->addAction(action);
        actions << action;
    }
    connect(facts, &SongFacts::changed, this, &RatingController::showState);
    showState();
}

void RatingController::addSongView(QAbstractItemView *view, Selection selection)
{
    auto *menu = new QMenu(tr("Rating"), view);
    menu->setToolTipsVisible(true);
    for (int stars = 0; stars <= Stars::Count; ++stars) {
        QAction *action = menu->addAction(ratingText(stars));
        connect(action, &QAction::triggered, this,
                [this, selection, stars] { rate(selection(), 2 * stars); });
        actions << action;
    }
    actions << menu->menuAction();
    view->addAction(menu->menuAction());
    showState();
}

void RatingController::addSongTable(QTableView *view)
{
    auto *delegate = new RatingDelegate(view->itemDelegate(), this);
    view->setItemDelegateForColumn(SongModel::Rating, delegate);
    connect(delegate, &RatingDelegate::rated, this,
            [this](const QString &file, int rating) { rate({file}, rating); });
    delegates << delegate;
    addSongView(view, [view] {
        QStringList files;
        for (const QModelIndex &row : view->selectionModel()->selectedRows())
            files << row.data(SongModel::FileRole).toString();
        return files;
    });
    showFactsIn(view->model());
}

void RatingController::showFactsIn(QAbstractItemModel *model)
{
    // The song model may sit under proxies, and a proxy may be given other songs later.
    while (auto *proxy = qobject_cast<QAbstractProxyModel *>(model)) {
        connect(proxy, &QAbstractProxyModel::sourceModelChanged, this,
                [this, proxy] { showFactsIn(proxy->sourceModel()); });
        model = proxy->sourceModel();
    }
    if (auto *songs = qobject_cast<SongModel *>(model))
        songs->setFacts(facts);
}

void RatingController::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    connect(connection, &ServerConnection::statusChanged, this, &RatingController::onStatus);
    onStatus(connection->status(), MpdStatus::Song);
    showState();
}

void RatingController::onConnectionClosed()
{
    if (server)
        disconnect(server, nullptr, this, nullptr);
    server = nullptr;
    playingFile.clear();
    showState();
}

void RatingController::onStatus(const MpdStatus &status, MpdStatus::Changes what)
{
    if (!(what & MpdStatus::Song))
        return;
    playingFile = status.song ? status.song->file : QString();
    showNowPlaying();
}

void RatingController::rate(const QStringList &files, int rating)
{
    // Shown once the server reports the change (see StickerSync), as another client's would be.
    if (server && facts->available() && !files.isEmpty())
        server->send(&Qmpd::putSongStickers, files, StickerSync::RatingSticker,
                     rating > 0 ? QString::number(rating) : QString());
}

void RatingController::showState()
{
    const bool on = facts->available();
    const QString tip = server && !on ? NoStickersText : QString();
    for (QAction *action : std::as_const(actions)) {
        action->setEnabled(on);
        action->setToolTip(tip.isEmpty() ? action->text() : tip);
    }
    for (RatingDelegate *delegate : std::as_const(delegates))
        delegate->setEnabled(on);
    nowPlayingStars->setEnabled(on);
    nowPlayingStars->setToolTip(tip);
    showNowPlaying();
}

void RatingController::showNowPlaying()
{
    if (!facts->available() || playingFile.isEmpty()) {
        nowPlayingStars->clear();
        return;
    }
    const int rating = qMax(0, facts->of(playingFile).rating);
    const QRect area(0, 0, Stars::width(QRect(0, 0, 1, NowPlayingStarsHeight)), NowPlayingStarsHeight);
    const qreal ratio = nowPlayingStars->devicePixelRatioF();
    QPixmap pixmap(area.size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    Stars::paint(painter, area, rating, nowPlayingStars->palette());
    painter.end();
    nowPlayingStars->setPixmap(pixmap);
    nowPlayingStars->setAccessibleName(ratingText((rating + 1) / 2));
}
