#include "player/playbackmenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <iterator>

namespace {

constexpr int SeekStepSeconds = 5;
constexpr int VolumeStep = 5;

// One on/off playback mode: its entry, its key, the command the server must allow, and where
// the status has it.
struct Mode
{
    const char *text;
    QKeyCombination key;
    const char *objectName;
    const char *command;
    Qmpd::Mode mode;
    bool MpdStatus::*on;
};

const Mode modes[] = {
        {QT_TR_NOOP("Random"), Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "actionRandom", "random",
         Qmpd::Mode::Random, &MpdStatus::random},
        {QT_TR_NOOP("Repeat"), Qt::CTRL | Qt::SHIFT | Qt::Key_R, "actionRepeat", "repeat",
         Qmpd::Mode::Repeat, &MpdStatus::repeat},
        {QT_TR_NOOP("Single"), Qt::CTRL | Qt::SHIFT | Qt::Key_Y, "actionSingle", "single",
         Qmpd::Mode::Single, &MpdStatus::single},
        {QT_TR_NOOP("Consume"), Qt::CTRL | Qt::SHIFT | Qt::Key_C, "actionConsume", "consume",
         Qmpd::Mode::Consume, &MpdStatus::consume},
};

// A menu text takes "&" for a mnemonic; a name shows as the server has it.
QString menuText(QString name)
{
    return name.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString secondsText(int seconds)
{
    return PlaybackMenu::tr("%1 s").arg(seconds);
}

}  // namespace

PlaybackMenu::PlaybackMenu(QMenuBar *menuBar, QMenu *after, QWidget *window) : QObject(window)
{
    menu = new QMenu(tr("&Playback"), menuBar);
    menu->setObjectName(QStringLiteral("menuPlayback"));
    const QList<QAction *> bar = menuBar->actions();
    const qsizetype at = bar.indexOf(after->menuAction());
    menuBar->insertMenu(at >= 0 && at + 1 < bar.size() ? bar.at(at + 1) : nullptr, menu);

    buildModes();
    menu->addSeparator();
    crossfadeMenu = menu->addMenu(tr("Crossfade"));
    crossfadeMenu->setObjectName(QStringLiteral("menuCrossfade"));
    crossfadeGroup = buildChoices(
            crossfadeMenu,
            {{tr("Off"), 0}, {secondsText(2), 2}, {secondsText(5), 5}, {secondsText(10), 10}},
            &PlaybackMenu::onCrossfadeChoice);
    replayGainMenu = menu->addMenu(tr("Replay gain"));
    replayGainMenu->setObjectName(QStringLiteral("menuReplayGain"));
    replayGainGroup = buildChoices(replayGainMenu,
                                   {{tr("Off"), int(MpdStatus::ReplayGainMode::Off)},
                                    {tr("Track"), int(MpdStatus::ReplayGainMode::Track)},
                                    {tr("Album"), int(MpdStatus::ReplayGainMode::Album)},
                                    {tr("Auto"), int(MpdStatus::ReplayGainMode::Auto)}},
                                   &PlaybackMenu::onReplayGainChoice);
    outputsMenu = menu->addMenu(tr("Outputs"));
    outputsMenu->setObjectName(QStringLiteral("menuOutputs"));
    connect(outputsMenu, &QMenu::triggered, this, &PlaybackMenu::onOutputToggled);
    buildKeys(window);
    showDisconnected();
}

void PlaybackMenu::buildModes()
{
    for (int i = 0; i < int(std::size(modes)); ++i) {
        QAction *action = menu->addAction(tr(modes[i].text));
        action->setObjectName(QLatin1String(modes[i].objectName));
        action->setShortcut(modes[i].key);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, i](bool checked) {
            apply(&PlaybackMenu::showModes, &Qmpd::setMode, modes[i].mode, checked);
        });
        modeActions.append(action);
    }
}

