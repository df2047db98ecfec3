#include "collection/libmpdlisting.h"

#include <libmpd/libmpd.h>

#include <memory>

MpdData *LibmpdListing::listRecursively(const QByteArray &host, int port,
                                        const QByteArray &password, const QByteArray &path,
                                        bool *complete)
{
    *complete = false;
    std::unique_ptr<MpdObj, void (*)(MpdObj *)> mpd(
            mpd_new(const_cast<char *>(host.constData()), port,
                    password.isEmpty() ? nullptr : const_cast<char *>(password.constData())),
            mpd_free);
    if (!mpd || mpd_connect(mpd.get()) != MPD_OK)
        return nullptr;
    // libmpd lists the root only as the whole database.
    MpdData *songs = path.isEmpty()
            ? mpd_database_get_complete(mpd.get())
            : mpd_database_get_directory_recursive(mpd.get(), path.constData());
    if (!mpd_check_connected(mpd.get())) {
        mpd_data_free(songs);
        return nullptr;
    }
    *complete = true;
    return songs;
}
