// RatingDelegate: the Rating column of a song table, drawn as five stars over what the view's
// own delegate paints for the cell (selection, the now-playing mark); a click on the stars rates
// the row's song, a click on its rating again clears it. Disabled (nothing drawn, clicks
// ignored) while the server keeps no ratings. Owned by the rating controller; GUI thread.
#ifndef RATINGDELEGATE_H
#define RATINGDELEGATE_H

#include <QPointer>
#include <QStyledItemDelegate>

class RatingDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    RatingDelegate(QAbstractItemDelegate *background, QObject *parent);

    void setEnabled(bool on) { enabled = on; }
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

signals:
    // 0 clears the rating.
    void rated(const QString &file, int rating);

private:
    QPointer<QAbstractItemDelegate> background;
    bool enabled = false;
};

#endif
