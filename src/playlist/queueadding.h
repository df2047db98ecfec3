// Adding to the queue from the lists that show songs (collection, file browser, stored
// playlists): one way to put an "&Add to playlist" entry in a list's context menu, one way to
// append.
#ifndef QUEUEADDING_H
#define QUEUEADDING_H

#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QStringList>

#include <functional>

class ServerConnection;

namespace QueueAdding {

// An entry of view's context menu, which shows the view's actions.
template<typename Receiver>
QAction *addMenuEntry(QAbstractItemView *view, const QString &text, Receiver *receiver,
                      void (Receiver::*slot)())
{
    auto *action = new QAction(text, view);
    view->addAction(action);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    QObject::connect(action, &QAction::triggered, receiver, slot);
    return action;
}

template<typename Receiver>
QAction *addToPlaylistEntry(QAbstractItemView *view, Receiver *receiver, void (Receiver::*slot)())
{
    return addMenuEntry(view, QCoreApplication::translate("QueueAdding", "&Add to playlist"),
                        receiver, slot);
}

// Appends paths (songs or whole folders) to the queue, in order; `added` runs once the server
// has taken them all, and only while context lives. A refusal is the connection's error box.
void append(ServerConnection *server, QObject *context, const QStringList &paths,
            const std::function<void()> &added);

}  // namespace QueueAdding

#endif
