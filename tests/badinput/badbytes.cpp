#include "badbytes.h"

#include "testlibrary.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

const char alphabetBytes[] = "\n\n\n\t\t\r\x1b\0\xff\xfe\xc3\xa9\xe2\x82\xef\xbb\xbf"
                             "0123456789-+ abcXYZ";
const QByteArray alphabet(alphabetBytes, sizeof(alphabetBytes) - 1);

}  // namespace

QByteArray BadBytes::randomBytes(int maxSize)
{
    QByteArray bytes(bounded(maxSize + 1), Qt::Uninitialized);
    // Half of the files draw from the whole byte range, half from the tricky alphabet.
    const bool anyByte = bounded(2) == 0;
    for (char &byte : bytes)
        byte = anyByte ? char(bounded(256)) : alphabet.at(bounded(alphabet.size()));
    return bytes;
}

QByteArray BadBytes::randomLine()
{
    QByteArray line = randomBytes(40);
    line.replace('\n', ' ');
    return line;
}

QByteArray BadBytes::damaged(const QByteArray &file, Damage damage)
{
    QByteArray bytes = file;
    const auto place = [&] { return bounded(int(bytes.size()) + 1); };
    switch (damage) {
    case Damage::RandomBytes:
        return randomBytes(64 * 1024);
    case Damage::Truncated:
        bytes.truncate(place());
        break;
    case Damage::FlippedBytes:
        for (int i = bounded(20); i >= 0 && !bytes.isEmpty(); --i)
            bytes[bounded(int(bytes.size()))] = char(bounded(256));
        break;
    case Damage::InvalidUtf8: {
        static const QByteArray sequences[] = {"\xff",         "\xc3",     "\xe2\x82",
                                               "\xed\xa0\x80", "\xc0\x80", "\xf8\x88\x80\x80\x80",
                                               "\x80\x80"};
        for (int i = bounded(10); i >= 0; --i)
            bytes.insert(place(), sequences[bounded(7)]);
        break;
    }
    case Damage::CrlfEndings:
        bytes.replace("\n", bounded(2) ? "\r\n" : "\r\r\n");
        if (bounded(2))
            bytes.insert(place(), "\r");
        break;
    case Damage::LostLines: {
        QList<QByteArray> lines = bytes.split('\n');
        for (int i = bounded(5); i >= 0 && !lines.isEmpty(); --i) {
            if (bounded(2))
                lines.removeAt(bounded(int(lines.size())));
            else
                lines.insert(bounded(int(lines.size()) + 1), randomLine());
        }
        bytes = lines.join('\n');
        break;
    }
    case Damage::HugeLine:
        bytes.insert(place(), QByteArray(1024 * 1024, char('a' + bounded(26))));
        break;
    }
    return bytes;
}

bool BadBytes::writeDatabase(const QString &dbPath, const QList<RawSong> &songs)
{
    // The header must name the server's tag list exactly: take it from an empty database.
    QTemporaryDir dir;
    const QString emptyPath = dir.filePath(QStringLiteral("empty.db"));
    QFile empty(emptyPath);
    if (!TestLibrary::writeDatabase(emptyPath, 0) || !empty.open(QIODevice::ReadOnly))
        return false;
    QByteArray out = empty.readAll() + "directory: D\nmtime: 1600000000\nbegin: D\n";
    for (const RawSong &song : songs) {
        out += "song_begin: " + song.uri + "\nTime: 100.000000\n";
        for (const auto &tag : song.tags)
            out += tag.first + ": " + tag.second + '\n';
        out += "mtime: 1600000000\nsong_end\n";
    }
    out += "end: D\n";
    QFile file(dbPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(out) == out.size();
}
