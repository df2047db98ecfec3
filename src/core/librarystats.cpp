#include "core/librarystats.h"

LibraryStats LibraryStats::parse(const QList<QByteArray> &lines)
{
    LibraryStats stats;
    const struct
    {
        const char *name;
        qint64 LibraryStats::*field;
    } fields[] = {{"artists", &LibraryStats::artists},      {"albums", &LibraryStats::albums},
                  {"songs", &LibraryStats::songs},          {"db_playtime", &LibraryStats::playTime},
                  {"db_update", &LibraryStats::lastUpdate}, {"uptime", &LibraryStats::uptime}};
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(": ");
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon);
        for (const auto &field : fields) {
            if (name == field.name)
                stats.*field.field = line.mid(colon + 2).toLongLong();
        }
    }
    return stats;
}
