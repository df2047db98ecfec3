// The model, proxy and row painter on their own.
#include "tst_playlist.h"

#include "playlistitemdelegate.h"
#include "songmodel.h"
#include "songsortfiltermodel.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QPainter>

namespace {

QmpdSong *newSong(int id, const QString &title, const QString &file, const QString &artist = {})
{
    return new QmpdSong(id, 65, artist, title, "3/12", file, "2001", "Album");
}

// A model with songs 0..count-1, ids 100 + row, files music/<row>.flac.
void fill(SongModel &model, int count)
{
    for (int row = 0; row < count; ++row)
        model.addItem(
                newSong(100 + row, QString("Song %1").arg(row), QString("music/%1.flac").arg(row)));
}

QStringList columnTexts(const QAbstractItemModel &model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    return texts;
}

QList<int> playingRows(const SongModel &model)
{
    QList<int> rows;
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.index(row, SongModel::Title).data(SongModel::NowPlayingRole).toBool())
            rows << row;
    return rows;
}

QFont expectedNowPlayingFont()
{
    return QFont("Arial", 8, QFont::Bold, true);
}

const QColor initialNpColor(160, 30, 30, 255);
const QRgb outside = qRgb(1, 2, 3);
const QPoint cellOrigin(5, 5);

QImage blankCanvas(const QRect &cell)
{
    QImage image(cell.width() + 2 * cellOrigin.x(), cell.height() + 2 * cellOrigin.y(),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(outside);
    return image;
}

QImage render(const QAbstractItemDelegate &delegate, const QStyleOptionViewItem &option,
              const QModelIndex &index)
{
    QImage image = blankCanvas(option.rect);
    QPainter painter(&image);
    delegate.paint(&painter, option, index);
    return image;
}

// The now-playing look, drawn independently of the delegate.
QImage expectedNowPlaying(const QRect &cell, const QColor &background, const QString &shownText)
{
    QImage image = blankCanvas(cell);
    QPainter painter(&image);
    painter.fillRect(cell, background);
    painter.setFont(expectedNowPlayingFont());
    painter.setPen(Qt::white);
    painter.drawText(cell.adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignVCenter, shownText);
    return image;
}

QStyleOptionViewItem cellOption(int width, bool selected, QPalette::ColorGroup group)
{
    QStyleOptionViewItem option;
    option.rect = QRect(cellOrigin, QSize(width, 24));
    option.state = QStyle::State_Enabled | QStyle::State_Active;
    if (selected)
        option.state |= QStyle::State_Selected;
    option.palette.setColor(QPalette::Active, QPalette::Highlight, QColor(20, 200, 20));
    option.palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(20, 20, 200));
    option.palette.setCurrentColorGroup(group);
    option.font = QApplication::font();
    option.fontMetrics = QFontMetrics(option.font);
    return option;
}

// Metrics as the painter sees them on the images the cells are rendered into.
QFontMetrics imageMetrics(const QFont &font)
{
    static QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    return QFontMetrics(font, &device);
}

// The width of a cell whose elision budget is exactly `budget` characters.
int widthForBudget(const QFontMetrics &metrics, int budget)
{
    return 4 + metrics.horizontalAdvance("...") + budget * metrics.averageCharWidth();
}

}  // namespace

void TestPlaylist::displayText_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    const QString path = "music/dir/01 - x.flac";
    QTest::addRow("title") << "Song" << path << int(SongModel::Title) << "Song";
    QTest::addRow("artist") << "Song" << path << int(SongModel::Artist) << "Artist";
    QTest::addRow("album") << "Song" << path << int(SongModel::Album) << "Album";
    QTest::addRow("track as tagged") << "Song" << path << int(SongModel::Track) << "3/12";
    QTest::addRow("date") << "Song" << path << int(SongModel::Date) << "2001";
    QTest::addRow("duration") << "Song" << path << int(SongModel::Duration) << "1:05";
    QTest::addRow("file name") << "Song" << path << int(SongModel::File) << "01 - x.flac";
    QTest::addRow("untitled: base name")
            << QString() << "music/a.b.mp3" << int(SongModel::Title) << "a";
    QTest::addRow("untitled: file keeps dots")
            << QString() << "music/a.b.mp3" << int(SongModel::File) << "a.b.mp3";
    QTest::addRow("untitled, no directory") << QString() << "x.ogg" << int(SongModel::Title) << "x";
}

