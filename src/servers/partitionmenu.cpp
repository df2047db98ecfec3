#include "servers/partitionmenu.h"

#include "core/serverconnection.h"
#include "servers/serverlist.h"

#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>

#include <utility>

PartitionMenu::PartitionMenu(QMenu *playbackMenu, QWidget *window)
    : QObject(window),
      window(window),
      menu(playbackMenu->addMenu(tr("Partition"))),
      deleteMenu(new QMenu(tr("Delete"), menu)),
      moveMenu(new QMenu(tr("Move output here"), menu))
{
    menu->setObjectName(QStringLiteral("menuPartition"));
    // Other clients create and delete partitions too.
    connect(menu, &QMenu::aboutToShow, this, &PartitionMenu::refresh);
    onConnectionClosed();
}

QString PartitionMenu::nameProblem(const QString &name, const QStringList &existing)
{
    // What the server accepts as a partition's name.
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]+$"));
    if (!allowed.match(name).hasMatch())
        return tr("A partition's name is made of letters, digits, '-' and '_' only.");
    if (existing.contains(name))
        return tr("There is a partition \"%1\" already.").arg(name);
    return QString();
}

void PartitionMenu::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    restorePending = true;
    connect(connection, &ServerConnection::statusChanged, this, &PartitionMenu::onStatus);
}

void PartitionMenu::onConnectionClosed()
{
    if (server)
        server->disconnect(this);
    server = nullptr;
    names.clear();
    current.clear();
    outputs.clear();
    menu->menuAction()->setVisible(false);
}

void PartitionMenu::onStatus(const MpdStatus &status, MpdStatus::Changes what)
{
    // Asked only of a server that knows partitions: any other would refuse, in a box.
    const bool known = status.allows(QStringLiteral("partition"));
    menu->menuAction()->setVisible(known);
    if (!known)
        return;
    if (std::exchange(restorePending, false))
        restorePartition();
    // A partition lists only its own outputs (and "default" those moved away, as dummies): the
    // outputs seen anywhere on this connection are the ones that can be moved.
    for (const MpdOutput &output : status.outputs) {
        if (!outputs.contains(output.name))
            outputs << output.name;
    }
    if (status.partition != current || (what & MpdStatus::Permission)) {
        current = status.partition;
        refresh();
    } else if (what & MpdStatus::Outputs) {
        rebuild();
    }
}

void PartitionMenu::restorePartition()
{
    // The partition chosen last time, if the server still has it (mpd forgets partitions when
    // it stops).
    const QString kept = ServerList::load().partitionOf(server->address());
    if (kept.isEmpty() || kept == QLatin1String(DefaultPartition))
        return;
    server->ask(
            this, [](Qmpd &q) { return q.partitionNames(); },
            [this, kept](const QStringList &known) {
                if (known.contains(kept) && server)
                    server->send(&Qmpd::switchPartition, kept);
            });
}

void PartitionMenu::refresh()
{
    if (!server)
        return;
    server->ask(this, [](Qmpd &q) { return q.partitionNames(); },
                [this](const QStringList &known) {
                    names = known;
                    rebuild();
                });
}

void PartitionMenu::rebuild()
{
    menu->clear();
    deleteMenu->clear();
    moveMenu->clear();
    for (const QString &name : std::as_const(names)) {
        QAction *action = menu->addAction(name, this, [this, name] { switchTo(name); });
        action->setCheckable(true);
        action->setChecked(name == current);
    }
    menu->addSeparator();
    menu->addAction(tr("New partition..."), this, &PartitionMenu::onCreate);
    menu->addMenu(deleteMenu);
    for (const QString &name : std::as_const(names)) {
        if (name != QLatin1String(DefaultPartition) && name != current)
            deleteMenu->addAction(name, this, [this, name] { remove(name); });
    }
    deleteMenu->setEnabled(!deleteMenu->isEmpty());
    menu->addMenu(moveMenu);
    for (const QString &output : std::as_const(outputs))
        moveMenu->addAction(output, this, [this, output] { moveHere(output); });
    moveMenu->setEnabled(!moveMenu->isEmpty());
}

void PartitionMenu::switchTo(const QString &name)
{
    if (!server || name == current)
        return;
    server->ask(this, [name](Qmpd &q) { return q.switchPartition(name); },
                [this, name](bool switched) {
                    if (!switched)
                        return;
                    rememberPartition(name);
                    emit message(tr("Partition \"%1\"").arg(name));
                });
}

void PartitionMenu::onCreate()
{
    bool ok = false;
    const QString name = QInputDialog::getText(window, tr("New partition"), tr("Name:"),
                                               QLineEdit::Normal, QString(), &ok)
                                 .trimmed();
    if (!ok || !server)
        return;
    const QString problem = nameProblem(name, names);
    if (!problem.isEmpty()) {
        QMessageBox::warning(window, tr("New partition"), problem);
        return;
    }
    server->ask(this, [name](Qmpd &q) { return q.createPartition(name); },
                [this](bool) { refresh(); });
}

void PartitionMenu::remove(const QString &name)
{
    if (server)
        server->ask(this, [name](Qmpd &q) { return q.deletePartition(name); },
                    [this](bool) { refresh(); });
}

void PartitionMenu::moveHere(const QString &output)
{
    if (server)
        server->send(&Qmpd::moveOutput, output);
}

void PartitionMenu::rememberPartition(const QString &name) const
{
    ServerList list = ServerList::load();
    list.setPartition(server->address(), name);
    list.save();
}
