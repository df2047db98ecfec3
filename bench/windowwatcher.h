// WindowWatcher: watches a MainWindow from outside through an application event
// filter, with no help from the window's code: when it is first shown, when the
// collection tab is enabled again with "Collection built succesfully!" on the
// banner, and how late a 10 ms timer of its own ticks. Lives in the GUI thread of a benchmark probe.
#ifndef WINDOWWATCHER_H
#define WINDOWWATCHER_H

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class WindowWatcher : public QObject
{
    Q_OBJECT

public:
    explicit WindowWatcher(QObject *parent = nullptr);

    static qint64 monotonicNs();

    qint64 shownNs() const { return shown; }
    qint64 builtNs() const { return built; }
    // Longest gaps seen so far; counting stops with stopGapCounting().
    double longestTickGapMs() const { return longestTickGap / 1e6; }
    // Also stops the timer, so it adds nothing to an idle window's CPU time.
    void stopTickCounting()
    {
        countTicks = false;
        ticker.stop();
    }
    // Counts tick gaps afresh from now on.
    void restartTickCounting()
    {
        longestTickGap = 0;
        lastTick = 0;
        countTicks = true;
        ticker.start();
    }

signals:
    void collectionBuilt();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onTick();
    bool collectionShownAsBuilt(QObject *tab) const;

    QTimer ticker;
    qint64 shown = 0;
    qint64 built = 0;
    qint64 lastTick = 0;
    qint64 longestTickGap = 0;
    bool countTicks = true;
};

#endif
