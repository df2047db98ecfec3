#include "windowfixture.h"

#include <QSignalSpy>

#include "infobanner.h"
#include "settingsstore.h"
#include "testlibrary.h"

#include "busyindicator.h"
#include "qmpd.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

namespace {
constexpr int BuildTimeoutMs = 120000;
}

bool WindowFixture::startServer()
{
    return library.isValid() && TestLibrary::generate(library.path())
            && server.start(library.path());
}

bool WindowFixture::resetHome()
{
    return QDir(SettingsStore::directory()).removeRecursively();
}

bool WindowFixture::open(std::function<void(QDialog *)> dialogHandler)
{
    window.reset();
    if ((!server.isRunning() && !server.restart()) || !server.resetState())
        return false;
    closer = std::make_unique<ModalCloser>(std::move(dialogHandler));
    window = std::make_unique<MainWindow>();
    return true;
}

bool WindowFixture::connect(const MpdFixture &mpd, const QString &password)
{
    if (!WindowTesting::connectAndWaitForCollection(window.get(), mpd.host(), mpd.port(),
                                                    password))
        return false;
    const auto *panel = widget<QGroupBox>("nowplayingGroup");
    return QTest::qWaitFor(
            [panel] {
                return QStringList({"Now playing", "Paused", "Stopped"}).contains(panel->title());
            },
            10000);
}

QStringList WindowFixture::close()
{
    window.reset();
    const QStringList texts = closer ? closer->texts : QStringList();
    closer.reset();
    return texts;
}

void WindowFixture::verifyReconnectingWithoutBox() const
{
    QTRY_VERIFY_WITH_TIMEOUT(!widget("controlFrame")->isEnabled(), 10000);
    QCOMPARE(closer->texts, QStringList());
    QVERIFY(bannerShows("Reconnecting to MPD..."));
    QCOMPARE(widget<QGroupBox>("nowplayingGroup")->title(), "Reconnecting to MPD...");
    // Left on: it stops the retries.
    QVERIFY(widget<QAction>("actionDisconnect")->isEnabled());
    QVERIFY(!widget("tabWidget")->isEnabled());
    QCOMPARE(widget<QTableView>("playlistTableview")->model()->rowCount(), 0);
    // The released connection goes with the next turn of the event loop; retries raise no boxes.
    QTRY_VERIFY_WITH_TIMEOUT(Qmpd::static_this == nullptr, 5000);
    QVERIFY(!QTest::qWaitFor([this] { return !closer->texts.isEmpty(); }, 1500));
}

void WindowFixture::reconnectFromDialog(MpdFixture &mpd)
{
    QVERIFY2(mpd.isRunning() || mpd.restart(), qPrintable(mpd.errorString()));
    closer = std::make_unique<ModalCloser>([&mpd](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineHost")->setText(mpd.host());
        dialog->findChild<QSpinBox *>("spinPort")->setValue(mpd.port());
        dialog->findChild<QCheckBox *>("checkBox")->setChecked(false);
        dialog->accept();
    });
    widget<QAction>("actionOther")->trigger();
    QCOMPARE(closer->texts, QStringList{"Connect"});
    QVERIFY(widget("controlFrame")->isEnabled());
    QVERIFY(bannerShows("Connected to MPD succesfully!"));
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<BusyIndicator *>()->isRunning(), BuildTimeoutMs);
    QCOMPARE(closer->texts.size(), 1);
}

QStringList WindowFixture::banners() const
{
    return window->findChild<InfoBanner *>()->visibleMessages();
}

QStringList WindowFixture::rows(const QAbstractItemModel *model, int column, int role)
{
    QStringList texts;
    for (int row = 0; model && row < model->rowCount(); ++row)
        texts << model->index(row, column).data(role).toString();
    return texts;
}

QStringList WindowFixture::rows(const char *view, int column, int role) const
{
    return rows(widget<QAbstractItemView>(view)->model(), column, role);
}

bool WindowFixture::click(QAbstractItemView *view, int row, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex index = view->model()->index(row, 0);
    if (!index.isValid())
        return false;
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      view->visualRect(index).center());
    return true;
}

bool WindowFixture::click(const char *view, const QString &text,
                          Qt::KeyboardModifiers modifiers) const
{
    const int row = int(rows(view).indexOf(text));
    return row >= 0 && click(widget<QAbstractItemView>(view), row, modifiers);
}

namespace WindowTesting {

bool connectWindow(MainWindow *window, const QString &host, int port, const QString &password)
{
    QSignalSpy ready(window, &MainWindow::connectionReady);
    window->connectMPD(host, port, password);
    return ready.wait(15000);
}

bool connectAndWaitForCollection(MainWindow *window, const QString &host, int port,
                                 const QString &password)
{
    if (!connectWindow(window, host, port, password))
        return false;
    const auto *collectionTab = window->findChild<QWidget *>(QStringLiteral("tabCollection"));
    return QTest::qWaitFor([collectionTab] { return collectionTab->isEnabled(); },
                           BuildTimeoutMs);
}

}  // namespace WindowTesting
