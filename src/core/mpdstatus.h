// MpdStatus: a snapshot of the server's status as the connection thread last read it: player
// state, current song, volume, modes, queue version, database update, outputs and what this
// client may do. A plain value: made on the connection thread, read on the GUI thread.
#ifndef MPDSTATUS_H
#define MPDSTATUS_H

#include "core/qmpdsong.h"

#include <QFlags>
#include <QList>
#include <QMetaType>
#include <QSet>
#include <QString>

#include <optional>

enum class PlayerState { Unknown = 0, Stopped = 1, Playing = 2, Paused = 3 };

struct MpdOutput
{
    int id = 0;
    QString name;
    bool enabled = false;
};

struct MpdStatus
{
    // What changed since the previous snapshot.
    enum Change : quint32 {
        Queue = 0x1,
        SongPos = 0x2,
        Song = 0x4,
        Database = 0x8,
        Updating = 0x10,
        Volume = 0x20,
        TotalTime = 0x40,
        Elapsed = 0x80,
        Crossfade = 0x100,
        Random = 0x200,
        Repeat = 0x400,
        State = 0x1000,
        Permission = 0x2000,
        StoredPlaylists = 0x20000,
        Outputs = 0x80000,
        Sticker = 0x100000,
        Single = 0x400000,
        Consume = 0x800000,
        ReplayGain = 0x1000000,
        Modes = Random | Repeat | Single | Consume,
    };
    Q_DECLARE_FLAGS(Changes, Change)
    // Everything a receiver that has just been wired needs to show.
    static constexpr Changes FirstStatus = Changes(0x1ffffff) & ~Changes(Database | Updating);

    enum class ReplayGainMode { Unknown = -1, Off = 0, Track = 1, Album = 2, Auto = 3 };

    bool connected = false;
    PlayerState state = PlayerState::Unknown;
    int songId = -1;
    int songPos = -1;
    int elapsed = 0;  // seconds, when the snapshot was taken
    int total = 0;
    int volume = -1;  // negative: the server has no mixer
    bool random = false;
    bool repeat = false;
    bool single = false;
    bool consume = false;
    int crossfade = 0;
    ReplayGainMode replayGain = ReplayGainMode::Unknown;
    long long queueVersion = -1;
    int queueLength = 0;
    bool updatingDatabase = false;
    QString partition;  // the player this connection follows (servers before 0.22 have one)
    QList<MpdOutput> outputs;
    // The commands this client may use, of those the window offers.
    QSet<QString> allowedCommands;
    // A stopped server still names a current song: the one play would start.
    std::optional<QmpdSong> song;
    QString songGenre;
    qint64 takenAtMs = 0;  // steady clock

    bool playing() const { return state == PlayerState::Playing; }
    bool allows(const QString &command) const { return allowedCommands.contains(command); }
    // Seconds into the song now: advanced locally while playing, between snapshots.
    int elapsedNow() const;
    static qint64 nowMs();
};

Q_DECLARE_OPERATORS_FOR_FLAGS(MpdStatus::Changes)
Q_DECLARE_METATYPE(MpdStatus)

// "Artist - Title", or the file name for a song without a title.
QString songCaption(const QmpdSong &song);

#endif
