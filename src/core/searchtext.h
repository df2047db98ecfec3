// SearchText: the rule shared by the search fields. Texts are folded once (case
// and accents dropped, UTF-8), a search is the folded words of the field, and a
// text matches when it holds every word. Plain functions; any thread.
#ifndef SEARCHTEXT_H
#define SEARCHTEXT_H

#include <QByteArray>
#include <QList>
#include <QString>

namespace SearchText {

// Lower case without accents: "Mötley Crüe" folds to "motley crue".
QByteArray fold(const QString &text);
// The folded words of what the user typed; none for blank text.
QList<QByteArray> words(const QString &typed);
bool contains(const QByteArray &text, const QByteArray &word);
bool containsAll(const QByteArray &text, const QList<QByteArray> &words);
// Whether every text matching `narrower` also matches `wider`: each wider word
// lies inside some narrower word (typing on only ever narrows).
bool narrows(const QList<QByteArray> &narrower, const QList<QByteArray> &wider);

}  // namespace SearchText

#endif
