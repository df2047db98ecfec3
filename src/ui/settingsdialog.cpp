#include "ui/settingsdialog.h"

#include "lastfm/md5.h"
#include "ui_settingsdialog.h"

#include <QColorDialog>
#include <QEvent>
#include <QPixmap>

namespace {

const int COLOR_ICON_SIZE = 16;

}  // namespace

SettingsDialog::SettingsDialog(QWidget *parent) : QDialog(parent), ui(new Ui::SettingsDialog)
{
    ui->setupUi(this);
    connect(ui->btnColor, &QPushButton::clicked, this, &SettingsDialog::onBtnColor);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::setInitialValues(const QString &user, bool delArt, const QColor &npColor)
{
    lfmUser = user;
    ui->lineLFMUser->setText(user);
    this->delArt = delArt;
    ui->checkDelArt->setChecked(delArt);
    this->npColor = npColor;
    showColor();
}

void SettingsDialog::setInitialValues(const QString &user, bool delArt, const QColor &npColor,
                                      bool trayNote)
{
    this->trayNote = trayNote;
    ui->checkTraynote->setChecked(trayNote);
    setInitialValues(user, delArt, npColor);
}

QString SettingsDialog::getLFMUser()
{
    lfmUser = ui->lineLFMUser->text();
    return lfmUser;
}

QString SettingsDialog::getLFMHash()
{
    lfmHash = calculateHash(ui->lineLFMPasswd->text());
    return lfmHash;
}

bool SettingsDialog::getDelArt()
{
    delArt = ui->checkDelArt->isChecked();
    return delArt;
}

bool SettingsDialog::getTrayNote()
{
    trayNote = ui->checkTraynote->isChecked();
    return trayNote;
}

QColor SettingsDialog::getNpCol() const
{
    return npColor;
}

void SettingsDialog::setApiKey(const QString &key)
{
    ui->lineLFMApiKey->setText(key);
}

QString SettingsDialog::getApiKey() const
{
    return ui->lineLFMApiKey->text().trimmed();
}

void SettingsDialog::setLyricsSources(const QString &serviceUrl, const QString &musicFolder)
{
    ui->lineLyricsUrl->setText(serviceUrl);
    ui->lineMusicFolder->setText(musicFolder);
}

QString SettingsDialog::getLyricsUrl() const
{
    return ui->lineLyricsUrl->text().trimmed();
}

QString SettingsDialog::getMusicFolder() const
{
    return ui->lineMusicFolder->text().trimmed();
}

QString SettingsDialog::calculateHash(const QString &password)
{
    if (password.isEmpty())
        return QString();

    QByteArray bytes = password.toLatin1();
    const qsizetype end = bytes.indexOf('\0');
    if (end >= 0)
        bytes.truncate(end);

    md5_state_t state;
    unsigned char digest[16];
    md5_init(&state);
    md5_append(&state, reinterpret_cast<const unsigned char *>(bytes.constData()),
               int(bytes.size()));
    md5_finish(&state, digest);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), 16).toHex());
}

void SettingsDialog::onBtnColor()
{
    const QColor chosen = QColorDialog::getColor(npColor, this);
    if (chosen.isValid())
        npColor = chosen;
    showColor();
}

void SettingsDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

void SettingsDialog::showColor()
{
    QPixmap swatch(COLOR_ICON_SIZE, COLOR_ICON_SIZE);
    swatch.fill(npColor);
    ui->btnColor->setIcon(QIcon(swatch));
}
