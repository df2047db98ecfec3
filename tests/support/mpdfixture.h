// A private, real mpd for tests: its own temporary directory (config, db, log,
// state, playlists), a free loopback port and two null audio outputs ("Null A" and
// "Null B"). Owned by the test (by value); used from the test's thread. The
// destructor stops the server.
#ifndef MPDFIXTURE_H
#define MPDFIXTURE_H

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class MpdFixture
{
public:
    struct Options
    {
        QString password;           // empty: no password, everyone may do everything
        QString guestPermissions;   // with a password: what a client that has not logged in
                                    // may do ("read", say); empty: nothing at all
        int maxOutputBufferKiB = 0; // 0: mpd's default
        QString databaseFile;       // copied in and used as is: no scan at start
        bool mixer = true;          // false: no mixer; mpd 0.23 then omits "volume" from status
        QString logLevel;           // "verbose" logs every command; empty: mpd's default
    };

    MpdFixture();
    explicit MpdFixture(const Options &options);
    ~MpdFixture();
    MpdFixture(const MpdFixture &) = delete;
    MpdFixture &operator=(const MpdFixture &) = delete;

    // Starts mpd on a fresh directory and port; returns once it accepts
    // connections and its initial scan has ended. An empty musicDir means an
    // empty music directory inside dir(). On false, see errorString().
    bool start(const QString &musicDir = QString());
    void stop(); // SIGTERM (mpd saves its state file), SIGKILL if it lingers
    void kill(); // SIGKILL: a crash, nothing saved
    // Starts again on the same port, directory, state file and database.
    bool restart();
    bool isRunning() const;

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return serverPort; }
    QString password() const { return options.password; }
    QString musicDir() const { return musicDirectory; }
    QString dir() const; // the temporary directory holding mpd.conf, db, log
    QString logFile() const;
    qint64 pid() const; // 0 when not running
    QString errorString() const { return error; }

    // Starts an update (of path, or of everything) and waits until it ended.
    bool updateDatabase(const QString &path = QString()) const;
    // Runs `mpc -h [password@]host -p port args...`; returns its stdout lines.
    QStringList mpc(const QStringList &args) const;
    // Sends one protocol command (logging in first when there is a password)
    // and returns the response lines before "OK". On ACK or failure: empty, and
    // errorString() says why (it is empty after a success).
    QStringList command(const QString &line) const;
    // Sends one command; true on OK. For commands that answer nothing but OK.
    bool send(const QString &line) const;
    // The value of one field of `status` ("state", "volume", "song"...), empty if absent.
    QString statusValue(const QString &field) const;
    // The files in the server's queue, in order.
    QStringList queue() const;
    // Appends songs or whole directories to the queue, in one command list; true on OK.
    bool add(const QStringList &uris) const;
    // Empty queue, stopped, no error, volume 100 (when there is a mixer), all
    // playback modes, crossfade and replay gain off, both outputs enabled, no stored playlists.
    bool resetState();

private:
    bool launch();
    bool writeConfig() const;

    Options options;
    QString program;  // mpd's path
    std::unique_ptr<QTemporaryDir> tempDir;
    std::unique_ptr<QProcess> process;
    QString musicDirectory;
    int serverPort = 0;
    mutable QString error;
};

#endif
