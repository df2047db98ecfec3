// Logging in on a libmpdclient connection (the collection listing's and the cover worker's own
// connections). Any thread: it only touches the connection it is given.
#ifndef MPDCLIENTLOGIN_H
#define MPDCLIENTLOGIN_H

#include <mpd/client.h>

namespace MpdClientLogin {
// Sends "password" when one is given; true when there is none or the server took it.
// Not mpd_run_password: libmpd exports a mpd_send_password of its own, and the dynamic linker
// binds libmpdclient's internal call to that one, which crashes.
bool sendPassword(mpd_connection *connection, const char *password);
}  // namespace MpdClientLogin

#endif
