#include "playlist/playlistitemdelegate.h"

#include "playlist/songmodel.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

const QString elisionMark = QStringLiteral("...");
constexpr int textMargin = 2;

QFont nowPlayingFont()
{
    return QFont(QStringLiteral("Arial"), 8, QFont::Bold, true);
}

}  // namespace

PlaylistItemDelegate::PlaylistItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent), npColor(160, 30, 30)
{ }

void PlaylistItemDelegate::setNpColor(const QColor &color)
{
    if (!color.isValid() || color == QColor(Qt::transparent))
        return;
    npColor = color;
}

QColor PlaylistItemDelegate::getNpColor() const
{
    return npColor;
}

void PlaylistItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    if (index.data(SongModel::NowPlayingRole).toBool())
        paintNowPlaying(painter, option, index);
    else
        QStyledItemDelegate::paint(painter, option, index);
}

void PlaylistItemDelegate::paintNowPlaying(QPainter *painter, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    painter->save();
    painter->setFont(nowPlayingFont());
    painter->setPen(Qt::white);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter->fillRect(option.rect, selected ? option.palette.color(QPalette::Highlight) : npColor);
    const QString text = elideNowPlayingText(index.data(Qt::DisplayRole).toString(),
                                             painter->fontMetrics(), option.rect.width());
    painter->drawText(option.rect.adjusted(textMargin, textMargin, -textMargin, -textMargin),
                      Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->restore();
}

QString PlaylistItemDelegate::elideNowPlayingText(const QString &text, const QFontMetrics &metrics,
                                                  int rectWidth)
{
    const int averageWidth = metrics.averageCharWidth();
    if (averageWidth <= 0)
        return text;  // a font without widths gives no budget to cut to
    const int available = rectWidth - 2 * textMargin;
    const int budget = (available - metrics.horizontalAdvance(elisionMark)) / averageWidth;
    if (budget <= 0)
        return elisionMark;
    if (budget >= text.size())
        return text;
    QString kept = text.left(budget - 1);
    // Never keep half of a surrogate pair: it would show as a replacement glyph.
    if (!kept.isEmpty() && kept.back().isHighSurrogate())
        kept.chop(1);
    return kept + elisionMark;
}