void TestPlaylist::displayText()
{
    QFETCH(QString, title);
    QFETCH(QString, file);
    QFETCH(int, column);
    QFETCH(QString, text);
    SongModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.addItem(new QmpdSong(1, 65, "Artist", title, "3/12", file, "2001", "Album"));
    QCOMPARE(model.index(0, column).data().toString(), text);
}

void TestPlaylist::rolesOfEveryColumn()
{
    SongModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(model, 2);
    model.setNowPlaying(1);
    QCOMPARE(model.columnCount(), 7);
    const QList<int> unanswered
            = {Qt::EditRole,       Qt::DecorationRole, Qt::ToolTipRole,       Qt::FontRole,
               Qt::ForegroundRole, Qt::BackgroundRole, Qt::TextAlignmentRole, Qt::UserRole + 2};
    for (int col = 0; col < SongModel::ColumnCount; ++col) {
        for (int row = 0; row < 2; ++row) {
            const QModelIndex index = model.index(row, col);
            QCOMPARE(index.data(Qt::UserRole).toString(), QString("music/%1.flac").arg(row));
            const QVariant playing = index.data(Qt::UserRole + 1);
            QCOMPARE(playing.typeId(), QMetaType::Bool);
            QCOMPARE(playing.toBool(), row == 1);
            for (int role : unanswered)
                QVERIFY2(!index.data(role).isValid(), qPrintable(QString::number(role)));
        }
    }
}

void TestPlaylist::headers()
{
    SongModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(model, 3);
    const QStringList texts = {"Title", "Artist", "Album", "Track", "Date", "Duration", "File"};
    for (int section = 0; section < SongModel::ColumnCount; ++section) {
        QCOMPARE(model.headerData(section, Qt::Horizontal).toString(), texts[section]);
        QVERIFY(!model.headerData(section, Qt::Horizontal, Qt::ToolTipRole).isValid());
    }
    QVERIFY(!model.headerData(SongModel::ColumnCount, Qt::Horizontal).isValid());
    for (int section = 0; section < model.rowCount(); ++section)
        QVERIFY(!model.headerData(section, Qt::Vertical).isValid());
}

void TestPlaylist::removeItem_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("remaining");
    QTest::addRow("first") << 0 << QStringList{"Song 1", "Song 2"};
    QTest::addRow("last") << 2 << QStringList{"Song 0", "Song 1"};
    QTest::addRow("negative") << -1 << QStringList{"Song 0", "Song 1", "Song 2"};
    QTest::addRow("past the end") << 3 << QStringList{"Song 0", "Song 1", "Song 2"};
}

void TestPlaylist::removeItem()
{
    QFETCH(int, row);
    QFETCH(QStringList, remaining);
    SongModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(model, 3);
    model.removeItem(row);
    QCOMPARE(columnTexts(model, SongModel::Title), remaining);
}

void TestPlaylist::onWhichRow_data()
{
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("row");
    QTest::addRow("empty model") << QList<int>{} << 0 << -1;
    QTest::addRow("first of duplicates") << QList<int>{7, 5, 5} << 5 << 1;
    QTest::addRow("first row") << QList<int>{7, 5, 5} << 7 << 0;
    QTest::addRow("missing id") << QList<int>{7, 5, 5} << 9 << -1;
}

void TestPlaylist::onWhichRow()
{
    QFETCH(QList<int>, ids);
    QFETCH(int, id);
    QFETCH(int, row);
    SongModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int songId : ids)
        model.addItem(newSong(songId, "t", "f.flac"));
    QCOMPARE(model.onWhichRow(id), row);
}

void TestPlaylist::setNowPlaying_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("row");
    QTest::addColumn<QList<int>>("changedRows");
    QTest::addColumn<QList<int>>("playing");
    QTest::addRow("first mark") << -1 << 2 << QList<int>{2} << QList<int>{2};
    QTest::addRow("mark moves") << 2 << 5 << QList<int>{2, 5} << QList<int>{5};
    QTest::addRow("same row again") << 5 << 5 << QList<int>{} << QList<int>{5};
    QTest::addRow("no row clears") << 5 << -1 << QList<int>{5} << QList<int>{};
    QTest::addRow("row past the end clears") << 5 << 8 << QList<int>{5} << QList<int>{};
}

