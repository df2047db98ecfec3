#include "windowfixture.h"

#include "infobanner.h"
#include "settingsstore.h"
#include "testlibrary.h"

#include <QGroupBox>
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

bool connectAndWaitForCollection(MainWindow *window, const QString &host, int port,
                                 const QString &password)
{
    if (!window->connectMPD(host, port, password))
        return false;
    const auto *collectionTab = window->findChild<QWidget *>(QStringLiteral("tabCollection"));
    return QTest::qWaitFor([collectionTab] { return collectionTab->isEnabled(); },
                           BuildTimeoutMs);
}

}  // namespace WindowTesting
