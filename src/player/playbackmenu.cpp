#include "playbackmenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <iterator>

namespace {

constexpr int SeekStepSeconds = 5;
constexpr int VolumeStep = 5;

// One on/off playback mode: its entry, its key, the command the server must allow, and
// libmpd's getter and setter.
struct Mode
{
    const char *text;
    QKeyCombination key;
    const char *objectName;
    const char *command;
    int (*get)(MpdObj *);
    int (*set)(MpdObj *, int);
};

const Mode modes[] = {
        {QT_TR_NOOP("Random"), Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "actionRandom", "random",
         mpd_player_get_random, mpd_player_set_random},
        {QT_TR_NOOP("Repeat"), Qt::CTRL | Qt::SHIFT | Qt::Key_R, "actionRepeat", "repeat",
         mpd_player_get_repeat, mpd_player_set_repeat},
        {QT_TR_NOOP("Single"), Qt::CTRL | Qt::SHIFT | Qt::Key_Y, "actionSingle", "single",
         mpd_player_get_single, mpd_player_set_single},
        {QT_TR_NOOP("Consume"), Qt::CTRL | Qt::SHIFT | Qt::Key_C, "actionConsume", "consume",
         mpd_player_get_consume, mpd_player_set_consume},
};

struct Output
{
    int id;
    QString text;
    bool enabled;
};

QList<Output> readOutputs(MpdObj *mi)
{
    QList<Output> outputs;
    // Walked to the end: mpd_data_get_next frees the list once past its last entry.
    for (MpdData *data = mpd_server_get_output_devices(mi); data; data = mpd_data_get_next(data)) {
        if (data->type != MPD_DATA_TYPE_OUTPUT_DEV || !data->output_dev)
            continue;
        const mpd_OutputEntity *output = data->output_dev;
        // A menu text takes "&" for a mnemonic; a name shows as the server has it.
        QString text = QString::fromUtf8(output->name ? output->name : "");
        text.replace(QLatin1Char('&'), QLatin1String("&&"));
        outputs.append({output->id, text, output->enabled != 0});
    }
    return outputs;
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
                                   {{tr("Off"), MPD_SERVER_REPLAYGAIN_MODE_OFF},
                                    {tr("Track"), MPD_SERVER_REPLAYGAIN_MODE_TRACK},
                                    {tr("Album"), MPD_SERVER_REPLAYGAIN_MODE_ALBUM},
                                    {tr("Auto"), MPD_SERVER_REPLAYGAIN_MODE_AUTO}},
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
            apply([i, checked](MpdObj *mi) { modes[i].set(mi, checked); },
                  &PlaybackMenu::showModes);
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

void PlaybackMenu::onConnectionReady(Qmpd *connection)
{
    disconnect(statusConnection);
    qmpd = connection;
    statusConnection
            = connect(connection, &Qmpd::mpdStatusChanged, this, &PlaybackMenu::onMpdStatusChange);
    showAll();
}

void PlaybackMenu::onConnectionClosed()
{
    disconnect(statusConnection);
    qmpd = nullptr;
    showDisconnected();
}

void PlaybackMenu::onMpdStatusChange(MpdObj *mi, ChangedStatusType what)
{
    if (!qmpd || mi != qmpd->getMpdObj())
        return;
    // Logging in or out changes what this client may do.
    if (what & MPD_CST_PERMISSION) {
        showAll();
        return;
    }
    if (what & (MPD_CST_RANDOM | MPD_CST_REPEAT | MPD_CST_SINGLE_MODE | MPD_CST_CONSUME_MODE))
        showModes();
    if (what & MPD_CST_CROSSFADE)
        showCrossfade();
    if (what & MPD_CST_REPLAYGAIN)
        showReplayGain();
    if (what & MPD_CST_OUTPUT)
        showOutputs();
}

void PlaybackMenu::apply(const std::function<void(MpdObj *)> &command, void (PlaybackMenu::*show)())
{
    if (!qmpd)
        return;
    command(qmpd->getMpdObj());
    qmpd->onTimerUpdate();
    // Qt has already flipped the clicked check; the server has the last word.
    if (qmpd && show)
        (this->*show)();
}

bool PlaybackMenu::allowed(const char *command) const
{
    return qmpd
            && mpd_server_check_command_allowed(qmpd->getMpdObj(), command)
            == MPD_SERVER_COMMAND_ALLOWED;
}

void PlaybackMenu::onCrossfadeChoice(int seconds)
{
    apply([seconds](MpdObj *mi) { mpd_status_set_crossfade(mi, seconds); },
          &PlaybackMenu::showCrossfade);
}

void PlaybackMenu::onReplayGainChoice(int mode)
{
    apply([mode](MpdObj *mi) { mpd_server_set_replaygain_mode(mi, MpdServerReplaygainMode(mode)); },
          &PlaybackMenu::showReplayGain);
}

void PlaybackMenu::onOutputToggled(QAction *output)
{
    const int id = output->data().toInt();
    const bool enable = output->isChecked();
    apply([id, enable](MpdObj *mi) { mpd_server_set_output_device(mi, id, enable); },
          &PlaybackMenu::showOutputs);
}

void PlaybackMenu::seekBy(int seconds)
{
    apply(
            [seconds](MpdObj *mi) {
                // From where the song is now, not where the last poll saw it.
                mpd_status_update(mi);
                const int state = mpd_player_get_state(mi);
                const int length = mpd_status_get_total_song_time(mi);
                // A stream has no length to seek in.
                if ((state != MPD_PLAYER_PLAY && state != MPD_PLAYER_PAUSE) || length <= 0)
                    return;
                const int elapsed = mpd_status_get_elapsed_song_time(mi);
                mpd_player_seek(mi, std::clamp(elapsed + seconds, 0, length - 1));
            },
            nullptr);
}

void PlaybackMenu::changeVolumeBy(int step)
{
    apply(
            [step](MpdObj *mi) {
                const int volume = mpd_status_get_volume(mi);
                // Negative: the server has no mixer.
                if (volume >= 0)
                    mpd_status_set_volume(mi, std::clamp(volume + step, 0, 100));
            },
            nullptr);
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
        modeActions[i]->setChecked(modes[i].get(qmpd->getMpdObj()) > 0);
        modeActions[i]->setEnabled(allowed(modes[i].command));
    }
}

void PlaybackMenu::showCrossfade()
{
    // Negative when the server leaves crossfade out of its status, which it does for 0.
    const int seconds = std::max(0, mpd_status_get_crossfade(qmpd->getMpdObj()));
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
    const int mode = readable ? int(mpd_server_get_replaygain_mode(qmpd->getMpdObj())) : -1;
    const bool enabled = readable && allowed("replay_gain_mode");
    for (QAction *choice : replayGainGroup->actions()) {
        choice->setChecked(choice->data().toInt() == mode);
        choice->setEnabled(enabled);
    }
}

void PlaybackMenu::showOutputs()
{
    const QList<Output> outputs
            = allowed("outputs") ? readOutputs(qmpd->getMpdObj()) : QList<Output>();
    QList<QAction *> entries = outputsMenu->actions();
    const bool sameOutputs = std::equal(outputs.begin(), outputs.end(), entries.begin(),
                                        entries.end(), [](const Output &output, QAction *entry) {
                                            return entry->data().toInt() == output.id
                                                    && entry->text() == output.text;
                                        });
    if (!sameOutputs) {
        clearOutputs();
        for (const Output &output : outputs) {
            QAction *entry = outputsMenu->addAction(output.text);
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