void TestPlaylist::setNowPlaying()
{
    QFETCH(int, before);
    QFETCH(int, row);
    QFETCH(QList<int>, changedRows);
    QFETCH(QList<int>, playing);
    SongModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(model, 8);
    model.setNowPlaying(before);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.setNowPlaying(row);

    QCOMPARE(playingRows(model), playing);
    QList<int> announcedRows;
    for (const QList<QVariant> &signal : changed) {
        const auto topLeft = signal[0].value<QModelIndex>();
        const auto bottomRight = signal[1].value<QModelIndex>();
        QCOMPARE(topLeft.row(), bottomRight.row());
        QCOMPARE(topLeft.column(), 0);
        QCOMPARE(bottomRight.column(), SongModel::ColumnCount - 1);
        QCOMPARE(signal[2].value<QList<int>>(), QList<int>{SongModel::NowPlayingRole});
        announcedRows << topLeft.row();
    }
    QCOMPARE(announcedRows, changedRows);
}

void TestPlaylist::addItemsAnnouncesOneBlock()
{
    SongModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(model, 2);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    model.addItems({});
    QCOMPARE(inserted.count(), 0);

    std::vector<std::unique_ptr<QmpdSong>> block;
    for (int i = 0; i < 10000; ++i) {
        block.emplace_back(newSong(i, QString("Block %1").arg(i), "b.flac"));
        if (i == 5000)
            block.emplace_back();  // dropped, not a row
    }
    model.addItems(std::move(block));

    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 2);
    QCOMPARE(inserted[0][2].toInt(), 10001);
    QCOMPARE(model.rowCount(), 10002);
    QCOMPARE(model.index(1, SongModel::Title).data().toString(), "Song 1");
    QCOMPARE(model.index(5002, SongModel::Title).data().toString(), "Block 5000");
    QCOMPARE(model.index(5003, SongModel::Title).data().toString(), "Block 5001");
    QCOMPARE(model.index(10001, SongModel::Title).data().toString(), "Block 9999");
}

void TestPlaylist::proxySortsByDisplayText_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("texts");
    QTest::addRow("title, fallback included") << int(SongModel::Title) << Qt::AscendingOrder
                                              << QStringList{"Bravo", "Charlie", "Delta"};
    QTest::addRow("title descending") << int(SongModel::Title) << Qt::DescendingOrder
                                      << QStringList{"Delta", "Charlie", "Bravo"};
    QTest::addRow("artist") << int(SongModel::Artist) << Qt::AscendingOrder
                            << QStringList{"Alpha", "Mike", "Zed"};
    QTest::addRow("file") << int(SongModel::File) << Qt::AscendingOrder
                          << QStringList{"2.flac", "4.flac", "Charlie.flac"};
}

void TestPlaylist::proxySortsByDisplayText()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, texts);
    SongModel model;
    model.addItem(newSong(1, "Delta", "z/4.flac", "Zed"));
    model.addItem(newSong(2, "", "a/Charlie.flac", "Alpha"));
    model.addItem(newSong(3, "Bravo", "x/2.flac", "Mike"));
    SongSortFilterModel proxy;
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    proxy.setSourceModel(&model);

    proxy.sort(column, order);

    QCOMPARE(columnTexts(proxy, column), texts);
}

void TestPlaylist::npColor_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QColor>("kept");
    QTest::addRow("Qt::transparent ignored") << QColor(Qt::transparent) << initialNpColor;
    QTest::addRow("invalid colour ignored") << QColor() << initialNpColor;
    QTest::addRow("alpha 0, red set") << QColor(1, 0, 0, 0) << QColor(1, 0, 0, 0);
    QTest::addRow("opaque black") << QColor(0, 0, 0) << QColor(0, 0, 0);
}

void TestPlaylist::npColor()
{
    QFETCH(QColor, color);
    QFETCH(QColor, kept);
    PlaylistItemDelegate delegate;
    QCOMPARE(delegate.getNpColor(), initialNpColor);
    delegate.setNpColor(color);
    QCOMPARE(delegate.getNpColor(), kept);
}

