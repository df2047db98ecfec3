#include "core/songfacts.h"

void SongFacts::replace(QHash<QString, SongFact> newFacts, bool available)
{
    facts = std::move(newFacts);
    stickers = available;
    emit changed();
}
