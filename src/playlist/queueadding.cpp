#include "playlist/queueadding.h"

#include "core/serverconnection.h"

void QueueAdding::append(ServerConnection *server, QObject *context, const QStringList &paths,
                         const std::function<void()> &added)
{
    if (!server)
        return;
    server->ask(
            context, [paths](Qmpd &queue) { return queue.addPaths(paths); },
            [added](bool taken) {
                if (taken)
                    added();
            });
}
