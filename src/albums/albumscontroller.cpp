#include "albums/albumscontroller.h"

#include "collection/collectionbuilder.h"
#include "core/serverconnection.h"
#include "playlist/queuemoves.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

namespace {

qreal pixelRatio()
{
    return qApp->devicePixelRatio();
}

// A grey square with a record on it, until the cover comes.
QPixmap placeholderCover()
{
    const int edge = AlbumsController::COVER_EDGE;
    QPixmap pixmap(QSize(edge, edge) * pixelRatio());
    pixmap.setDevicePixelRatio(pixelRatio());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette palette = qApp->palette();
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette.color(QPalette::Mid));
    painter.drawRoundedRect(QRectF(0, 0, edge, edge), 6, 6);
    painter.setBrush(palette.color(QPalette::Dark));
    painter.drawEllipse(QPointF(edge / 2.0, edge / 2.0), edge * 0.32, edge * 0.32);
    painter.setBrush(palette.color(QPalette::Mid));
    painter.drawEllipse(QPointF(edge / 2.0, edge / 2.0), edge * 0.06, edge * 0.06);
    return pixmap;
}

bool isEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

AlbumsController::AlbumsController(QTabWidget *tabs, QWidget *collectionTab,
                                   const CollectionBuilder &builder, QObject *parent)
    : QObject(parent),
      builder(builder),
      thumbnails(COVER_EDGE, pixelRatio()),
      model(&thumbnails, placeholderCover(), nullptr)
{
    QWidget *page = buildPage();
    tabs->insertTab(tabs->indexOf(collectionTab) + 1, page, tr("Albums"));
    addActions();
    coverTimer = new QTimer(this);
    coverTimer->setSingleShot(true);
    coverTimer->setInterval(0);
    connect(coverTimer, &QTimer::timeout, this, &AlbumsController::wantVisibleCovers);
    const auto scheduleCovers = [this] { coverTimer->start(); };
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, scheduleCovers);
    connect(&model, &QAbstractItemModel::modelReset, this, scheduleCovers);
    connect(tabs, &QTabWidget::currentChanged, this, scheduleCovers);
    connect(&thumbnails, &AlbumThumbnails::arrived, &model, &AlbumGridModel::onThumbnailArrived);
}

QWidget *AlbumsController::buildPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabAlbums"));
    filter = new QLineEdit(page);
    filter->setObjectName(QStringLiteral("albumsFilter"));
    filter->setPlaceholderText(tr("Filter"));
    filter->setClearButtonEnabled(true);
    sort = new QComboBox(page);
    sort->setObjectName(QStringLiteral("albumsSort"));
    // In the order of AlbumGridModel::Order.
    sort->addItems({tr("Artist"), tr("Album title"), tr("Year"), tr("Recently modified")});
    view = new QListView(page);
    view->setObjectName(QStringLiteral("albumGrid"));
    view->setViewMode(QListView::IconMode);
    view->setResizeMode(QListView::Adjust);
    view->setMovement(QListView::Static);
    view->setUniformItemSizes(true);
    view->setWordWrap(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setIconSize(QSize(COVER_EDGE, COVER_EDGE));
    const int textLines = 2 * view->fontMetrics().lineSpacing();
    view->setGridSize(QSize(COVER_EDGE + 24, COVER_EDGE + textLines + 16));
    view->setModel(&model);
    view->viewport()->installEventFilter(this);
    view->installEventFilter(this);

    auto *bar = new QHBoxLayout;
    bar->addWidget(filter, 1);
    bar->addWidget(sort);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(bar);
    layout->addWidget(view);

    connect(filter, &QLineEdit::textChanged, &model, &AlbumGridModel::setSearch);
    connect(sort, &QComboBox::currentIndexChanged, this,
            [this](int order) { model.setOrder(AlbumGridModel::Order(order)); });
    connect(view, &QListView::doubleClicked, this, [this] { queueSelected(Placement::Append); });
    return page;
}

