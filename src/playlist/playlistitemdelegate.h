// PlaylistItemDelegate: paints the playlist view's cells, marking the playing
// row with a solid background in a user-chosen colour and white bold italic
// text. Owned by its QObject parent (the main window); GUI thread only.
#ifndef PLAYLISTITEMDELEGATE_H
#define PLAYLISTITEMDELEGATE_H

#include <QColor>
#include <QStyledItemDelegate>

class QFontMetrics;

class PlaylistItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit PlaylistItemDelegate(QObject *parent = nullptr);

    // Ignores Qt's transparent colour (what an unset setting yields) and invalid colours.
    void setNpColor(const QColor &color);
    QColor getNpColor() const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    // Cuts text to the character budget of a cell rectWidth pixels wide,
    // budgeting by the font's average character width.
    static QString elideNowPlayingText(const QString &text, const QFontMetrics &metrics,
                                       int rectWidth);

private:
    void paintNowPlaying(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const;

    QColor npColor;
};

#endif
