// ListingAnswer: collects the lines of one "listallinfo" or "lsinfo" answer into
// a libmpd song list, field for field what libmpd's own parser makes of the same
// lines, so that everything downstream of the listing decodes exactly as before.
// Fed by CollectionSource in the collection builder's listing thread.
#ifndef LISTINGANSWER_H
#define LISTINGANSWER_H

#include <QByteArray>
#include <QList>

typedef struct _MpdData MpdData;
typedef struct _mpd_Song mpd_Song;

class ListingAnswer
{
public:
    ListingAnswer() = default;
    // Frees the songs nobody took.
    ~ListingAnswer();
    ListingAnswer(const ListingAnswer &) = delete;
    ListingAnswer &operator=(const ListingAnswer &) = delete;

    // One "name: value" line of the answer, in order.
    void add(const char *name, const char *value);
    // The songs in listing order (null when there were none); the caller frees them.
    MpdData *takeSongs();
    int songCount() const { return songsAdded; }
    // The song's Last-Modified time in seconds since the epoch, which the listing keeps in the
    // entry's client data (libmpd's song has no field for it); 0 when the server sent none.
    static qint64 lastModifiedOf(const MpdData *entry);
    const QList<QByteArray> &subdirectories() const { return directories; }

private:
    MpdData *last = nullptr;
    mpd_Song *song = nullptr;  // the one the lines are about; null after a directory
    int songsAdded = 0;
    QList<QByteArray> directories;
};

#endif
