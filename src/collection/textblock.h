// TextBlock: keeps copies of many short texts in a few big blocks of memory, each
// copy a QString that shares its block. A collection holds two unique texts a song
// (title and file); one by one they cost a heap allocation and its overhead each,
// and touching that much fresh memory is most of a cache load. A block lives while
// any of its texts does. Filled by one thread; the texts are plain QStrings, except
// that isSharedWith() holds for any two of one block: never compare them that way.
#ifndef TEXTBLOCK_H
#define TEXTBLOCK_H

#include <QString>

class TextBlock
{
public:
    // A copy of the text in the current block (a new one when it is full).
    QString keep(const QString &text);

private:
    void startBlock(qsizetype units);

    QString block;
    char16_t *next = nullptr;
    qsizetype room = 0;
};

#endif
