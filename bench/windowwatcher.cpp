#include "windowwatcher.h"

#include "ui/infobanner.h"
#include "ui/mainwindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <ctime>

namespace {

constexpr int tickIntervalMs = 10;

}  // namespace

WindowWatcher::WindowWatcher(QObject *parent) : QObject(parent)
{
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(tickIntervalMs);
    connect(&ticker, &QTimer::timeout, this, &WindowWatcher::onTick);
    ticker.start();
    qApp->installEventFilter(this);
}

qint64 WindowWatcher::monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void WindowWatcher::onTick()
{
    const qint64 now = monotonicNs();
    if (countTicks && lastTick > 0)
        longestTickGap = qMax(longestTickGap, now - lastTick);
    lastTick = now;
}

bool WindowWatcher::collectionShownAsBuilt(QObject *tab) const
{
    auto *widget = qobject_cast<QWidget *>(tab);
    if (!widget || !widget->isEnabled())
        return false;
    const auto *banner = widget->window()->findChild<InfoBanner *>();
    return banner
            && banner->visibleMessages().contains(QStringLiteral("Collection built succesfully!"));
}

bool WindowWatcher::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (shown == 0 && qobject_cast<MainWindow *>(watched))
            shown = monotonicNs();
        break;
    case QEvent::EnabledChange:
        if (built == 0 && watched->objectName() == QLatin1String("tabCollection")
            && collectionShownAsBuilt(watched)) {
            built = monotonicNs();
            emit collectionBuilt();
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
