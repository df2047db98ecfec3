// Album covers in the now-playing panel, and handing played songs to the scrobbler.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "qmpdsong.h"

#include <QDialog>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGridLayout>

void MainWindow::requestCover()
{
    // One fetch at a time: a song that changes during a fetch keeps the placeholder.
    if (coverFetcher.isRunning())
        return;
    coverFetcher.setAlbumArtist(currentSong->artist, currentSong->album);
    coverFetcher.setSong(currentSong->file, qmpd ? qmpd->host() : QString(),
                         qmpd ? qmpd->port() : 0, qmpd ? qmpd->password() : QString());
    coverFetcher.start();
}

void MainWindow::onCoverFetched(bool success)
{
    QPixmap cover;
    // The song may have changed during the fetch: show what the cache holds for the current one.
    // A fetch that ends after a disconnection leaves the placeholder.
    if (success && currentSong && qmpd)
        cover.load(CoverFetcher::coverPath(currentSong->artist, currentSong->album));
    if (cover.isNull())
        cover.load(QStringLiteral(":/unknowncoverimage"));
    showCover(cover);
}

void MainWindow::onApiKeyRejected()
{
    myShowMessage(tr("Last.fm did not accept the API key; set another one in Settings."));
}

void MainWindow::onCoverShowFullSize()
{
    if (!currentSong)
        return;
    QDialog dialog(this);
    dialog.setWindowTitle(currentSong->artist + QStringLiteral(" - ") + currentSong->album);
    auto *layout = new QGridLayout(&dialog);
    auto *view = new QGraphicsView(&dialog);
    auto *scene = new QGraphicsScene(view);
    scene->addPixmap(coverPixmap);
    view->setScene(scene);
    layout->addWidget(view);
    dialog.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    dialog.exec();
}

void MainWindow::queueForScrobbling()
{
    // Queued only; nothing is submitted, so the scrobbler thread never runs and the queue is
    // ours to touch.
    if (ui->actionEnable_scrobbling->isChecked() && !lfmUser.isEmpty())
        scrobbler.enqueueSong(*currentSong);
}
