#include "collection/unreadablefolder.h"

#include <QCoreApplication>
#include <QStringList>

QString UnreadableFolder::report(const QList<UnreadableFolder> &folders)
{
    QStringList lines;
    for (const UnreadableFolder &folder : folders) {
        lines << (folder.tagsTooLong
                          ? QCoreApplication::translate(
                                    "UnreadableFolder",
                                    "The folder \"%1\" could not be read: its tags are too long")
                          : QCoreApplication::translate("UnreadableFolder",
                                                        "The folder \"%1\" could not be read"))
                         .arg(folder.path);
    }
    return lines.join(QLatin1Char('\n'));
}
