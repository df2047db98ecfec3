// TabKeys: Ctrl+1 to Ctrl+5 show the window's tabs in their order (Playlist, Collection, Albums,
// File browser, Playlists). Shortcuts parented to the tab widget; GUI thread.
#ifndef TABKEYS_H
#define TABKEYS_H

class QTabWidget;

namespace TabKeys {
void install(QTabWidget *tabs);
}

#endif
