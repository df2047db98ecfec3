#include "core/mpdclientlogin.h"

bool MpdClientLogin::sendPassword(mpd_connection *connection, const char *password)
{
    if (!password || !*password)
        return true;
    return mpd_send_command(connection, "password", password, nullptr)
            && mpd_response_finish(connection);
}
