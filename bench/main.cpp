// tuneloom-bench: without arguments, runs the whole benchmark and prints its
// tables; "probe ..." is one measured run, started by the benchmark itself.
#include "benchsuite.h"
#include "probe.h"

#include <QApplication>

int main(int argc, char **argv)
{
    Q_INIT_RESOURCE(systray);
    // Every window is measured off screen, so the figures do not depend on a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("probe"))
        return Probe::run(args.mid(1));
    BenchSuite suite;
    return suite.run() ? 0 : 1;
}
