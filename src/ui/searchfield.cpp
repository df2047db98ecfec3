#include "ui/searchfield.h"

#include <QAction>
#include <QLineEdit>

void SearchField::installKeys(QLineEdit *field, QWidget *page)
{
    // A window shortcut of a page works only while that page is shown.
    auto *find = new QAction(field);
    find->setShortcut(QKeySequence::Find);
    page->addAction(find);
    QObject::connect(find, &QAction::triggered, field, [field] {
        field->setFocus(Qt::ShortcutFocusReason);
        field->selectAll();
    });
    auto *clear = new QAction(field);
    clear->setShortcut(QKeySequence(Qt::Key_Escape));
    clear->setShortcutContext(Qt::WidgetShortcut);
    field->addAction(clear);
    QObject::connect(clear, &QAction::triggered, field, &QLineEdit::clear);
}
