// SettingsStore: one short-lived handle on the settings file
// (~/.config/tuneloom/config.conf), opened afresh for every read or write and
// written through when it goes out of scope. The file may hold the MPD
// password in clear text, so its directory is kept private to the user.
#ifndef SETTINGSSTORE_H
#define SETTINGSSTORE_H

#include <QSettings>

namespace SettingsKey {
inline constexpr char LastfmEnable[] = "lastfm/enable";
inline constexpr char LastfmUser[] = "lastfm/user";
inline constexpr char LastfmHash[] = "lastfm/hash";
inline constexpr char LastfmApiKey[] = "lastfm/api_key";
inline constexpr char NpColor[] = "general/np_color";
inline constexpr char DeleteAlbumArt[] = "general/delete_albumart";
inline constexpr char AppPosition[] = "app/position";
inline constexpr char AppSize[] = "app/size";
inline constexpr char AppMaximized[] = "app/maximized";
inline constexpr char AppHidden[] = "app/hidden";
inline constexpr char AppTab[] = "app/tab";  // the object name of the tab shown at exit
inline constexpr char AutoconnectHost[] = "autoconnect/host";
inline constexpr char AutoconnectPort[] = "autoconnect/port";
inline constexpr char AutoconnectPassword[] = "autoconnect/password";
// Before the server list, the one server connected at start; read when there is no list.
inline constexpr char AutoconnectGroup[] = "autoconnect";
inline constexpr char Servers[] = "servers";
inline constexpr char SongNotifications[] = "general/song_notifications";
inline constexpr char PlaylistColumns[] = "columns/playlist";
inline constexpr char FileListColumns[] = "columns/filelist";
inline constexpr char LyricsUrl[] = "lyrics/url";
inline constexpr char LyricsMusicFolder[] = "lyrics/music_folder";
} // namespace SettingsKey

class SettingsStore
{
public:
    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    QSettings *operator->() { return &settings; }

    // The file is plain text that anyone may edit: a value that is not clearly a boolean gives
    // the fallback rather than whatever QVariant makes of it ("garbage" would read as true).
    bool flag(const char *key, bool fallback = false);

    // ~/.config/tuneloom, where settings, caches and covers live; created
    // (readable by the user only) when missing.
    static QString directory();
    static bool ensureDirectory();

private:
    QSettings settings;
};

#endif
