#include "ratings/ratingdelegate.h"

#include "playlist/songmodel.h"
#include "ratings/stars.h"

#include <QMouseEvent>

RatingDelegate::RatingDelegate(QAbstractItemDelegate *background, QObject *parent)
    : QStyledItemDelegate(parent), background(background)
{ }

void RatingDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    // The column's text is empty: the view's delegate paints only the cell's background.
    if (background)
        background->paint(painter, option, index);
    else
        QStyledItemDelegate::paint(painter, option, index);
    if (enabled)
        Stars::paint(*painter, option.rect, index.data(SongModel::RatingRole).toInt(), option.palette);
}

bool RatingDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                 const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (!enabled || event->type() != QEvent::MouseButtonRelease)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto *click = static_cast<QMouseEvent *>(event);
    const int x = click->position().toPoint().x();
    if (click->button() != Qt::LeftButton || x >= option.rect.left() + Stars::width(option.rect))
        return false;
    const int rating = Stars::ratingAt(option.rect, x);
    emit rated(index.data(SongModel::FileRole).toString(),
               rating == index.data(SongModel::RatingRole).toInt() ? 0 : rating);
    return true;
}
