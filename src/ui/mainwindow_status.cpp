// Following the server's status: volume, progress, the song shown, the player
// state and database updates.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "qmpd.h"
#include "qmpdsong.h"

void MainWindow::onMpdStatusChange(MpdObj *mpd, ChangedStatusType what)
{
    if (!qmpd)
        return;
    showVolume(mpd_status_get_volume(qmpd->getMpdObj()));
    if (currentSong) {
        // Uses the song as it was before this call's song change, if any.
        const int elapsed = mpd_status_get_elapsed_song_time(mpd);
        ui->songProgressSlider->setValue(elapsed);
        ui->lblSongProgress->setText(QmpdSong::formatTime(elapsed) + QStringLiteral(" / ")
                                     + currentSong->timeText());
        // After a song change the elapsed time is the new song's, not this record's.
        if (!(what & MPD_CST_SONGID))
            updatePlayedMark(elapsed);
    }
    if (what & MPD_CST_SONGID) {
        if (mpd_Song *song = mpd_playlist_get_current_song(mpd))
            onSongChange(song);
    }
    if (what & MPD_CST_STATE)
        showPlayerState(mpd_player_get_state(mpd));
    // An update that starts and ends between two polls shows only as a changed
    // database; its end must rebuild the collection all the same.
    if (what & (MPD_CST_UPDATING | MPD_CST_DATABASE)) {
        if (!mpd_status_db_is_updating(mpd)) {
            myShowMessage(tr("Database updated, rebuilding collection..."));
            collectionBuilder.setForceFromMPD(true);
            buildCollectionNow();
        } else if (what & MPD_CST_UPDATING) {
            myShowMessage(tr("Database update started!"));
        }
    }
    // Compares the queue version with the one shown; fetches only when they differ.
    updatePlaylist(mpd);
}

void MainWindow::showVolume(int volume)
{
    // A negative volume means the server has no mixer: nothing to show.
    if (volume < 0)
        return;
    ui->volumeSlider->setValue(volume);
    const QString icon = volume > 0 ? QStringLiteral(":/graphics/volume.png")
                                    : QStringLiteral(":/graphics/mute.png");
    ui->volumeButton->setIcon(QIcon(QPixmap(icon, "PNG")));
    ui->volumeButton->setIconSize(QSize(16, 16));
}

void MainWindow::showPlayerState(int state)
{
    switch (state) {
    case MPD_PLAYER_PLAY:
        ui->nowplayingGroup->setTitle(tr("Now playing"));
        break;
    case MPD_PLAYER_PAUSE:
        ui->nowplayingGroup->setTitle(tr("Paused"));
        break;
    case MPD_PLAYER_STOP:
        ui->nowplayingGroup->setTitle(tr("Stopped"));
        break;
    default:
        ui->nowplayingGroup->setTitle(QString());
    }
}

void MainWindow::onSongChange(mpd_Song *song)
{
    currentSong = std::make_unique<QmpdSong>(
            QmpdSong::fromMpdSong(song, QmpdSong::TrackDateDecoding::Latin1));
    currentSongPlayed = false;
    ui->songProgressSlider->setMaximum(currentSong->time);
    if (currentSong->title.isEmpty()) {
        const QString path = QString::fromLatin1(song->file ? song->file : "");
        ui->lblArtistSong->setText(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    } else {
        ui->lblArtistSong->setText(currentSong->artist + QStringLiteral(" - ")
                                   + currentSong->title);
    }
    ui->lblAlbum->setText(currentSong->album);
    ui->lblGenre->setText(tr("Genre: ") + QString::fromLatin1(song->genre ? song->genre : ""));
    ui->lblYear->setText(tr("Year: ") + currentSong->date);
    showCover(QPixmap(QStringLiteral(":/unknowncoverimage")));
    requestCover();
    markNowPlaying(currentSong->id);
}

void MainWindow::updatePlayedMark(int elapsed)
{
    // A song counts as played once it is long enough to matter and has been
    // heard for half its length or four minutes; the mark then stays, and the
    // song is queued for scrobbling once, when the mark is set.
    const int length = currentSong->time;
    if (currentSongPlayed || length <= 30)
        return;
    if (elapsed > length / 2 || elapsed > 240) {
        currentSongPlayed = true;
        queueForScrobbling();
    }
}
