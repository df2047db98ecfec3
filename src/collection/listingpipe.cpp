#include "collection/listingpipe.h"

#include <QMutexLocker>

#include <libmpd/libmpd.h>

ListingPipe::~ListingPipe()
{
    for (MpdData *listing : listings)
        mpd_data_free(listing);
}

bool ListingPipe::push(MpdData *listing)
{
    QMutexLocker lock(&mutex);
    while (!stopped && listings.size() >= capacity)
        changed.wait(&mutex);
    if (stopped) {
        lock.unlock();
        if (listing)
            mpd_data_free(listing);
        return false;
    }
    if (listing)
        listings.push_back(listing);
    changed.wakeAll();
    return true;
}

void ListingPipe::close()
{
    QMutexLocker lock(&mutex);
    closed = true;
    changed.wakeAll();
}

MpdData *ListingPipe::pop()
{
    QMutexLocker lock(&mutex);
    while (!stopped && !closed && listings.empty())
        changed.wait(&mutex);
    if (stopped || listings.empty())
        return nullptr;
    MpdData *listing = listings.front();
    listings.pop_front();
    changed.wakeAll();
    return listing;
}

void ListingPipe::stop()
{
    QMutexLocker lock(&mutex);
    stopped = true;
    changed.wakeAll();
}

bool ListingPipe::isStopped() const
{
    QMutexLocker lock(&mutex);
    return stopped;
}
