#include "windowprobe.h"

#include "settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QPixmap>

namespace WindowProbe {

QImage rgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage shownCover(const QWidget *window)
{
    const auto *view = window->findChild<QGraphicsView *>(QStringLiteral("imageCDCover"));
    if (!view || !view->scene())
        return QImage();
    const QList<QGraphicsItem *> items = view->scene()->items();
    if (items.size() != 1)
        return QImage();
    const auto *item = qgraphicsitem_cast<QGraphicsPixmapItem *>(items.first());
    return item ? rgb(item->pixmap().toImage()) : QImage();
}

QImage asShown(const QString &path)
{
    return rgb(QPixmap(path)
                       .scaled(148, 148, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                       .toImage());
}

bool writeCover(const QString &path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(20, 60, 140));
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 3, QColor(230, 180, 30));
    painter.fillRect(width / 3, height / 2, width / 2, height / 3, QColor(200, 40, 40));
    painter.end();
    return QDir().mkpath(QFileInfo(path).absolutePath()) && image.save(path, "JPEG");
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
            && file.write(content) == content.size();
}

bool writeSettingsFile(const QByteArray &ini)
{
    return SettingsStore::ensureDirectory()
            && writeFile(SettingsStore::directory() + QStringLiteral("/config.conf"), ini);
}

}  // namespace WindowProbe
