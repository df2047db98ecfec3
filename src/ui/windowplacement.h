// Where the window was and how big: kept in the settings file when it closes, restored when it
// opens again, as long as its title bar would still be on a screen.
#ifndef WINDOWPLACEMENT_H
#define WINDOWPLACEMENT_H

class QMainWindow;

namespace WindowPlacement {
void restore(QMainWindow *window);
void save(const QMainWindow *window);
}  // namespace WindowPlacement

#endif
