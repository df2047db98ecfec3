// Scrobbling: the user's Last.fm account and the "Enable scrobbling" switch, kept in the
// settings file, and the scrobbler that played songs are handed to while both are set. GUI
// thread; the scrobbler's thread is stopped and waited for here.
#ifndef SCROBBLING_H
#define SCROBBLING_H

#include "lastfm/scrobbler.h"

#include <QObject>

class QAction;
class QmpdSong;

class Scrobbling : public QObject
{
    Q_OBJECT

public:
    // enableAction is the checkable menu entry; it is enabled while an account is set.
    Scrobbling(QAction *enableAction, QObject *parent);
    ~Scrobbling() override;

    QString user() const { return account.user; }
    // An empty user removes the account together with its digest; a user without a digest
    // keeps the stored account (the dialog's password field opens empty).
    void setAccount(const QString &user, const QString &hash);

public slots:
    void onSongPlayed(const QmpdSong &song);

private:
    struct Account
    {
        QString user;
        QString hash;
    };
    void apply();

    QAction *enableAction;
    Account account;
    Scrobbler scrobbler;
};

#endif
