// Logging in on a libmpdclient connection (the collection listing's and the cover worker's own
// connections). Any thread: it only touches the connection it is given.
// Also the one way into libmpdclient: libmpd exports a few functions of the same names, and the
// dynamic linker binds every call of such a name, libmpdclient's own internal calls included, to
// libmpd's (it comes first). Those names are unusable wherever libmpdclient is used, so that a
// call meant for libmpdclient cannot silently land in libmpd.
#ifndef MPDCLIENTLOGIN_H
#define MPDCLIENTLOGIN_H

#include <mpd/client.h>

#pragma GCC poison mpd_send_password mpd_run_password mpd_status_get_volume \
        mpd_status_get_crossfade mpd_stats_get_uptime

namespace MpdClientLogin {
// Sends "password" when one is given; true when there is none or the server took it.
// Not mpd_run_password: libmpd exports a mpd_send_password of its own, and the dynamic linker
// binds libmpdclient's internal call to that one, which crashes.
bool sendPassword(mpd_connection *connection, const char *password);
}  // namespace MpdClientLogin

#endif