QActionGroup *PlaybackMenu::buildChoices(QMenu *submenu, const QList<QPair<QString, int>> &choices,
                                         void (PlaybackMenu::*onChoice)(int))
{
    auto *group = new QActionGroup(submenu);
    // Optional, so that nothing is checked while disconnected.
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const auto &[text, value] : choices) {
        QAction *action = submenu->addAction(text);
        action->setCheckable(true);
        action->setData(value);
        group->addAction(action);
    }
    connect(group, &QActionGroup::triggered, this,
            [this, onChoice](QAction *action) { (this->*onChoice)(action->data().toInt()); });
    return group;
}

void PlaybackMenu::buildKeys(QWidget *window)
{
    const auto add = [this, window](const char *name, QKeyCombination key, auto handler) {
        auto *action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        // Window-wide, like the menu's own keys: they work from every tab.
        window->addAction(action);
        connect(action, &QAction::triggered, this, handler);
        keyActions.append(action);
    };
    add("actionSeekBack", Qt::CTRL | Qt::Key_Left, [this] { seekBy(-SeekStepSeconds); });
    add("actionSeekForward", Qt::CTRL | Qt::Key_Right, [this] { seekBy(SeekStepSeconds); });
    add("actionVolumeUp", Qt::CTRL | Qt::Key_Up, [this] { changeVolumeBy(VolumeStep); });
    add("actionVolumeDown", Qt::CTRL | Qt::Key_Down, [this] { changeVolumeBy(-VolumeStep); });
}

void PlaybackMenu::onConnectionReady(ServerConnection *connection)
{
    disconnect(statusConnection);
    server = connection;
    statusConnection = connect(connection, &ServerConnection::statusChanged, this,
                               &PlaybackMenu::onMpdStatusChange);
    showAll();
}

void PlaybackMenu::onConnectionClosed()
{
    disconnect(statusConnection);
    server = nullptr;
    showDisconnected();
}

void PlaybackMenu::onMpdStatusChange(const MpdStatus &, MpdStatus::Changes what)
{
    // Logging in or out changes what this client may do.
    if (what & MpdStatus::Permission) {
        showAll();
        return;
    }
    if (what & MpdStatus::Modes)
        showModes();
    if (what & MpdStatus::Crossfade)
        showCrossfade();
    if (what & MpdStatus::ReplayGain)
        showReplayGain();
    if (what & MpdStatus::Outputs)
        showOutputs();
}

template<typename... Args> void PlaybackMenu::apply(void (PlaybackMenu::*show)(), Args... command)
{
    if (!server)
        return;
    server->send(command...);
    if (show)
        (this->*show)();
}

bool PlaybackMenu::allowed(const char *command) const
{
    return server && status().allows(QLatin1String(command));
}

void PlaybackMenu::onCrossfadeChoice(int seconds)
{
    apply(&PlaybackMenu::showCrossfade, &Qmpd::setCrossfade, seconds);
}

void PlaybackMenu::onReplayGainChoice(int mode)
{
    apply(&PlaybackMenu::showReplayGain, &Qmpd::setReplayGain, MpdStatus::ReplayGainMode(mode));
}

void PlaybackMenu::onOutputToggled(QAction *output)
{
    apply(&PlaybackMenu::showOutputs, &Qmpd::setOutput, output->data().toInt(),
          output->isChecked());
}

void PlaybackMenu::seekBy(int seconds)
{
    apply(nullptr, &Qmpd::seekBy, seconds);
}

void PlaybackMenu::changeVolumeBy(int step)
{
    apply(nullptr, &Qmpd::changeVolumeBy, step);
}

void PlaybackMenu::showAll()
{
    for (QMenu *submenu : {crossfadeMenu, replayGainMenu, outputsMenu})
        submenu->menuAction()->setEnabled(true);
    showModes();
    showCrossfade();
    showReplayGain();
    showOutputs();
    const char *keyCommands[] = {"seek", "seek", "setvol", "setvol"};
    for (int i = 0; i < keyActions.size(); ++i)
        keyActions[i]->setEnabled(allowed(keyCommands[i]));
}

