// MpdFixture: a private, real mpd for tests, with its own temporary directory (config, db, log,
// state, playlists, sticker database), a free loopback port and two null outputs ("Null A", "Null B").
// TestLibrary: the standard small library of tagged FLAC files (scripts/gen-library, whose header
// lists every file and tag), and mpd databases of any size without audio files.
#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

class MpdFixture
{
public:
    struct Options
    {
        QString password;           // empty: everyone may do everything
        QString guestPermissions;   // with a password: what a client not logged in may do
        int maxOutputBufferKiB = 0; // 0: mpd's default
        QString databaseFile;       // copied in and used as is: no scan at start
        bool mixer = true;          // false: mpd 0.23 then omits "volume" from status
        QString logLevel;           // "verbose" logs every command; empty: mpd's default
        bool stickers = true;       // false: no sticker database (mpd then knows no "sticker")
    };

    MpdFixture() = default;
    explicit MpdFixture(const Options &options) : options(options) { }
    ~MpdFixture() { stop(); }

    // Before start(): mpd also listens on these Unix sockets (paths, or "@name", abstract).
    void listenOnSockets(const QStringList &sockets) { socketPaths = sockets; }
    // Returns once mpd serves and its first scan ended (else see errorString()); default: empty music.
    bool start(const QString &musicDir = QString());
    void stop(); // SIGTERM (mpd saves its state file), SIGKILL if it lingers
    void kill(); // SIGKILL: a crash, nothing saved
    bool restart() { return stop(), tempDir && launch(); } // same port, directory, state and db
    bool isRunning() const { return process && process->state() != QProcess::NotRunning; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return serverPort; }
    QString password() const { return options.password; }
    QString musicDir() const { return musicDirectory; }
    QString dir() const { return tempDir ? tempDir->path() : QString(); }
    QString logFile() const { return dir() + "/mpd.log"; }
    qint64 pid() const { return isRunning() ? process->processId() : 0; }
    QString errorString() const { return error; }

    bool updateDatabase(const QString &path = QString()) const; // of everything; waits for its end
    QStringList mpc(const QStringList &args) const; // stdout lines of mpc against this server
    // One protocol command (logged in): the answer lines before "OK"; empty on ACK (see errorString()).
    QStringList command(const QString &line) const { return exchange(line).value_or(QStringList()); }
    bool send(const QString &line) const { return exchange(line).has_value(); }
    QString statusValue(const QString &field) const; // empty if absent
    QStringList queue() const; // files in queue order
    bool add(const QStringList &uris) const; // one command list
    // Empty queue, stopped, no error, volume 100, modes, crossfade, replay gain off, outputs on, no playlists.
    bool resetState();

private:
    bool launch();
    bool writeConfig() const;
    std::optional<QStringList> exchange(const QString &line) const;

    Options options;
    QString program;
    std::unique_ptr<QTemporaryDir> tempDir;
    std::unique_ptr<QProcess> process;
    QString musicDirectory;
    int serverPort = 0;
    QStringList socketPaths;
    mutable QString error;
};

class TestLibrary
{
public:
    static bool generate(const QString &dir, int extraSongs = 0); // the standard one, extras in Bulk/

    struct Song
    {
        QByteArray uri, tags; // raw bytes as mpd stores them; tags as "Name: value\n" lines
        int seconds = 100;
    };
    // An uncompressed mpd 0.23 database; each directory's songs must come together.
    static bool writeDatabase(const QString &dbPath, int count, const std::function<Song(int)> &song);
    static QByteArray databaseHeader(); // the format and the tags this mpd knows
    // A synthetic library of songs i = 0..songs-1, a = i / 50, b = i / 10, t = i % 10 + 1: file
    // Synthetic/Artist AAAA/Album BBBBB/TT Song IIIIII.flac; Artist "Artist AAAA" ("Ärtist" when
    // a % 10 == 3, "Артист" when 7; none when i % 97 == 13); Album "Album BBBBB" ("Albüm" when b % 10
    // == 4; none when i % 83 == 5); Title "Song IIIIII" ("Sông" when i % 10 == 9; none when i % 89 ==
    // 7); Track t, Date 1960 + a % 60, Genre one of eight by a % 8, Time 60 + (i * 37) % 540 s.
    static bool writeDatabase(const QString &dbPath, int songs);
    // A started server on such a database; aborts the test program when that fails.
    static std::unique_ptr<MpdFixture> startSyntheticServer(const QString &dir, int songs, int maxOutputBufferKiB = 0);
    static std::unique_ptr<MpdFixture> startServer(const QString &dbPath, int maxOutputBufferKiB = 0);
    static QString syntheticSongUri(int index);
    static QString syntheticArtist(int index);  // empty when the song has none
    static QString syntheticAlbum(int index), syntheticTitle(int index);
};
