// TabNavigation: Ctrl+1 to Ctrl+5 show the window's tabs in their order (Playlist, Collection,
// Albums, File browser, Playlists), and the window opens on the tab it showed when it was last
// closed. Shortcuts parented to the tab widget; GUI thread.
#ifndef TABNAVIGATION_H
#define TABNAVIGATION_H

class QTabWidget;

namespace TabNavigation {
// After every tab is in place.
void install(QTabWidget *tabs);
// When the window closes.
void save(const QTabWidget *tabs);
}  // namespace TabNavigation

#endif
