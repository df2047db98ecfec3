// SmartPlaylistsController: the "Smart" tab. Lists the connected server's smart playlists (kept
// by SmartRuleStore), makes, changes and deletes them with the RuleEditor, and "Load" appends
// the songs a rule picks to the queue. "Dynamic" keeps the queue going from the selected rule
// (DynamicMode) until switched off or the connection closes; the tab says while it is on. The
// rule is matched on the connection thread, from the collection index and the stickers as the
// window has them plus the server's search for the tags the index lacks. Created by the main
// window, which puts page() into its tab widget; GUI thread.
#ifndef SMARTPLAYLISTSCONTROLLER_H
#define SMARTPLAYLISTSCONTROLLER_H

#include "core/qmpdsong.h"
#include "smartplaylists/dynamicmode.h"
#include "smartplaylists/smartrule.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QWidget;
class ServerConnection;
class SongFacts;

class SmartPlaylistsController : public QObject
{
    Q_OBJECT

public:
    // The collection index's songs; empty while it is not built.
    using SongSource = std::function<QList<QmpdSong>()>;

    SmartPlaylistsController(SongSource songs, const SongFacts *facts, QWidget *window);

    QWidget *page() const { return pageWidget; }

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

signals:
    void message(const QString &text);

private:
    using Done = std::function<void(const QStringList &files)>;
    QWidget *buildPage(QWidget *window);
    void onNew();
    void onEdit();
    void onDelete();
    void onLoad();
    void onDynamic(bool on);
    void onDynamicSwitched(bool on);
    // The files the rule picks; appended to the queue as well when `append`.
    void pick(const SmartRule &rule, bool append, const Done &done);
    int selectedRow() const;
    void edit(int row, const SmartRule &rule);
    void showRules();

    SongSource songs;
    const SongFacts *facts;
    QPointer<ServerConnection> server;
    QString rulesFile;
    QList<SmartRule> rules;
    DynamicMode dynamic;
    QWidget *pageWidget = nullptr;
    QListWidget *list = nullptr;
    QPushButton *dynamicButton = nullptr;
    QSpinBox *upcoming = nullptr;
    QSpinBox *history = nullptr;
    QCheckBox *trim = nullptr;
    QLabel *dynamicState = nullptr;
};

#endif
