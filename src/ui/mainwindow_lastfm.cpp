// Handing played songs to the scrobbler, and Last.fm's refusals.
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "core/qmpdsong.h"

void MainWindow::onApiKeyRejected()
{
    myShowMessage(tr("Last.fm did not accept the API key; set another one in Settings."));
}

void MainWindow::queueForScrobbling(const QmpdSong &song)
{
    // Queued only; nothing is submitted, so the scrobbler thread never runs and the queue is
    // ours to touch.
    if (ui->actionEnable_scrobbling->isChecked() && !lfmUser.isEmpty())
        scrobbler.enqueueSong(song);
}
