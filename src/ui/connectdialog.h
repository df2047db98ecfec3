// ConnectDialog: asks for the host, port and password of an MPD server, and
// whether to connect to it automatically at start. Created by the main window
// for one connection attempt; GUI thread.
#ifndef CONNECTDIALOG_H
#define CONNECTDIALOG_H

#include <QDialog>

#include <memory>

class Ui_ConnectDialog;

class ConnectDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConnectDialog(QWidget *parent = nullptr);
    ~ConnectDialog() override;

    QString getHost() const;
    int getPort() const;
    QString getPasswd() const;
    bool getAutoconnect() const;

protected:
    void changeEvent(QEvent *e) override;

private:
    std::unique_ptr<Ui_ConnectDialog> ui;
};

#endif
