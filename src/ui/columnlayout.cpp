#include "ui/columnlayout.h"

#include "core/settingsstore.h"
#include "playlist/songmodel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScopedValueRollback>
#include <QTableView>

namespace {
// A column resize sends a signal per pixel dragged: the file is written once it settles.
constexpr int SaveDelayMs = 400;
constexpr int CellPadding = 16;
// Beside the header's state: how many columns it knew, so that columns added since are laid
// out as they are by default.
const QLatin1String SectionCountSuffix("_sections");
// The columns of every layout saved before the count was.
constexpr int FirstLayoutColumns = SongModel::File + 1;
constexpr SongModel::Column OptionalColumns[] = {SongModel::Plays, SongModel::LastPlayed};
}  // namespace

ColumnLayout::ColumnLayout(QTableView *view, const char *settingsKey)
    : QObject(view),
      view(view),
      viewport(view->viewport()),
      header(view->horizontalHeader()),
      settingsKey(settingsKey)
{
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideRight);
    // Rows of one fixed height: nothing wraps, and long lists need no per-row measuring.
    QHeaderView *rows = view->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view->fontMetrics().height() + 6);
    header->setSectionsMovable(true);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this, &ColumnLayout::showColumnMenu);

    saveTimer.setSingleShot(true);
    saveTimer.setInterval(SaveDelayMs);
    connect(&saveTimer, &QTimer::timeout, this, &ColumnLayout::save);
    connect(header, &QHeaderView::sectionResized, this, &ColumnLayout::onSectionResized);
    connect(header, &QHeaderView::sectionMoved, this, [this] {
        if (!autoSizing)
            onUserLayout();
    });
    connect(header, &QHeaderView::sectionCountChanged, this, &ColumnLayout::fit);
    // Quitting right after a change must not lose it.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (saveTimer.isActive())
            save();
    });
    view->installEventFilter(this);
    viewport->installEventFilter(this);
    fit();
}

void ColumnLayout::save()
{
    saveTimer.stop();
    SettingsStore settings;
    settings->setValue(QLatin1String(settingsKey), header->saveState());
    settings->setValue(settingsKey + SectionCountSuffix, header->count());
}

bool ColumnLayout::eventFilter(QObject *watched, QEvent *event)
{
    // The viewport's own resize: the view's comes before its viewport has the new width.
    // Pointers only: events still arrive while the view is being destroyed.
    if ((watched == view && event->type() == QEvent::Show)
        || (watched == viewport && event->type() == QEvent::Resize))
        fit();
    return QObject::eventFilter(watched, event);
}

void ColumnLayout::fit()
{
    // Only a shown view has its real width, and it may still change while the window settles.
    if (userLayout || header->count() != SongModel::ColumnCount || !view->isVisible())
        return;
    const QScopedValueRollback<bool> sizing(autoSizing, true);
    if (!stateRead) {
        stateRead = true;
        QByteArray state;
        int savedColumns = 0;
        {
            SettingsStore settings;
            state = settings->value(QLatin1String(settingsKey)).toByteArray();
            savedColumns = settings->value(settingsKey + SectionCountSuffix, FirstLayoutColumns).toInt();
        }
        if (!state.isEmpty() && header->restoreState(state)) {
            hideOptionalColumns(savedColumns);
            stopFitting();
            return;
        }
    }
    sizeToContent();
    hideOptionalColumns(0);
}

void ColumnLayout::hideOptionalColumns(int first)
{
    for (SongModel::Column column : OptionalColumns) {
        if (column >= first)
            header->hideSection(column);
    }
}

void ColumnLayout::showColumnMenu(const QPoint &position)
{
    QMenu menu(header);
    const QAbstractItemModel *model = header->model();
    for (int section = 0; section < header->count(); ++section) {
        QAction *action = menu.addAction(model->headerData(section, Qt::Horizontal).toString());
        action->setCheckable(true);
        action->setChecked(!header->isSectionHidden(section));
        // The last column shown stays: a header without columns could not bring them back.
        action->setEnabled(header->isSectionHidden(section) || header->hiddenSectionCount() < header->count() - 1);
        connect(action, &QAction::toggled, this, [this, section](bool shown) {
            header->setSectionHidden(section, !shown);
            onUserLayout();
        });
    }
    menu.exec(header->mapToGlobal(position));
}

void ColumnLayout::onSectionResized(int logicalIndex)
{
    // The last section shown stretches with the view: that is no choice of the user's. Hiding
    // a section resizes it (later, to 0); the column menu saves a choice of its own.
    if (autoSizing || header->isSectionHidden(logicalIndex)
        || (!userLayout && logicalIndex == lastShownSection()))
        return;
    onUserLayout();
}

int ColumnLayout::lastShownSection() const
{
    for (int visual = header->count() - 1; visual >= 0; --visual) {
        if (!header->isSectionHidden(header->logicalIndex(visual)))
            return header->logicalIndex(visual);
    }
    return -1;
}

void ColumnLayout::onUserLayout()
{
    stopFitting();
    saveTimer.start();
}

void ColumnLayout::stopFitting()
{
    userLayout = true;
    view->removeEventFilter(this);
    view->viewport()->removeEventFilter(this);
}

void ColumnLayout::sizeToContent()
{
    // The playlist is often empty at the first start: the narrow columns are sized for the
    // longest usual tag, the text columns share what is left.
    const struct
    {
        SongModel::Column column;
        const char *sample;
    } narrow[] = {{SongModel::Track, "00/00"},
                  {SongModel::Date, "0000-00-00"},
                  {SongModel::Duration, "00:00"},
                  {SongModel::Rating, "\u2605\u2605\u2605\u2605\u2605"}};
    int used = 0;
    for (const auto &entry : narrow) {
        const int width = qMax(textWidth(QString::fromUtf8(entry.sample)),
                               header->sectionSizeHint(entry.column));
        header->resizeSection(entry.column, width);
        used += width;
    }
    // The rating beside the other narrow columns; the file name, which repeats the title, last:
    // it gets what is left (the last section stretches).
    if (header->visualIndex(SongModel::Rating) > header->visualIndex(SongModel::File))
        header->moveSection(header->visualIndex(SongModel::Rating), header->visualIndex(SongModel::File));
    const int fileWidth = header->sectionSizeHint(SongModel::File);
    header->resizeSection(SongModel::File, fileWidth);
    // A narrow view scrolls rather than squeezing the titles to nothing.
    const int shared = qMax(textWidth(QStringLiteral("A song's title")),
                            (view->viewport()->width() - used - fileWidth) / 3);
    for (SongModel::Column column : {SongModel::Title, SongModel::Artist, SongModel::Album})
        header->resizeSection(column, shared);
}

int ColumnLayout::textWidth(const QString &text) const
{
    return view->fontMetrics().horizontalAdvance(text) + CellPadding;
}
