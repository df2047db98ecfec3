#include "lyrics/lrcparser.h"

#include <QStringDecoder>
#include <QStringTokenizer>

#include <algorithm>
#include <optional>

namespace {

// An offset beyond an hour is a typo; the cap also keeps the sums far from overflowing.
constexpr qint64 MaxOffsetMs = 3600 * 1000;
constexpr int MaxKeyLength = 16;

struct Parsed
{
    QList<LyricsLine> timed;
    QStringList untimed;
    qint64 offsetMs = 0;
    bool full() const { return timed.size() + untimed.size() >= LrcParser::MaxLines; }
};

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The number of `min` to `max` digits at `pos`, which moves past them.
std::optional<int> readDigits(QStringView text, qsizetype &pos, int min, int max)
{
    int value = 0;
    int count = 0;
    for (; pos < text.size() && count < max && isAsciiDigit(text[pos]); ++pos, ++count)
        value = value * 10 + text[pos].digitValue();
    return count >= min ? std::optional(value) : std::nullopt;
}

// "mm:ss", with a fraction of one to three digits after "." (or ":", which some editors write).
std::optional<qint64> timeOf(QStringView tag)
{
    qsizetype pos = 0;
    const std::optional<int> minutes = readDigits(tag, pos, 1, 4);
    if (!minutes || pos >= tag.size() || tag[pos] != QLatin1Char(':'))
        return std::nullopt;
    const std::optional<int> seconds = readDigits(tag, ++pos, 1, 2);
    if (!seconds)
        return std::nullopt;
    qint64 ms = (*minutes * 60 + *seconds) * qint64(1000);
    if (pos == tag.size())
        return ms;
    if (tag[pos] != QLatin1Char('.') && tag[pos] != QLatin1Char(':'))
        return std::nullopt;
    const qsizetype start = ++pos;
    const std::optional<int> fraction = readDigits(tag, pos, 1, 3);
    if (!fraction || pos != tag.size())
        return std::nullopt;
    static constexpr int scale[] = {100, 10, 1};
    return ms + *fraction * scale[pos - start - 1];
}

// "ar:Someone", "offset:+250": a word, a colon, anything.
std::optional<QStringView> metadataKey(QStringView tag)
{
    const qsizetype colon = tag.indexOf(QLatin1Char(':'));
    if (colon < 1 || colon > MaxKeyLength)
        return std::nullopt;
    const QStringView key = tag.left(colon);
    const bool word = std::all_of(key.begin(), key.end(), [](QChar c) { return c.isLetter(); });
    return word ? std::optional(key) : std::nullopt;
}

qint64 offsetOf(QStringView value)
{
    bool ok = false;
    const qint64 ms = value.trimmed().left(12).toLongLong(&ok);
    return ok ? std::clamp(ms, -MaxOffsetMs, MaxOffsetMs) : 0;
}

void parseLine(QStringView line, Parsed &parsed)
{
    QList<qint64> times;
    qsizetype pos = 0;
    while (pos < line.size() && line[pos] == QLatin1Char('[')) {
        const qsizetype close = line.indexOf(QLatin1Char(']'), pos);
        if (close < 0)
            break;
        const QStringView tag = line.mid(pos + 1, close - pos - 1);
        if (const std::optional<qint64> ms = timeOf(tag)) {
            times << *ms;
            pos = close + 1;
            continue;
        }
        const std::optional<QStringView> key = times.isEmpty() ? metadataKey(tag) : std::nullopt;
        if (!key)
            break;  // "[Chorus]" and the like are words
        if (key->compare(QLatin1String("offset"), Qt::CaseInsensitive) == 0)
            parsed.offsetMs = offsetOf(tag.mid(key->size() + 1));
        return;
    }
    const QString text = line.mid(pos).trimmed().toString();
    if (times.isEmpty())
        parsed.untimed << text;
    for (qsizetype i = 0; i < times.size() && !parsed.full(); ++i)
        parsed.timed.append({times[i], text});
}

QString decoded(const QByteArray &bytes)
{
    // A BOM tells UTF-16 and UTF-32 apart, and is dropped; bad bytes become U+FFFD, a cut
    // sequence at the end too (Stateless: nothing is kept back for more input).
    QStringDecoder decoder(
            QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8),
            QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

QString joined(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n')).trimmed();
}

Lyrics synced(Parsed parsed)
{
    // An offset moves every line: a positive one shows it earlier.
    for (LyricsLine &line : parsed.timed)
        line.ms = std::max<qint64>(0, line.ms - parsed.offsetMs);
    std::stable_sort(parsed.timed.begin(), parsed.timed.end(),
                     [](const LyricsLine &a, const LyricsLine &b) { return a.ms < b.ms; });
    QStringList words;
    for (const LyricsLine &line : std::as_const(parsed.timed))
        words << line.text;
    return {parsed.timed, joined(words)};
}

}  // namespace

Lyrics LrcParser::parse(const QByteArray &bytes)
{
    const QString text = decoded(bytes.left(MaxBytes));
    Parsed parsed;
    for (const QStringView line : qTokenize(text, u'\n')) {
        if (parsed.full())
            break;
        parseLine(line, parsed);
    }
    if (!parsed.timed.isEmpty())
        return synced(std::move(parsed));
    return {{}, joined(parsed.untimed)};
}
