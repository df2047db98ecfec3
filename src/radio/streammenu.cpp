#include "radio/streammenu.h"

#include "core/serverconnection.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>

StreamMenu::StreamMenu(QMenu *fileMenu, QAction *before, QWidget *window)
    : QObject(window), window(window), action(new QAction(tr("Add stream…"), fileMenu))
{
    fileMenu->insertAction(before, action);
    action->setObjectName(QStringLiteral("actionAddStream"));
    action->setEnabled(false);
    connect(action, &QAction::triggered, this, &StreamMenu::onAddStream);
}

QString StreamMenu::addressProblem(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return tr("A stream's address begins with http:// or https://, then the server's name.");
    return QString();
}

void StreamMenu::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    action->setEnabled(true);
}

void StreamMenu::onConnectionClosed()
{
    server = nullptr;
    action->setEnabled(false);
}

void StreamMenu::onAddStream()
{
    QDialog dialog(window);
    dialog.setWindowTitle(tr("Add stream"));
    auto *address = new QLineEdit(&dialog);
    address->setObjectName(QStringLiteral("streamAddress"));
    address->setPlaceholderText(QStringLiteral("https://"));
    auto *keep = new QCheckBox(tr("Keep in the \"Radio\" playlist"), &dialog);
    keep->setObjectName(QStringLiteral("keepInRadio"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *form = new QFormLayout(&dialog);
    form->addRow(tr("Address:"), address);
    form->addRow(keep);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString text = address->text().trimmed();
    const QString problem = addressProblem(text);
    if (!problem.isEmpty()) {
        QMessageBox::warning(window, tr("Add stream"), problem);
        return;
    }
    add(text, keep->isChecked());
}

void StreamMenu::add(const QString &address, bool keep)
{
    if (!server)
        return;
    server->ask(
            this,
            [address, keep](Qmpd &q) {
                return q.addStream(address)
                        && (!keep || q.addToStoredPlaylist(QLatin1String(RadioPlaylist), address));
            },
            [this](bool added) {
                if (added)
                    emit message(tr("Stream added"));
            });
}
