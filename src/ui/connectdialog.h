// ConnectDialog: asks for the server to connect to: one of the kept servers, one announced on the
// network, or a host (or socket) typed in with port and password, and whether to connect to it
// automatically at start. Kept servers can be removed here. Created by the connection controller
// for one connection attempt; GUI thread.
#ifndef CONNECTDIALOG_H
#define CONNECTDIALOG_H

#include "servers/serverlist.h"

#include <QDialog>

#include <memory>

class AvahiBrowser;
class Ui_ConnectDialog;

class ConnectDialog : public QDialog
{
    Q_OBJECT

public:
    ConnectDialog(const ServerList &servers, QWidget *parent = nullptr);
    ~ConnectDialog() override;

    QString getHost() const;
    int getPort() const;
    QString getPasswd() const;
    bool getAutoconnect() const;
    // The server the fields describe.
    SavedServer getServer() const;
    // The kept servers, less those removed here; whether any was.
    const ServerList &getServers() const { return servers; }
    bool serversRemoved() const { return removed; }

protected:
    void changeEvent(QEvent *e) override;

private:
    void showSaved();
    void showFound();
    void onSavedChosen(int row);
    void onFoundChosen(int row);
    void onRemove();
    void fill(const QString &name, const ServerAddress &address, bool autoconnect);

    std::unique_ptr<Ui_ConnectDialog> ui;
    ServerList servers;
    AvahiBrowser *browser;
    bool removed = false;
};

#endif
