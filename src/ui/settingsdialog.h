// SettingsDialog: the modal dialog for the Last.fm account, the lyrics sources, the now-playing
// colour, the album art choice and song-change notifications. Created by the main window for one run on the GUI
// thread; it stores nothing itself.
#ifndef SETTINGSDIALOG_H
#define SETTINGSDIALOG_H

#include <QColor>
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class SettingsDialog;
}

class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

    // The password field always starts empty: only a digest of it is ever kept.
    void setInitialValues(const QString &user, bool delArt, const QColor &npColor);
    void setInitialValues(const QString &user, bool delArt, const QColor &npColor, bool trayNote);

    QString getLFMUser();
    // Empty when no password was typed.
    QString getLFMHash();
    bool getDelArt();
    bool getTrayNote();
    QColor getNpCol() const;
    // The Last.fm API key for covers; empty turns Last.fm covers off.
    void setApiKey(const QString &key);
    QString getApiKey() const;
    // Where lyrics come from: an LRCLIB service (empty: none) and the local music folder.
    void setLyricsSources(const QString &serviceUrl, const QString &musicFolder);
    QString getLyricsUrl() const;
    QString getMusicFolder() const;

    // MD5 of the Latin-1 password as 32 lower-case hex digits; empty for an empty password.
    static QString calculateHash(const QString &password);

public slots:
    void onBtnColor();

protected:
    void changeEvent(QEvent *event) override;

private:
    void showColor();

    std::unique_ptr<Ui::SettingsDialog> ui;
    QString lfmUser;
    QString lfmHash;
    bool delArt = false;
    bool trayNote = false;
    QColor npColor;
};

#endif
