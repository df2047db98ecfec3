// Pieces of Last.fm "album.getinfo" answers for tests that stand in for the service.
#ifndef LASTFMANSWERS_H
#define LASTFMANSWERS_H

#include <QBuffer>
#include <QByteArray>
#include <QImage>

namespace LastfmAnswers {

inline QByteArray albumAnswer(const QByteArray &albumContent)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<lfm status=\"ok\">\n<album>\n"
           "<name>Some Album</name>\n"
            + albumContent + "</album>\n</lfm>\n";
}

inline QByteArray image(const QByteArray &size, const QByteArray &address)
{
    return "<image size=\"" + size + "\">" + address + "</image>\n";
}

// A small, complete PNG (NUL bytes included): covers are kept only when they are whole images.
inline QByteArray coverImage()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    image.save(&png, "PNG");
    return png.data();
}

}  // namespace LastfmAnswers

#endif
