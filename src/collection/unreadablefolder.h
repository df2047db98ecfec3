// UnreadableFolder: a folder of the server's database that a collection build had to leave out,
// because the server would not list it or its answer could not be read. A plain value, made in
// the builder's thread and read by the window once the build has ended.
#ifndef UNREADABLEFOLDER_H
#define UNREADABLEFOLDER_H

#include <QList>
#include <QString>

struct UnreadableFolder
{
    QString path;
    bool tagsTooLong = false;  // a line of its listing was longer than both libraries read

    // What the window says of the folders left out, one line each; empty when there are none.
    static QString report(const QList<UnreadableFolder> &folders);
};

#endif
