#include "librarystats/librarystatsaction.h"

#include "core/qmpdsong.h"
#include "core/serverconnection.h"

#include <QAction>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>

LibraryStatsAction::LibraryStatsAction(QMenu *menu, QAction *before, QWidget *window)
    : QObject(window), action(new QAction(tr("Library statistics..."), menu)), window(window)
{
    menu->insertAction(before, action);
    action->setEnabled(false);
    connect(action, &QAction::triggered, this, &LibraryStatsAction::ask);
}

void LibraryStatsAction::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    action->setEnabled(true);
}

void LibraryStatsAction::onConnectionClosed()
{
    server = nullptr;
    action->setEnabled(false);
}

QList<QPair<QString, QString>> LibraryStatsAction::rows(const LibraryStats &stats)
{
    const QLocale locale;
    const QString update = stats.lastUpdate > 0
            ? locale.toString(QDateTime::fromSecsSinceEpoch(stats.lastUpdate), QLocale::ShortFormat)
            : tr("never");
    return {{tr("Artists"), locale.toString(stats.artists)},
            {tr("Albums"), locale.toString(stats.albums)},
            {tr("Songs"), locale.toString(stats.songs)},
            {tr("Total play time"), QmpdSong::formatHours(stats.playTime)},
            {tr("Last database update"), update}};
}

void LibraryStatsAction::ask()
{
    if (!server)
        return;
    // A refusal reaches the connection's error box; nothing to show then.
    server->ask(
            this, [](Qmpd &mpd) { return mpd.libraryStats(); },
            [this](const std::optional<LibraryStats> &stats) {
                if (stats)
                    show(*stats);
            });
}

void LibraryStatsAction::show(const LibraryStats &stats)
{
    auto *dialog = new QDialog(window);
    dialog->setObjectName(QStringLiteral("libraryStatsDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("Library statistics"));
    auto *form = new QFormLayout(dialog);
    for (const auto &[label, value] : rows(stats))
        form->addRow(label, new QLabel(value, dialog));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    form->addRow(buttons);
    dialog->open();
}
