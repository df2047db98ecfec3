#include "collection/cachesongreader.h"

#include "collection/cachevalue.h"
#include "collection/collectionindex.h"
#include "collection/textblock.h"

using namespace CacheValue;

namespace {

const int songLineCount = 12;

// Track numbers: one or two digits, a few dozen values over the whole collection. Each text
// is made once and shared, which spares a string per song.
class TrackText
{
public:
    QString operator()(QByteArrayView line)
    {
        const QByteArrayView digits = withoutTab(line);
        const int slot = slotOf(digits);
        if (slot < 0)
            return text(digits);
        if (texts[slot].isNull())
            texts[slot] = text(digits);
        return texts[slot];
    }

private:
    // "0" to "9" are slots 0 to 9, "00" to "99" slots 10 to 109; anything else has none.
    static int slotOf(QByteArrayView digits)
    {
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        if (digits.size() == 1 && digit(digits[0]))
            return digits[0] - '0';
        if (digits.size() == 2 && digit(digits[0]) && digit(digits[1]))
            return 10 + (digits[0] - '0') * 10 + (digits[1] - '0');
        return -1;
    }

    QString texts[110];
};

// Reads consecutive records of one part of the file into their places in the list.
class SongRecords
{
public:
    SongRecords(CacheLineReader &in, QmpdSong *songs) : in(in), songs(songs) { }

    void read(qsizetype from, qsizetype to, AlbumSongPositions *positions)
    {
        for (qsizetype at = from; at < to; ++at) {
            readRecord(songs[at]);
            positions->add(songs[at], int(at));
        }
    }

private:
    void readRecord(QmpdSong &song)
    {
        song.artist = artistLine(in.readLine());
        song.album = albumLine(in.readLine());
        song.id = number(in.readLine(), "id error on line ");
        song.time = number(in.readLine(), "time error on line ");
        song.title = texts.keep(tabbedText(in.readLine()));
        song.track = trackLine(in.readLine());
        song.file = texts.keep(tabbedText(in.readLine()));
        song.date = dateLine(withoutTab(in.readLine()));
        song.lastModified = longNumber(in.readLine(), "modification time error on line ");
        song.albumArtist = albumArtistLine(withoutTab(in.readLine()));
        song.genre = genreLine(withoutTab(in.readLine()));
        song.composer = composerLine(withoutTab(in.readLine()));
    }

    CacheLineReader &in;
    QmpdSong *const songs;
    RepeatedText artistLine;
    RepeatedText albumLine;
    RepeatedText dateLine;
    RepeatedText albumArtistLine;
    RepeatedText genreLine;
    RepeatedText composerLine;
    TrackText trackLine;
    TextBlock texts;
};

}  // namespace

CacheSongReader::CacheSongReader(const QString &path)
    : earlier(path), helper([this] { readLaterHalf(); })
{ }

CacheSongReader::~CacheSongReader()
{
    if (helper.joinable())
        helper.join();
}

void CacheSongReader::readLaterHalf()
{
    // A last record cut short reads empty lines, as a reader going line by line does.
    const qsizetype records = (earlier.lineCount() + songLineCount - 1) / songLineCount;
    const qsizetype earlierRecords = records / 2;
    CacheLineReader later = earlier.splitAt(earlierRecords * songLineCount);
    songs.resize(records);
    QmpdSong *const first = songs.data();
    earlierHalf.set_value({first, earlierRecords});
    SongRecords(later, first).read(earlierRecords, records, &laterPositions);
}

void CacheSongReader::readInto(CollectionIndex *index)
{
    const EarlierHalf half = earlierHalf.get_future().get();
    AlbumSongPositions positions;
    SongRecords(earlier, half.songs).read(0, half.records, &positions);
    helper.join();
    positions.append(std::move(laterPositions));
    index->setSongs(std::move(songs), std::move(positions));
}
