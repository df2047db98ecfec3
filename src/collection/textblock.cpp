#include "collection/textblock.h"

#include <algorithm>

namespace {

// 512 KiB: a few dozen blocks for a big collection, and little kept alive by a
// handful of songs that outlive their collection.
const qsizetype blockUnits = 256 * 1024;

}  // namespace

QString TextBlock::keep(const QString &text)
{
    if (text.isEmpty())
        return text;
    // Each copy ends in a null character, as every QString's data does.
    const qsizetype units = text.size() + 1;
    if (units > room)
        startBlock(std::max(blockUnits, units));
    std::copy_n(reinterpret_cast<const char16_t *>(text.constData()), text.size(), next);
    next[text.size()] = u'\0';
    // A copy of the block's data pointer is one more owner of the block. Pointed at
    // the copy's characters it is a string of its own: like any shared string, it
    // copies itself out before a change while the block has other owners.
    QString::DataPointer shared = std::as_const(block).data_ptr();
    shared.ptr = next;
    shared.size = text.size();
    next += units;
    room -= units;
    return QString(std::move(shared));
}

void TextBlock::startBlock(qsizetype units)
{
    block = QString(units, Qt::Uninitialized);
    // The only owner yet: data() does not copy.
    next = reinterpret_cast<char16_t *>(block.data());
    room = units;
}
