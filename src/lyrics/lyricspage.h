// LyricsPage: the "Lyrics" tab. Synced lyrics as a list of lines with the one being sung
// highlighted and kept in view; plain lyrics as text; otherwise a message. Clicking a synced line
// asks to go there. Knows nothing of the server; the lyrics controller fills it. GUI thread, owned
// by the tab widget.
#ifndef LYRICSPAGE_H
#define LYRICSPAGE_H

#include "lyrics/lyrics.h"

#include <QStackedWidget>

class QLabel;
class QListWidget;
class QPlainTextEdit;

class LyricsPage : public QStackedWidget
{
    Q_OBJECT

public:
    explicit LyricsPage(QWidget *parent = nullptr);

    void showMessage(const QString &text);
    void showLyrics(const Lyrics &lyrics);
    // Highlights synced line `row` (-1: none) and scrolls it into the middle.
    void highlight(int row);

signals:
    void lineClicked(int row);

private:
    void setBold(int row, bool bold);

    QLabel *message;
    QListWidget *lines;
    QPlainTextEdit *text;
    int current = -1;
};

#endif
