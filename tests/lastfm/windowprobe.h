// Helpers for the main-window tests of covers and settings: what the cover view shows, cover
// files to put in the cache, and raw settings to start from. GUI thread only.
#ifndef WINDOWPROBE_H
#define WINDOWPROBE_H

#include <QByteArray>
#include <QImage>
#include <QString>

class QWidget;

namespace WindowProbe {

// The pixmap the window's cover view shows, as RGB32; null when there is none.
QImage shownCover(const QWidget *window);
// An image file scaled as the cover view shows it, as RGB32.
QImage asShown(const QString &path);
QImage rgb(const QImage &image);
// Writes a JPEG of the given size with a pattern that survives compression; true on success.
bool writeCover(const QString &path, int width, int height);
// Replaces the settings file with raw INI text, as a user's editor might leave it.
bool writeSettingsFile(const QByteArray &ini);
bool writeFile(const QString &path, const QByteArray &content);

}  // namespace WindowProbe

#endif
