// SearchField: the keys the search fields share: Ctrl+F on the field's tab page
// focuses the field, Esc in the field clears it. The actions belong to the field.
#ifndef SEARCHFIELD_H
#define SEARCHFIELD_H

class QLineEdit;
class QWidget;

namespace SearchField {

void installKeys(QLineEdit *field, QWidget *page);

}  // namespace SearchField

#endif
