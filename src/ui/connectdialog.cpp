#include "ui/connectdialog.h"
#include "ui_connectdialog.h"

#include "servers/avahibrowser.h"

ConnectDialog::ConnectDialog(const ServerList &servers, QWidget *parent)
    : QDialog(parent), ui(new Ui_ConnectDialog), servers(servers), browser(new AvahiBrowser())
{
    ui->setupUi(this);
    browser->setParent(this);
    ui->lineName->setPlaceholderText(tr("Name it to keep it in the list"));
    showSaved();
    // Not the list: focus there would choose its first server and fill the fields in.
    ui->lineHost->setFocus();
    connect(ui->serverList, &QListWidget::currentRowChanged, this, &ConnectDialog::onSavedChosen);
    connect(ui->foundList, &QListWidget::currentRowChanged, this, &ConnectDialog::onFoundChosen);
    connect(ui->removeServerButton, &QPushButton::clicked, this, &ConnectDialog::onRemove);
    connect(browser, &AvahiBrowser::serversChanged, this, &ConnectDialog::showFound);
    browser->start();
}

ConnectDialog::~ConnectDialog() = default;

QString ConnectDialog::getHost() const
{
    return ui->lineHost->text().trimmed();
}

int ConnectDialog::getPort() const
{
    // A text that is not a number counts as port 0.
    return ui->spinPort->text().toInt();
}

QString ConnectDialog::getPasswd() const
{
    return ui->linePassword->text().trimmed();
}

bool ConnectDialog::getAutoconnect() const
{
    return ui->checkBox->checkState() == Qt::Checked;
}

SavedServer ConnectDialog::getServer() const
{
    ServerAddress address{getHost(), getPort(), getPasswd()};
    if (address.isSocket())
        address.port = 0;
    return {ui->lineName->text().trimmed(), address, getAutoconnect(), QString()};
}

void ConnectDialog::showSaved()
{
    ui->serverList->clear();
    for (const SavedServer &server : servers.servers())
        ui->serverList->addItem(server.caption());
    ui->removeServerButton->setEnabled(false);
}

void ConnectDialog::showFound()
{
    ui->foundList->clear();
    for (const FoundServer &server : browser->servers())
        ui->foundList->addItem(tr("%1 (%2:%3)").arg(server.name, server.host).arg(server.port));
}

void ConnectDialog::onSavedChosen(int row)
{
    ui->removeServerButton->setEnabled(row >= 0);
    if (row < 0 || row >= servers.servers().size())
        return;
    const SavedServer &server = servers.servers().at(row);
    fill(server.name, server.address, server.autoconnect);
}

void ConnectDialog::onFoundChosen(int row)
{
    if (row < 0 || row >= browser->servers().size())
        return;
    const FoundServer &server = browser->servers().at(row);
    fill(server.name, {server.host, server.port, QString()}, false);
}

void ConnectDialog::onRemove()
{
    servers.remove(ui->serverList->currentRow());
    removed = true;
    showSaved();
}

void ConnectDialog::fill(const QString &name, const ServerAddress &address, bool autoconnect)
{
    ui->lineName->setText(name);
    ui->lineHost->setText(address.host);
    ui->spinPort->setValue(address.port);
    ui->linePassword->setText(address.password);
    ui->checkBox->setChecked(autoconnect);
}

void ConnectDialog::changeEvent(QEvent *e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
