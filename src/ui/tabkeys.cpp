#include "ui/tabkeys.h"

#include <QShortcut>
#include <QTabWidget>

namespace TabKeys {

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
}

}  // namespace TabKeys
