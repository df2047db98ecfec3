// Qmpd's commands for partitions and streams, which libmpd does not know: sent and read by the
// program itself (RawAnswer), on the connection thread.
#include "core/qmpd.h"

#include "core/rawanswer.h"

#include <QUrl>

bool Qmpd::command(const char *name, const QList<QByteArray> &arguments)
{
    return fetchLines(RawAnswer::request(name, arguments)).has_value();
}

QStringList Qmpd::partitionNames()
{
    QStringList names;
    const std::optional<QList<QByteArray>> lines = fetchLines("listpartitions\n");
    for (const QByteArray &line : lines.value_or(QList<QByteArray>())) {
        if (line.startsWith("partition: "))
            names << QString::fromUtf8(line.mid(11));
    }
    return names;
}

bool Qmpd::switchPartition(const QString &name)
{
    if (!command("partition", {name.toUtf8()}))
        return false;
    partition = name;
    // Another player: its queue has versions of its own, so the shown one is replaced whole,
    // and everything else the status carries is read again.
    queueSync.reset();
    pendingChanges |= MpdStatus::FirstStatus;
    firstStatus = true;
    return true;
}

bool Qmpd::createPartition(const QString &name)
{
    return command("newpartition", {name.toUtf8()});
}

bool Qmpd::deletePartition(const QString &name)
{
    return command("delpartition", {name.toUtf8()});
}

bool Qmpd::moveOutput(const QString &name)
{
    if (!command("moveoutput", {name.toUtf8()}))
        return false;
    pendingChanges |= MpdStatus::Outputs;
    return true;
}

bool Qmpd::addStream(const QString &url)
{
    const QString path = QUrl(url).path().toLower();
    const bool playlist = path.endsWith(QLatin1String(".m3u")) || path.endsWith(QLatin1String(".pls"));
    return command(playlist ? "load" : "add", {url.toUtf8()});
}

bool Qmpd::addToStoredPlaylist(const QString &name, const QString &uri)
{
    return command("playlistadd", {name.toUtf8(), uri.toUtf8()});
}
