#include "ui/nowplayingpanel.h"
#include "ui_mainwindow.h"

#include "covers/coverfetcher.h"
#include "core/serverconnection.h"

#include <QDialog>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGridLayout>

namespace {

constexpr int ProgressTickMs = 500;
constexpr int CoverSide = 148;

// The widget's signal sends one command, with no arguments, on the connection.
template<typename Sender, typename Signal, typename Command>
QMetaObject::Connection sendOn(Sender *sender, Signal signal, ServerConnection *connection,
                               Command command)
{
    return QObject::connect(sender, signal, connection,
                            [connection, command] { connection->send(command); });
}

}  // namespace

NowPlayingPanel::NowPlayingPanel(Ui_MainWindow *ui, CoverFetcher &covers, QObject *parent)
    : QObject(parent), ui(ui), covers(covers)
{
    auto *fullSize = new QAction(tr("Show fullsize"), this);
    ui->imageCDCover->addAction(fullSize);
    ui->imageCDCover->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(fullSize, &QAction::triggered, this, &NowPlayingPanel::onShowFullSize);
    ui->playpauseButton->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_P));
    progressTimer.setInterval(ProgressTickMs);
    connect(&progressTimer, &QTimer::timeout, this, &NowPlayingPanel::showProgress);
}

void NowPlayingPanel::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    wireControls(connection);
    wiring << connect(connection, &ServerConnection::statusChanged, this, &NowPlayingPanel::onStatus);
}

void NowPlayingPanel::wireControls(ServerConnection *connection)
{
    wiring = {
            sendOn(ui->playpauseButton, &QPushButton::clicked, connection, &Qmpd::playPause),
            sendOn(ui->stopButton, &QPushButton::clicked, connection, &Qmpd::stop),
            sendOn(ui->prevButton, &QPushButton::clicked, connection, &Qmpd::previous),
            sendOn(ui->nextButton, &QPushButton::clicked, connection, &Qmpd::next),
            sendOn(ui->volumeButton, &QPushButton::clicked, connection, &Qmpd::toggleMute),
            sendOn(ui->songProgressSlider, &QSlider::sliderPressed, connection,
                   &Qmpd::pause),
            sendOn(ui->songProgressSlider, &QSlider::sliderReleased, connection,
                   &Qmpd::resumeIfPaused),
    };
    wiring << connect(ui->songProgressSlider, &QSlider::sliderMoved, connection,
                      [connection](int seconds) { connection->send(&Qmpd::seek, seconds); });
    wiring << connect(ui->volumeSlider, &QSlider::sliderMoved, connection,
                      [connection](int percent) { connection->send(&Qmpd::setVolume, percent); });
}

void NowPlayingPanel::onConnectionClosed()
{
    for (const QMetaObject::Connection &connection : std::as_const(wiring))
        disconnect(connection);
    wiring.clear();
    server = nullptr;
    progressTimer.stop();
    status = MpdStatus();
    current.reset();
    // Not waited for: abort() ends a download at once, and the result is ignored.
    if (covers.isRunning())
        covers.abort();
    ui->lblAlbum->setText(QStringLiteral("-"));
    ui->lblArtistSong->setText(QStringLiteral("-"));
    ui->lblGenre->setText(QStringLiteral("-"));
    ui->lblYear->setText(QStringLiteral("-"));
    ui->lblSongProgress->setText(QStringLiteral("- / -"));
    ui->songProgressSlider->setValue(0);
    showCover(QPixmap(QStringLiteral(":/unknowncoverimage")));
}

void NowPlayingPanel::onStatus(const MpdStatus &snapshot, MpdStatus::Changes what)
{
    status = snapshot;
    showVolume(status.volume);
    if (what & MpdStatus::Song)
        onSongChange(status);
    showProgress();
    if (status.playing())
        progressTimer.start();
    else
        progressTimer.stop();
    if (what & MpdStatus::State)
        showPlayerState(status.state);
}