void AlbumsController::addActions()
{
    const auto addAction = [this](const QString &text, Placement placement) {
        auto *action = new QAction(text, view);
        connect(action, &QAction::triggered, this, [this, placement] { queueSelected(placement); });
        view->addAction(action);
        return action;
    };
    addAction(tr("Add to queue"), Placement::Append);
    addAction(tr("Play next"), Placement::Next);
    addAction(tr("Replace queue"), Placement::Replace);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void AlbumsController::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    thumbnails.setServer(connection->host(), connection->port(), connection->password());
}

void AlbumsController::onConnectionClosed()
{
    server = nullptr;
    thumbnails.stop();
    model.setAlbums({});
}

void AlbumsController::onCollectionBuilt()
{
    // A failed build published nothing: the grid stays as it is.
    if (!builder.lastBuildFailed())
        model.setAlbums(builder.getAlbumSummaries());
}

// The tiles on screen first, then the next screen: a quick scroll past thousands of albums asks
// only for where it stops.
void AlbumsController::wantVisibleCovers()
{
    const int rows = model.rowCount();
    if (!view->isVisible() || rows == 0)
        return;
    const QSize grid = view->gridSize();
    const int perLine = std::max(1, view->viewport()->width() / grid.width());
    const int top = view->verticalScrollBar()->value();
    const int firstLine = top / grid.height();
    const int lines = (top + view->viewport()->height() - 1) / grid.height() - firstLine + 1;
    const int first = std::min(rows, firstLine * perLine);
    const int end = std::min(rows, first + 2 * lines * perLine);
    QList<ThumbnailRequest> wanted;
    wanted.reserve(end - first);
    for (int row = first; row < end; ++row) {
        const AlbumSummary &album = model.albumAt(row);
        wanted.append({AlbumGridModel::keyOf(album), album.artist, album.album, album.firstFile});
    }
    thumbnails.want(wanted);
}

bool AlbumsController::eventFilter(QObject *watched, QEvent *event)
{
    // Events still arrive while the view is being destroyed: nothing here calls into it. The
    // other object watched is its viewport.
    if (watched != view) {
        if (event->type() == QEvent::Resize)
            coverTimer->start();
        return false;
    }
    // Enter belongs to the window's list keys unless the grid claims it first.
    if (event->type() == QEvent::ShortcutOverride && isEnter(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent *>(event))) {
        const bool ctrl = static_cast<QKeyEvent *>(event)->modifiers() & Qt::ControlModifier;
        queueSelected(ctrl ? Placement::Next : Placement::Append);
        return true;
    }
    return false;
}

// The selected albums' songs in view order, each album's in listing order, which is track order:
// mpd sorts a folder's songs by disc and track, and a folder per disc keeps the discs in order.
QStringList AlbumsController::selectedPaths(QString *title) const
{
    QModelIndexList selected = view->selectionModel()->selectedIndexes();
    if (selected.isEmpty() && view->currentIndex().isValid())
        selected << view->currentIndex();
    std::sort(selected.begin(), selected.end());
    QStringList paths;
    for (const QModelIndex &index : std::as_const(selected)) {
        const AlbumSummary &album = model.albumAt(index.row());
        for (const QmpdSong &song : builder.getAlbumSongs(album.artist, album.album))
            paths << song.file;
    }
    *title = selected.size() == 1 ? selected.first().data(AlbumGridModel::AlbumRole).toString()
                                  : tr("%1 albums").arg(selected.size());
    return paths;
}

void AlbumsController::queueSelected(Placement placement)
{
    QString title;
    const QStringList paths = selectedPaths(&title);
    if (!server || paths.isEmpty())
        return;
    const auto job = [paths, placement](Qmpd &queue) {
        if (placement == Placement::Replace)
            queue.clearQueue();
        const int length = queue.queueLength();
        const int target = queue.playNextPosition(length);
        if (!queue.addPaths(paths))
            return false;
        if (placement == Placement::Replace)
            queue.playPosition(0);
        if (placement != Placement::Next)
            return true;
        QList<int> added;
        for (int row = length; row < length + paths.size(); ++row)
            added << row;
        return queue.moveSongs(QueueMoves::plan(added, target));
    };
    const QString done = placement == Placement::Next
            ? tr("Queued \"%1\" to play next").arg(title)
            : tr("Added \"%1\" to playlist!").arg(title);
    server->ask(this, job, [this, done](bool queued) {
        if (queued)
            emit message(done);
    });
}
