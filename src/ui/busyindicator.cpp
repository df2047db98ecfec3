#include "ui/busyindicator.h"

#include <QPainter>

namespace {
constexpr int Spokes = 12;
constexpr int StepIntervalMs = 80;
}  // namespace

BusyIndicator::BusyIndicator(QWidget *parent) : QWidget(parent)
{
    setToolTip(tr("Building collection..."));
    timer.setInterval(StepIntervalMs);
    connect(&timer, &QTimer::timeout, this, &BusyIndicator::advance);
    hide();
}

void BusyIndicator::start()
{
    timer.start();
    show();
}

void BusyIndicator::stop()
{
    timer.stop();
    hide();
}

bool BusyIndicator::isRunning() const
{
    return timer.isActive();
}

QSize BusyIndicator::sizeHint() const
{
    return QSize(20, 20);
}

void BusyIndicator::advance()
{
    step = (step + 1) % Spokes;
    update();
}

void BusyIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    QPen pen(palette().color(QPalette::WindowText));
    pen.setWidthF(qMax(1.5, side / 10.0));
    pen.setCapStyle(Qt::RoundCap);
    for (int spoke = 0; spoke < Spokes; ++spoke) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = (step - spoke + Spokes) % Spokes;
        QColor color = pen.color();
        color.setAlphaF(1.0 - qreal(age) / Spokes);
        pen.setColor(color);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -side * 0.2), QPointF(0, -side * 0.42));
        painter.rotate(360.0 / Spokes);
    }
}
