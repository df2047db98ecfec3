#include "qmpdsong.h"
#include "testmain.h"

class TestQmpdSong : public QObject
{
    Q_OBJECT
private slots:
    void timeText_data();
    void timeText();
};

void TestQmpdSong::timeText_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::addRow("zero") << 0 << "0:00";
    QTest::addRow("under a minute") << 59 << "0:59";
    QTest::addRow("one minute") << 60 << "1:00";
    QTest::addRow("padded seconds") << 65 << "1:05";
    QTest::addRow("ten minutes") << 600 << "10:00";
    QTest::addRow("over an hour") << 3725 << "62:05";
}

void TestQmpdSong::timeText()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    const QmpdSong song(1, seconds, "a", "t", "1", "f.flac", "2001", "al");
    QCOMPARE(song.timeText, text);
    QVERIFY(!song.nowPlaying);
}

TUNELOOM_TEST_MAIN(TestQmpdSong)
#include "tst_qmpdsong.moc"
