#include "playlist/queuetotals.h"

#include "core/serverconnection.h"
#include "playlist/songmodel.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QLabel>
#include <QTimer>

#include <algorithm>

QueueTotals::QueueTotals(const QAbstractItemView *view, QLabel *label, QObject *parent)
    : QObject(parent),
      queue(qobject_cast<const SongModel *>(
              qobject_cast<const QAbstractProxyModel *>(view->model())->sourceModel())),
      shown(view->model()),
      label(label)
{
    // One count for a burst of changes: a queue update arrives in several model signals.
    refresh = new QTimer(this);
    refresh->setSingleShot(true);
    refresh->setInterval(0);
    connect(refresh, &QTimer::timeout, this, &QueueTotals::show);
    tick = new QTimer(this);
    tick->setInterval(1000);
    connect(tick, &QTimer::timeout, this, &QueueTotals::show);
    const auto later = [this] { refresh->start(); };
    for (const QAbstractItemModel *model : {static_cast<const QAbstractItemModel *>(queue), shown}) {
        connect(model, &QAbstractItemModel::rowsInserted, this, later);
        connect(model, &QAbstractItemModel::rowsRemoved, this, later);
        connect(model, &QAbstractItemModel::modelReset, this, later);
        connect(model, &QAbstractItemModel::layoutChanged, this, later);
        connect(model, &QAbstractItemModel::dataChanged, this, later);
    }
    show();
}

void QueueTotals::onConnectionReady(ServerConnection *connection)
{
    statusConnection = connect(connection, &ServerConnection::statusChanged, this,
                               [this](const MpdStatus &status) { onStatus(status); });
    onStatus(connection->status());
}

void QueueTotals::onConnectionClosed()
{
    disconnect(statusConnection);
    onStatus(MpdStatus());
}

void QueueTotals::onStatus(const MpdStatus &newStatus)
{
    status = newStatus;
    if (status.playing())
        tick->start();
    else
        tick->stop();
    refresh->start();
}

QueueTotals::Totals QueueTotals::count() const
{
    Totals totals;
    totals.songs = queue->rowCount();
    const bool running = status.state == PlayerState::Playing || status.state == PlayerState::Paused;
    const int playing = running ? status.songPos : -1;
    qint64 fromPlaying = 0;
    for (int row = 0; row < totals.songs; ++row) {
        const int time = std::max(0, queue->songAtRow(row)->time);
        totals.seconds += time;
        if (playing >= 0 && row >= playing)
            fromPlaying += time;
    }
    if (playing >= 0 && playing < totals.songs)
        totals.secondsLeft = std::max<qint64>(0, fromPlaying - status.elapsedNow());
    if (shown->rowCount() != totals.songs)
        totals.shown = shown->rowCount();
    return totals;
}

QString QueueTotals::describe(const Totals &totals)
{
    QString text = tr("%1 songs, %2").arg(totals.songs).arg(QmpdSong::formatHours(totals.seconds));
    if (totals.secondsLeft >= 0)
        text += tr("; %1 left").arg(QmpdSong::formatHours(totals.secondsLeft));
    if (totals.shown >= 0)
        text += tr("; %1 shown").arg(totals.shown);
    return text;
}

void QueueTotals::show()
{
    label->setText(describe(count()));
}
