#include "ui/infobanner.h"

#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

static constexpr int BottomGap = 24;

InfoBanner::InfoBanner(QWidget *window) : QWidget(window), layout(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("infoBanner"));
    // Notices never take clicks or focus away from the window below.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    window->installEventFilter(this);
    hide();
}

void InfoBanner::showMessage(const QString &message, int timeoutMs)
{
    // The same notice again while it still shows (a server that keeps dropping the connection):
    // one notice, not a pile.
    if (visibleMessages().value(visibleMessages().size() - 1) == message)
        return;
    auto *label = new QLabel(message, this);
    label->setObjectName(QStringLiteral("infoBannerMessage"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("QLabel { background: rgba(32, 32, 32, 225); color: white;"
                                        " border-radius: 6px; padding: 8px 16px; }"));
    layout->addWidget(label);
    connect(label, &QObject::destroyed, this, [this] {
        // The label is still a child while it is being destroyed.
        QTimer::singleShot(0, this, &InfoBanner::placeOverWindow);
    });
    QTimer::singleShot(timeoutMs, label, &QObject::deleteLater);
    placeOverWindow();
}

QStringList InfoBanner::visibleMessages() const
{
    QStringList messages;
    for (const QLabel *label : findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly))
        messages.append(label->text());
    return messages;
}

bool InfoBanner::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        placeOverWindow();
    return QWidget::eventFilter(watched, event);
}

void InfoBanner::placeOverWindow()
{
    if (layout->count() == 0) {
        hide();
        return;
    }
    const QWidget *window = parentWidget();
    const int width = qMin(window->width() * 2 / 3, 480);
    const int height = layout->heightForWidth(width) > 0 ? layout->heightForWidth(width)
                                                         : layout->sizeHint().height();
    setGeometry((window->width() - width) / 2, window->height() - height - BottomGap, width, height);
    show();
    raise();
}
