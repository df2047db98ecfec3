// ListingPipe: hands the libmpd listings of a collection build, whole and in
// order, from the thread that talks to the server to the thread that indexes
// them, so that the server prepares the next listing while the last one is
// being indexed. Bounded, so a slow indexer holds back the listing instead of
// piling up memory. Owned by CollectionBuilder::buildFromServer; used by those
// two threads. Only the lists cross threads, never the connection object.
#ifndef LISTINGPIPE_H
#define LISTINGPIPE_H

#include <QMutex>
#include <QWaitCondition>

#include <deque>

typedef struct _MpdData MpdData;

class ListingPipe
{
public:
    ListingPipe() = default;
    // Frees the listings nobody took.
    ~ListingPipe();
    ListingPipe(const ListingPipe &) = delete;
    ListingPipe &operator=(const ListingPipe &) = delete;

    // Producer: passes the listing on (the pipe owns it from here); waits while
    // the pipe is full. False once the consumer has stopped: the listing is freed.
    bool push(MpdData *listing);
    // Producer: no more listings.
    void close();

    // Consumer: the next listing (the caller frees it), or null once the pipe
    // is closed and empty; waits for the producer meanwhile.
    MpdData *pop();
    // Consumer: takes no more listings (an interrupted build).
    void stop();
    bool isStopped() const;

private:
    static constexpr std::size_t capacity = 16;

    mutable QMutex mutex;
    QWaitCondition changed;
    std::deque<MpdData *> listings;
    bool closed = false;
    bool stopped = false;
};

#endif
