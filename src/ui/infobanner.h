// InfoBanner: non-modal notices over the bottom of the main window. Each
// message closes itself after its timeout; messages that arrive while others
// are shown are stacked, so none is lost. Child of the main window; GUI thread.
#ifndef INFOBANNER_H
#define INFOBANNER_H

#include <QWidget>

class QVBoxLayout;

class InfoBanner : public QWidget
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 3000;

    explicit InfoBanner(QWidget *window);

    void showMessage(const QString &message, int timeoutMs = DefaultTimeoutMs);
    QStringList visibleMessages() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeOverWindow();

    QVBoxLayout *layout = nullptr;
};

#endif