void TestPlaylist::ordinaryRowPaintedAsStandard_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("selected");
    QTest::addRow("plain") << 200 << false;
    QTest::addRow("selected") << 200 << true;
    QTest::addRow("narrow, elided by the style") << 30 << false;
}

void TestPlaylist::ordinaryRowPaintedAsStandard()
{
    QFETCH(int, width);
    QFETCH(bool, selected);
    SongModel model;
    fill(model, 2);
    model.setNowPlaying(1);
    const QModelIndex index = model.index(0, SongModel::Title);
    const QStyleOptionViewItem option = cellOption(width, selected, QPalette::Active);

    const QImage painted = render(PlaylistItemDelegate(), option, index);

    QCOMPARE(painted, render(QStyledItemDelegate(), option, index));
}

void TestPlaylist::nowPlayingRow_data()
{
    QTest::addColumn<QColor>("npColor");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<int>("group");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QString>("shownText");
    const int wide = 200;
    const auto active = int(QPalette::Active);
    const QColor blue(0, 0, 200);
    QTest::addRow("initial colour")
            << QColor() << wide << false << active << initialNpColor << "Song 0";
    QTest::addRow("chosen colour") << blue << wide << false << active << blue << "Song 0";
    QTest::addRow("selected: highlight")
            << blue << wide << true << active << QColor(20, 200, 20) << "Song 0";
    QTest::addRow("selected in an inactive window")
            << blue << wide << true << int(QPalette::Inactive) << QColor(20, 20, 200) << "Song 0";
    const QFontMetrics metrics = imageMetrics(expectedNowPlayingFont());
    QTest::addRow("too narrow for a character")
            << blue << widthForBudget(metrics, 1) - 1 << false << active << blue << "...";
}

void TestPlaylist::nowPlayingRow()
{
    QFETCH(QColor, npColor);
    QFETCH(int, width);
    QFETCH(bool, selected);
    QFETCH(int, group);
    QFETCH(QColor, background);
    QFETCH(QString, shownText);
    SongModel model;
    fill(model, 1);
    model.setNowPlaying(0);
    PlaylistItemDelegate delegate;
    if (npColor.isValid())
        delegate.setNpColor(npColor);
    const auto option = cellOption(width, selected, QPalette::ColorGroup(group));

    const QImage painted = render(delegate, option, model.index(0, SongModel::Title));

    QCOMPARE(painted.pixel(option.rect.topLeft()), background.rgb());
    QCOMPARE(painted.pixel(option.rect.bottomRight()), background.rgb());
    QCOMPARE(painted.pixel(option.rect.topLeft() - QPoint(1, 1)), outside);
    QCOMPARE(painted.pixel(option.rect.bottomRight() + QPoint(1, 1)), outside);
    QCOMPARE(painted, expectedNowPlaying(option.rect, background, shownText));
}

void TestPlaylist::elision_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("shown");
    const QFontMetrics metrics = imageMetrics(expectedNowPlayingFont());
    const QString text = "abcdefgh";
    QTest::addRow("fits exactly") << text << widthForBudget(metrics, 8) << text;
    QTest::addRow("one character too long") << text << widthForBudget(metrics, 7) << "abcdef...";
    QTest::addRow("partial character truncated")
            << text << widthForBudget(metrics, 8) - 1 << "abcdef...";
    QTest::addRow("budget of one") << text << widthForBudget(metrics, 1) << "...";
    QTest::addRow("budget of zero") << text << widthForBudget(metrics, 1) - 1 << "...";
    QTest::addRow("negative budget") << text << 0 << "...";
    QTest::addRow("empty text") << "" << widthForBudget(metrics, 5) << "";
    QTest::addRow("surrogate pair kept whole")
            << QString::fromUtf8("ab\U0001F600cd") << widthForBudget(metrics, 4) << "ab...";
}

void TestPlaylist::elision()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, shown);
    const QFontMetrics metrics = imageMetrics(expectedNowPlayingFont());
    QVERIFY(metrics.averageCharWidth() > 0);
    QCOMPARE(PlaylistItemDelegate::elideNowPlayingText(text, metrics, width), shown);
}

TUNELOOM_TEST_MAIN(TestPlaylist)
