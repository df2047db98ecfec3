#include "lyrics/lyricspage.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>

LyricsPage::LyricsPage(QWidget *parent)
    : QStackedWidget(parent),
      message(new QLabel(this)),
      lines(new QListWidget(this)),
      text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("lyricsPage"));
    message->setObjectName(QStringLiteral("lyricsMessage"));
    lines->setObjectName(QStringLiteral("lyricsLines"));
    text->setObjectName(QStringLiteral("lyricsText"));
    message->setAlignment(Qt::AlignCenter);
    lines->setSelectionMode(QAbstractItemView::NoSelection);
    lines->setWordWrap(true);
    lines->setCursor(Qt::PointingHandCursor);
    text->setReadOnly(true);
    for (QWidget *view : {static_cast<QWidget *>(message), static_cast<QWidget *>(lines),
                          static_cast<QWidget *>(text)})
        addWidget(view);
    connect(lines, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { emit lineClicked(lines->row(item)); });
}

void LyricsPage::showMessage(const QString &text)
{
    message->setText(text);
    setCurrentWidget(message);
}

void LyricsPage::showLyrics(const Lyrics &lyrics)
{
    current = -1;
    lines->clear();
    if (!lyrics.isSynced()) {
        text->setPlainText(lyrics.plainText);
        setCurrentWidget(text);
        return;
    }
    for (const LyricsLine &line : lyrics.lines) {
        auto *item = new QListWidgetItem(line.text, lines);
        item->setTextAlignment(Qt::AlignCenter);
    }
    lines->scrollToTop();
    setCurrentWidget(lines);
}

void LyricsPage::highlight(int row)
{
    if (row == current || row >= lines->count())
        return;
    setBold(current, false);
    current = row;
    setBold(current, true);
    if (current >= 0)
        lines->scrollToItem(lines->item(current), QAbstractItemView::PositionAtCenter);
}

void LyricsPage::setBold(int row, bool bold)
{
    QListWidgetItem *item = row >= 0 ? lines->item(row) : nullptr;
    if (!item)
        return;
    QFont font = lines->font();
    font.setBold(bold);
    font.setPointSizeF(font.pointSizeF() * (bold ? 1.2 : 1.0));
    item->setFont(font);
    item->setForeground(bold ? palette().highlight() : palette().text());
}
