#include "ui/tabnavigation.h"

#include "core/settingsstore.h"

#include <QShortcut>
#include <QTabWidget>

namespace TabNavigation {

void install(QTabWidget *tabs)
{
    static constexpr Qt::Key digits[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5};
    for (int tab = 0; tab < int(std::size(digits)); ++tab) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | digits[tab]), tabs);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, tabs, [tabs, tab] {
            if (tabs->isTabEnabled(tab))
                tabs->setCurrentIndex(tab);
        });
    }
    // By name: the order of the tabs may change between versions.
    const QString last = SettingsStore()->value(SettingsKey::AppTab).toString();
    if (QWidget *page = last.isEmpty() ? nullptr : tabs->findChild<QWidget *>(last))
        tabs->setCurrentWidget(page);
}

void save(const QTabWidget *tabs)
{
    if (const QWidget *page = tabs->currentWidget())
        SettingsStore()->setValue(SettingsKey::AppTab, page->objectName());
}

}  // namespace TabNavigation
