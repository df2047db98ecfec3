#include "treedatabase.h"

#include "testlibrary.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {

struct Directory
{
    QString path;
    std::vector<std::unique_ptr<Directory>> children;
    QList<TreeSong> songs;

    Directory &child(const QString &name)
    {
        const QString childPath = path.isEmpty() ? name : path + '/' + name;
        for (auto &existing : children) {
            if (existing->path == childPath)
                return *existing;
        }
        children.push_back(std::make_unique<Directory>());
        children.back()->path = childPath;
        return *children.back();
    }
};

void appendTag(QByteArray &out, const char *name, const QString &value)
{
    if (!value.isEmpty())
        out += QByteArray(name) + ": " + value.toUtf8() + '\n';
}

void appendDirectory(QByteArray &out, const Directory &directory)
{
    for (const TreeSong &song : directory.songs) {
        out += "song_begin: " + song.uri.section('/', -1).toUtf8() + '\n';
        out += "Time: " + QByteArray::number(song.seconds) + ".000000\n";
        appendTag(out, "Artist", song.artist);
        appendTag(out, "Album", song.album);
        appendTag(out, "Title", song.title);
        appendTag(out, "Track", song.track ? QString::number(song.track) : QString());
        out += "mtime: 1600000000\nsong_end\n";
    }
    for (const auto &child : directory.children) {
        out += "directory: " + child->path.section('/', -1).toUtf8()
                + "\nmtime: 1600000000\nbegin: " + child->path.toUtf8() + '\n';
        appendDirectory(out, *child);
        out += "end: " + child->path.toUtf8() + '\n';
    }
}

// The header names the server's tag list exactly; an empty database has just that.
QByteArray header()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.db");
    QFile file(path);
    if (!TestLibrary::writeDatabase(path, 0) || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

}  // namespace

bool TreeDatabase::write(const QString &dbPath, const QList<TreeSong> &songs)
{
    Directory root;
    for (const TreeSong &song : songs) {
        Directory *directory = &root;
        const QStringList parts = song.uri.split('/');
        for (int i = 0; i + 1 < parts.size(); ++i)
            directory = &directory->child(parts.at(i));
        directory->songs.append(song);
    }
    QByteArray out = header();
    if (out.isEmpty())
        return false;
    appendDirectory(out, root);
    QFile file(dbPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(out) == out.size();
}
