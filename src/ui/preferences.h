// Preferences: the settings the Settings dialog edits (Last.fm account and API key, the colour
// of the playing row, song notifications, deleting the covers on exit, the lyrics sources), read from the settings
// file at start, handed to the parts that use them, and written back when the dialog is
// accepted. GUI thread.
#ifndef PREFERENCES_H
#define PREFERENCES_H

#include <QColor>
#include <QObject>

class CoverFetcher;
class DesktopIntegration;
class PlaylistItemDelegate;
class Scrobbling;
class QWidget;

class Preferences : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        CoverFetcher *covers;
        PlaylistItemDelegate *playlistDelegate;
        DesktopIntegration *desktop;
        Scrobbling *scrobbling;
    };
    Preferences(const Parts &parts, QWidget *window);

    bool deletesCoversOnExit() const { return deleteCovers; }

public slots:
    // The Settings dialog; what it accepts is applied and saved.
    void edit();

private:
    void save() const;

    Parts parts;
    QWidget *window;
    bool deleteCovers = false;
};

#endif
