#include "windowfixture.h"

#include <QSignalSpy>
#include "ui/busyindicator.h"
#include "ui/connectioncontroller.h"
#include "core/serverconnection.h"

#include <QApplication>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QTest>

constexpr int BuildTimeoutMs = 120000;

ModalCloser::ModalCloser(std::function<void(QDialog *)> handler) : handler(std::move(handler))
{
    connect(&timer, &QTimer::timeout, this, [this] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        auto *box = qobject_cast<QMessageBox *>(dialog);
        texts << (box ? box->text() : dialog->windowTitle());
        this->handler && !box ? this->handler(dialog) : dialog->reject();
    });
    timer.start(30);
}

WindowFixture::WindowFixture(const MpdFixture::Options &options) : server(options)
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", 9));
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
    const auto *panel = widget<QGroupBox>("nowplayingGroup");
    return WindowTesting::connectAndWaitForCollection(window.get(), mpd.host(), mpd.port(), password)
            && QTest::qWaitFor([panel] { return QStringList({"Now playing", "Paused", "Stopped"}).contains(panel->title()); }, 10000)
            && settle();
}

bool WindowFixture::settle() const
{
    return WindowTesting::settle(window.get());
}

QStringList WindowFixture::close()
{
    window.reset();
    const auto gone = std::move(closer);
    return gone ? gone->texts : QStringList();
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
    QCOMPARE(rows("playlistTableview"), QStringList());
    // The released connection goes with the next turn of the event loop; retries raise no boxes.
    QTRY_VERIFY_WITH_TIMEOUT(window->findChildren<ServerConnection *>().isEmpty(), 5000);
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
    QTRY_VERIFY_WITH_TIMEOUT(widget("controlFrame")->isEnabled(), 15000);
    QVERIFY(bannerShows("Connected to MPD succesfully!"));
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<BusyIndicator *>()->isRunning(), BuildTimeoutMs);
    QCOMPARE(closer->texts, QStringList{"Connect"}); // and no box during the build
}

QStringList WindowFixture::rows(const QAbstractItemModel *model, int column, int role)
{
    QStringList texts;
    for (int row = 0; model && row < model->rowCount(); ++row)
        texts << model->index(row, column).data(role).toString();
    return texts;
}

bool WindowFixture::click(QAbstractItemView *view, int row, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex index = view->model()->index(row, 0);
    if (!index.isValid())
        return false;
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
    return true;
}

bool WindowTesting::connectWindow(MainWindow *window, const QString &host, int port, const QString &password)
{
    QSignalSpy ready(WindowTesting::controller(window), &ConnectionController::connectionReady);
    window->connectMPD(host, port, password);
    return ready.wait(15000);
}

bool WindowTesting::connectAndWaitForCollection(MainWindow *window, const QString &host, int port, const QString &password)
{
    const auto *collectionTab = window->findChild<QWidget *>("tabCollection");
    return connectWindow(window, host, port, password)
            && QTest::qWaitFor([collectionTab] { return collectionTab->isEnabled(); }, BuildTimeoutMs);
}

ConnectionController *WindowTesting::controller(const MainWindow *window)
{
    return window->findChild<ConnectionController *>();
}

ServerConnection *WindowTesting::connection(const MainWindow *window)
{
    return controller(window)->connection();
}

bool WindowTesting::settle(const MainWindow *window)
{
    ServerConnection *live = connection(window);
    if (!live)
        return true;
    // Jobs run in order, and each delivers its changes before the next begins.
    bool done = false;
    QObject context;
    live->ask(&context, [](Qmpd &) { return true; }, [&done](bool) { done = true; });
    return QTest::qWaitFor([&done] { return done; }, 10000);
}
