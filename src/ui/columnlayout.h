// ColumnLayout: a song table laid out for a desktop. One text line per row, columns sized to
// their content until the user arranges them, and from then on the user's widths and order,
// kept in the settings file under one key. The header's context menu shows and hides columns;
// the play statistics are hidden until the user asks for them, also in a layout saved before
// they existed. It keeps the header's state, not the model's, so it
// survives the models the view is given over time. A child of the view it serves; GUI thread.
#ifndef COLUMNLAYOUT_H
#define COLUMNLAYOUT_H

#include <QObject>
#include <QTimer>

class QHeaderView;
class QTableView;

class ColumnLayout : public QObject
{
    Q_OBJECT

public:
    ColumnLayout(QTableView *view, const char *settingsKey);

    // Writes the current state at once (otherwise shortly after the user's last change).
    void save();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Restores the stored state once the header has its sections and the view its width; with
    // none stored, sizes the columns to their content for the view's width of the moment.
    void fit();
    void sizeToContent();
    // Hides the columns shown only on request, of those from `first` on.
    void hideOptionalColumns(int first);
    void showColumnMenu(const QPoint &position);
    void onSectionResized(int logicalIndex);
    int lastShownSection() const;
    void onUserLayout();
    void stopFitting();
    int textWidth(const QString &text) const;

    QTableView *view;
    QObject *viewport;
    QHeaderView *header;
    const char *settingsKey;
    bool stateRead = false;
    // Set once the user has moved or resized a column, or a stored layout was restored.
    bool userLayout = false;
    bool autoSizing = false;
    QTimer saveTimer;
};

#endif