void NowPlayingPanel::onSongChange(const MpdStatus &snapshot)
{
    if (!snapshot.song) {
        current.reset();
        return;
    }
    current = snapshot.song;
    ui->songProgressSlider->setMaximum(current->time);
    ui->lblArtistSong->setText(songCaption(*current));
    ui->lblAlbum->setText(current->album);
    ui->lblGenre->setText(tr("Genre: ") + snapshot.songGenre);
    ui->lblYear->setText(tr("Year: ") + current->date);
    showCover(QPixmap(QStringLiteral(":/unknowncoverimage")));
    requestCover();
    emit songChanged(*current);
}

void NowPlayingPanel::showProgress()
{
    if (!current)
        return;
    const int elapsed = status.elapsedNow();
    // The user's drag wins over the server's position.
    if (!ui->songProgressSlider->isSliderDown())
        ui->songProgressSlider->setValue(elapsed);
    ui->lblSongProgress->setText(QmpdSong::formatTime(elapsed) + QStringLiteral(" / ")
                                 + current->timeText());
    if (plays.observe(*current, elapsed, status.state == PlayerState::Stopped))
        emit songPlayed(*current);
}

void NowPlayingPanel::showVolume(int volume)
{
    // A negative volume means the server has no mixer: nothing to show.
    if (volume < 0)
        return;
    if (!ui->volumeSlider->isSliderDown())
        ui->volumeSlider->setValue(volume);
    const QString icon = volume > 0 ? QStringLiteral(":/graphics/volume.png")
                                    : QStringLiteral(":/graphics/mute.png");
    ui->volumeButton->setIcon(QIcon(QPixmap(icon, "PNG")));
    ui->volumeButton->setIconSize(QSize(16, 16));
}

void NowPlayingPanel::showPlayerState(PlayerState state)
{
    switch (state) {
    case PlayerState::Playing:
        ui->nowplayingGroup->setTitle(tr("Now playing"));
        break;
    case PlayerState::Paused:
        ui->nowplayingGroup->setTitle(tr("Paused"));
        break;
    case PlayerState::Stopped:
        ui->nowplayingGroup->setTitle(tr("Stopped"));
        break;
    default:
        ui->nowplayingGroup->setTitle(QString());
    }
}

void NowPlayingPanel::requestCover()
{
    // One fetch at a time: a song that changes during a fetch keeps the placeholder.
    if (covers.isRunning() || !server)
        return;
    covers.setAlbumArtist(current->artist, current->album);
    covers.setSong(current->file, server->host(), server->port(), server->password());
    covers.start();
}

void NowPlayingPanel::onCoverFetched(bool success)
{
    QPixmap cover;
    // The song may have changed during the fetch: show what the cache holds for the current one.
    // A fetch that ends after a disconnection leaves the placeholder.
    if (success && current && server)
        cover.load(CoverFetcher::coverPath(current->artist, current->album));
    if (cover.isNull())
        cover.load(QStringLiteral(":/unknowncoverimage"));
    showCover(cover);
}

void NowPlayingPanel::showCover(const QPixmap &pixmap)
{
    coverPixmap = pixmap;
    auto *scene = new QGraphicsScene(this);
    // Scaled for the screen's pixels, so that a high-density screen shows it sharp.
    const qreal ratio = ui->imageCDCover->devicePixelRatioF();
    const int side = qRound(CoverSide * ratio);
    QPixmap shown = pixmap.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    shown.setDevicePixelRatio(ratio);
    scene->addPixmap(shown);
    QGraphicsScene *previous = ui->imageCDCover->scene();
    ui->imageCDCover->setScene(scene);
    // Nothing else refers to the old scene.
    if (previous)
        previous->deleteLater();
}

void NowPlayingPanel::onShowFullSize()
{
    if (!current)
        return;
    QDialog dialog(ui->imageCDCover->window());
    dialog.setWindowTitle(current->artist + QStringLiteral(" - ") + current->album);
    auto *layout = new QGridLayout(&dialog);
    auto *view = new QGraphicsView(&dialog);
    auto *scene = new QGraphicsScene(view);
    scene->addPixmap(coverPixmap);
    view->setScene(scene);
    layout->addWidget(view);
    dialog.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    dialog.exec();
}