void PlaybackMenu::showModes()
{
    for (int i = 0; i < modeActions.size(); ++i) {
        modeActions[i]->setChecked(status().*modes[i].on);
        modeActions[i]->setEnabled(allowed(modes[i].command));
    }
}

void PlaybackMenu::showCrossfade()
{
    const int seconds = status().crossfade;
    const QList<QAction *> choices = crossfadeGroup->actions();
    const auto listed = std::find_if(choices.begin(), choices.end(), [&](QAction *choice) {
        return choice != otherCrossfade && choice->data().toInt() == seconds;
    });
    setOtherCrossfade(listed == choices.end() ? seconds : 0);
    (listed == choices.end() ? otherCrossfade : *listed)->setChecked(true);
    const bool enabled = allowed("crossfade");
    for (QAction *choice : crossfadeGroup->actions())
        choice->setEnabled(enabled);
}

void PlaybackMenu::setOtherCrossfade(int seconds)
{
    if (seconds == 0) {
        if (otherCrossfade) {
            crossfadeGroup->removeAction(otherCrossfade);
            crossfadeMenu->removeAction(otherCrossfade);
            // Possibly the very entry whose click got us here.
            otherCrossfade->deleteLater();
            otherCrossfade = nullptr;
        }
        return;
    }
    if (!otherCrossfade) {
        otherCrossfade = crossfadeMenu->addAction(QString());
        otherCrossfade->setCheckable(true);
        crossfadeGroup->addAction(otherCrossfade);
    }
    otherCrossfade->setText(secondsText(seconds));
    otherCrossfade->setData(seconds);
}

void PlaybackMenu::showReplayGain()
{
    // An old server has no replay gain at all; a guest may see the mode but not change it.
    const bool readable = allowed("replay_gain_status");
    const int mode = readable ? int(status().replayGain) : -1;
    const bool enabled = readable && allowed("replay_gain_mode");
    for (QAction *choice : replayGainGroup->actions()) {
        choice->setChecked(choice->data().toInt() == mode);
        choice->setEnabled(enabled);
    }
}

void PlaybackMenu::showOutputs()
{
    const QList<MpdOutput> outputs = allowed("outputs") ? status().outputs : QList<MpdOutput>();
    QList<QAction *> entries = outputsMenu->actions();
    const bool sameOutputs = std::equal(outputs.begin(), outputs.end(), entries.begin(),
                                        entries.end(), [](const MpdOutput &output, QAction *entry) {
                                            return entry->data().toInt() == output.id
                                                    && entry->text() == menuText(output.name);
                                        });
    if (!sameOutputs) {
        clearOutputs();
        for (const MpdOutput &output : outputs) {
            QAction *entry = outputsMenu->addAction(menuText(output.name));
            entry->setCheckable(true);
            entry->setData(output.id);
        }
        entries = outputsMenu->actions();
    }
    const bool enabled = allowed("enableoutput");
    for (int i = 0; i < outputs.size(); ++i) {
        entries[i]->setChecked(outputs[i].enabled);
        entries[i]->setEnabled(enabled);
    }
}

void PlaybackMenu::clearOutputs()
{
    for (QAction *entry : outputsMenu->actions()) {
        outputsMenu->removeAction(entry);
        // Possibly the very entry whose click got us here.
        entry->deleteLater();
    }
}

void PlaybackMenu::showDisconnected()
{
    for (QAction *action : std::as_const(modeActions)) {
        action->setChecked(false);
        action->setEnabled(false);
    }
    setOtherCrossfade(0);
    for (QActionGroup *group : {crossfadeGroup, replayGainGroup}) {
        for (QAction *choice : group->actions()) {
            choice->setChecked(false);
            choice->setEnabled(false);
        }
    }
    clearOutputs();
    for (QMenu *submenu : {crossfadeMenu, replayGainMenu, outputsMenu})
        submenu->menuAction()->setEnabled(false);
    for (QAction *action : std::as_const(keyActions))
        action->setEnabled(false);
}
