#include "core/searchtext.h"

#include <algorithm>
#include <string_view>

namespace {

bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

}  // namespace

QByteArray SearchText::fold(const QString &text)
{
    // Most tags are plain ASCII: lower them without the Unicode tables.
    if (isAscii(text)) {
        QByteArray folded = text.toLatin1();
        for (char &c : folded)
            c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        return folded;
    }
    // Compatibility decomposition splits "ö" into "o" and a combining mark.
    QString decomposed = text.normalized(QString::NormalizationForm_KD);
    decomposed.removeIf([](QChar c) { return c.category() == QChar::Mark_NonSpacing; });
    return decomposed.toCaseFolded().toUtf8();
}

QList<QByteArray> SearchText::words(const QString &typed)
{
    QList<QByteArray> folded;
    for (const QString &word : typed.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QByteArray text = fold(word);
        if (!text.isEmpty())
            folded << text;
    }
    return folded;
}

bool SearchText::contains(const QByteArray &text, const QByteArray &word)
{
    // UTF-8 is self-synchronising: a byte match is a character match.
    return std::string_view(text.constData(), size_t(text.size()))
                   .find(std::string_view(word.constData(), size_t(word.size())))
            != std::string_view::npos;
}

bool SearchText::containsAll(const QByteArray &text, const QList<QByteArray> &words)
{
    return std::all_of(words.cbegin(), words.cend(),
                       [&text](const QByteArray &word) { return contains(text, word); });
}

bool SearchText::narrows(const QList<QByteArray> &narrower, const QList<QByteArray> &wider)
{
    return std::all_of(wider.cbegin(), wider.cend(), [&narrower](const QByteArray &word) {
        return std::any_of(narrower.cbegin(), narrower.cend(),
                           [&word](const QByteArray &longer) { return contains(longer, word); });
    });
}
