#include "ui/connectdialog.h"
#include "ui_connectdialog.h"

ConnectDialog::ConnectDialog(QWidget *parent) : QDialog(parent), ui(new Ui_ConnectDialog)
{
    ui->setupUi(this);
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

void ConnectDialog::changeEvent(QEvent *e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
