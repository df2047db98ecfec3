// Scrobbler: client of the Audioscrobbler 1.1 submission service: the handshake (run() on its own
// thread) and the queue of songs to submit. Owned by the main window, which stops it (abort(),
// wait()) before it dies; setters and getters belong to the owning thread while it is not running.
#ifndef SCROBBLER_H
#define SCROBBLER_H

#include "lastfm/httpgetter.h"
#include "core/qmpdsong.h"

#include <QList>
#include <QString>
#include <QThread>
#include <QUrl>

#include <atomic>

class Scrobbler : public QThread
{
public:
    static constexpr char CLIENT_ID[] = "rur";
    static constexpr char CLIENT_VERSION[] = "VERSION";
    static constexpr char ASCROBBLER_HOST[] = "http://post.audioscrobbler.com/";

    enum State {
        NoSession = 0,  // never shaken hands, or the handshake failed
        Handshaking = 1,
        HandshakeDone = 2,  // the service answered
        SubmitPending = 3,  // songs wait to be sent
    };

    Scrobbler();
    ~Scrobbler() override;

    // Also withdraws an earlier abort().
    void setUser(const QString &user, const QString &hash);
    void enqueueSong(const QmpdSong &song);
    // Marks queued songs for submission; nothing is sent yet and the queue stays.
    void submit();
    // Blocks the calling thread; run() calls it on the scrobbler's own.
    void handshake();

    void setHandshakeUrl(const QUrl &url);
    void setTimeout(int ms);  // 15 s unless set
    // Thread-safe: makes a running handshake end promptly.
    void abort();

    int state() const;
    QString submissionUrl() const;
    int interval() const;
    int queueSize() const;

protected:
    void run() override;

private:
    QUrl handshakeRequestUrl() const;
    void readHandshakeAnswer(const QString &answer);

    QList<QmpdSong> queue;
    QString user;
    QString passwordHash;
    QString submitUrl;
    int submitInterval = 0;
    std::atomic<int> protocolState{NoSession};
    QUrl handshakeUrl{QString::fromLatin1(ASCROBBLER_HOST)};
    HttpGetter http;
};

#endif
