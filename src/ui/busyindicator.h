// BusyIndicator: a small spinner in the corner of the main window's tab bar that
// turns while background work (a collection build) runs and hides otherwise.
// Child of the main window; GUI thread.
#ifndef BUSYINDICATOR_H
#define BUSYINDICATOR_H

#include <QTimer>
#include <QWidget>

class BusyIndicator : public QWidget
{
    Q_OBJECT

public:
    explicit BusyIndicator(QWidget *parent = nullptr);

    void start();
    void stop();
    bool isRunning() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void advance();

    QTimer timer;
    int step = 0;
};

#endif
