// The library statistics dialog against a real mpd: the numbers its "stats" reports.
#include "core/qmpdsong.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QFormLayout>
#include <QLabel>
#include <QMenuBar>

class TestLibraryStats : public QObject
{
    Q_OBJECT
    WindowFixture f;

private slots:
    void initTestCase() { QVERIFY2(f.startServer(), qPrintable(f.server.errorString())); }

    void statsDialog()
    {
        QStringList shown;
        QVERIFY(f.open([&shown](QDialog *dialog) {
            const auto *form = dialog->findChild<QFormLayout *>();
            for (int row = 0; form && row < form->rowCount(); ++row)
                for (const auto role : {QFormLayout::LabelRole, QFormLayout::FieldRole})
                    if (const QLayoutItem *item = form->itemAt(row, role))
                        if (const auto *label = qobject_cast<QLabel *>(item->widget()))
                            shown << label->text();
            dialog->reject();
        }));
        QVERIFY(f.connect());
        QHash<QString, qint64> stats;
        for (const QString &line : f.server.command("stats"))
            stats.insert(line.section(": ", 0, 0), line.section(": ", 1).toLongLong());
        QAction *action = nullptr;
        for (QAction *entry : f.widget<QMenu>("menuFile")->actions())
            action = entry->text() == "Library statistics..." ? entry : action;
        QVERIFY(action && action->isEnabled());
        action->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 5000);
        const QLocale locale;
        const QStringList expected = {
                "Artists", locale.toString(stats["artists"]), "Albums", locale.toString(stats["albums"]),
                "Songs", locale.toString(stats["songs"]), "Total play time", QmpdSong::formatHours(stats["db_playtime"]),
                "Last database update", locale.toString(QDateTime::fromSecsSinceEpoch(stats["db_update"]), QLocale::ShortFormat)};
        QCOMPARE(shown, expected);
        QCOMPARE(f.close(), QStringList{"Library statistics"});
    }
};

TUNELOOM_TEST_MAIN(TestLibraryStats)
#include "tst_librarystats.moc"
