// Hostile answers of the Last.fm service and the scrobbling handshake, from a local
// HTTP server.
#include "lastfmanswers.h"
#include "tst_badinput.h"

#include "badbytes.h"
#include "coverfetcher.h"
#include "scrobbler.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QtTest>

using LastfmAnswers::albumAnswer;
using LastfmAnswers::image;

namespace {

const QByteArray SERVICE = "/2.0/";
const QByteArray IMAGE_BYTES = LastfmAnswers::coverImage();

// Every file below HOME, hidden ones included.
QStringList homeFiles()
{
    QStringList files;
    QDirIterator it(QDir::homePath(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

std::optional<bool> fetchCover(const QUrl &service)
{
    CoverFetcher fetcher;
    fetcher.setServiceUrl(service);
    fetcher.setTimeout(3000);
    fetcher.setAlbumArtist(QStringLiteral("Artist"), QStringLiteral("Album"));
    QSignalSpy finished(&fetcher, &CoverFetcher::finished);
    fetcher.start();
    if (!QTest::qWaitFor([&] { return fetcher.isFinished(); }, 20000) || finished.count() != 1)
        return std::nullopt;
    return finished.first().first().toBool();
}

QStringList requestedPaths(const LocalHttpServer &http)
{
    QStringList paths;
    for (const LocalHttpServer::Request &request : http.requests())
        paths << QString::fromLatin1(request.path);
    return paths;
}

}  // namespace

void TestBadInput::coverFetchedOnlyOverHttp_data()
{
    QTest::addColumn<QByteArray>("address");  // "PORT" stands for the local server's port
    QTest::addColumn<QByteArray>("redirect");
    QTest::addColumn<bool>("fetched");

    const QByteArray local = "http://127.0.0.1:PORT";
    const QByteArray localFile = QUrl::fromLocalFile(QDir::homePath() + "/local.jpg").toEncoded();
    QTest::addRow("data: address")
            << QByteArray("data:image/png;base64,iVBORw0KGgo=") << QByteArray() << false;
    QTest::addRow("javascript: address")
            << QByteArray("javascript:alert(1)") << QByteArray() << false;
    QTest::addRow("relative address") << QByteArray("/cover.jpg") << QByteArray() << false;
    QTest::addRow("http without host") << QByteArray("http:///cover.jpg") << QByteArray() << false;
    QTest::addRow("upper-case FILE:")
            << QByteArray("FILE://") + localFile.mid(7) << QByteArray() << false;
    QTest::addRow("file: behind an entity")
            << QByteArray("&#102;ile://") + localFile.mid(7) << QByteArray() << false;
    QTest::addRow("file: in CDATA after blanks")
            << QByteArray(" \n\t<![CDATA[" + localFile + "]]>") << QByteArray() << false;
    QTest::addRow("redirect to file:") << local + "/redirect" << localFile << false;
    QTest::addRow("redirect to ftp:")
            << local + "/redirect" << QByteArray("ftp://127.0.0.1:PORT/cover.jpg") << false;
    QTest::addRow("redirect to data:")
            << local + "/redirect" << QByteArray("data:image/png;base64,iVBORw0KGgo=") << false;
    // The controls: web addresses are fetched, and stored only at the cover's own path.
    QTest::addRow("dot segments in an http address")
            << local + "/a/../../../cover.jpg" << QByteArray() << true;
    QTest::addRow("upper-case HTTP:")
            << QByteArray("HTTP://127.0.0.1:PORT/cover.jpg") << QByteArray() << true;
    QTest::addRow("redirect to http:") << local + "/redirect" << local + "/cover.jpg" << true;
}

// Nothing is fetched but over HTTP(S), and nothing is written but the answer file and,
// for a web address, the cover at its own path.
void TestBadInput::coverFetchedOnlyOverHttp()
{
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, redirect);
    QFETCH(bool, fetched);
    const QByteArray port = QByteArray::number(http.port());
    QVERIFY(QDir().mkpath(QDir::homePath()));
    QFile local(QDir::homePath() + QStringLiteral("/local.jpg"));
    QVERIFY(local.open(QIODevice::WriteOnly));
    QCOMPARE(local.write(IMAGE_BYTES), IMAGE_BYTES.size());
    local.close();
    http.setResponse(SERVICE,
                     {200, albumAnswer(image("extralarge", address.replace("PORT", port)))});
    http.setResponse("/cover.jpg", {200, IMAGE_BYTES, "image/png"});
    http.setResponse(
            "/redirect",
            {302, "moved", "text/plain", false, -1, QByteArray(redirect).replace("PORT", port)});
    const QStringList before = homeFiles();

    const std::optional<bool> result = fetchCover(http.url(QString::fromLatin1(SERVICE)));
    QVERIFY(result);
    QCOMPARE(*result, fetched);
    QCOMPARE(requestedPaths(http).contains(QStringLiteral("/cover.jpg")), fetched);

    QStringList expected = before;
    expected << CoverFetcher::answerPath();
    if (fetched)
        expected << CoverFetcher::coverPath(QStringLiteral("Artist"), QStringLiteral("Album"));
    expected.sort();
    expected.removeDuplicates();
    QCOMPARE(homeFiles(), expected);
    if (fetched) {
        QFile cover(CoverFetcher::coverPath(QStringLiteral("Artist"), QStringLiteral("Album")));
        QVERIFY(cover.open(QIODevice::ReadOnly));
        QCOMPARE(cover.readAll(), IMAGE_BYTES);
    }
}

void TestBadInput::coverFetcherSurvivesHugeAndDeepAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");  // "COVER" stands for the cover's address
    QTest::addColumn<bool>("fetched");

    const int levels = 100000;
    QTest::addRow("100,000 unclosed levels") << QByteArray(
            "<lfm><album>" + QByteArray("<n>").repeated(levels) + image("extralarge", "COVER"))
                                             << false;
    QTest::addRow("100,000 levels around the album") << QByteArray(
            "<lfm>" + QByteArray("<n>").repeated(levels) + "<album>" + image("extralarge", "COVER")
            + "</album>" + QByteArray("</n>").repeated(levels) + "</lfm>")
                                                     << false;
    QTest::addRow("100,000 levels inside the image element")
            << albumAnswer("<image size=\"extralarge\">" + QByteArray("<b>").repeated(levels)
                           + "COVER" + QByteArray("</b>").repeated(levels) + "</image>")
            << true;
    QByteArray manyImages;
    while (manyImages.size() < 3800 * 1024)
        manyImages += image("extralarge", "http://127.0.0.1:1/wrong.jpg") + image("mega", "x");
    QTest::addRow("3.8 MiB answer, the last extra-large image wins")
            << albumAnswer(manyImages + image("extralarge", "COVER")) << true;
    QByteArray attributes;
    for (int i = 0; i < levels; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"\"";
    QTest::addRow("100,000 attributes")
            << albumAnswer("<image size=\"extralarge\"" + attributes + ">COVER</image>") << true;
    QTest::addRow("1 MiB address")
            << albumAnswer(image("extralarge", "COVER?" + QByteArray(1024 * 1024, 'a'))) << true;
    QTest::addRow("NUL bytes") << albumAnswer(QByteArray("\0\0", 2) + image("extralarge", "COVER"))
                               << false;
    BadBytes bad(99);
    QTest::addRow("random bytes") << bad.randomBytes(512 * 1024) << false;
}

void TestBadInput::coverFetcherSurvivesHugeAndDeepAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, fetched);
    const QByteArray cover = http.url(QStringLiteral("/cover.jpg")).toEncoded();
    http.setResponse(SERVICE, {200, answer.replace("COVER", cover)});
    http.setResponse("/cover.jpg", {200, IMAGE_BYTES, "image/png"});

    const std::optional<bool> result = fetchCover(http.url(QString::fromLatin1(SERVICE)));
    QVERIFY(result);
    QCOMPARE(*result, fetched);
    QCOMPARE(requestedPaths(http).contains(QStringLiteral("/cover.jpg")), fetched);
    QVERIFY(!requestedPaths(http).contains(QStringLiteral("/wrong.jpg")));
}

// Answers drawn with a fixed seed: some random bytes, some a correct first line followed
// by random lines. The handshake always ends, in a state it defines, with a submission
// address of one line.
void TestBadInput::scrobblerSurvivesRandomAnswers()
{
    BadBytes bad(1234);
    for (int round = 0; round < 40; ++round) {
        QByteArray answer = bad.randomBytes(8192);
        if (round % 2)
            answer.prepend("UPTODATE\n");
        http.setResponse("/", {200, answer, "text/plain"});
        Scrobbler scrobbler;
        scrobbler.setHandshakeUrl(http.url(QStringLiteral("/")));
        scrobbler.setTimeout(3000);
        scrobbler.start();
        const QString where = QStringLiteral("round %1").arg(round);
        QVERIFY2(QTest::qWaitFor([&] { return scrobbler.isFinished(); }, 10000), qPrintable(where));
        QVERIFY2(scrobbler.state() == Scrobbler::NoSession
                         || scrobbler.state() == Scrobbler::HandshakeDone,
                 qPrintable(where));
        QVERIFY2(!scrobbler.submissionUrl().contains(QLatin1Char('\n')), qPrintable(where));
        QVERIFY2(scrobbler.interval() >= 0, qPrintable(where));
    }
}
