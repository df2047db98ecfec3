// The bad-input tests: corrupt collection cache files (tst_badinput.cpp), odd tags
// served by a real mpd through the index, the cache and the window (servertags.cpp),
// hostile Last.fm and scrobbler answers (serviceanswers.cpp) and settings files of
// the wrong types (tst_badinput.cpp). Every generator has a fixed seed, so a failure
// reproduces with the same bytes.
#ifndef TST_BADINPUT_H
#define TST_BADINPUT_H

#include "localhttpserver.h"
#include "mpdfixture.h"

#include <QObject>
#include <QTemporaryDir>

class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void cacheLoaderSurvivesRandomBytes_data();
    void cacheLoaderSurvivesRandomBytes();
    void cacheLoaderReadsOddFilesPredictably_data();
    void cacheLoaderReadsOddFilesPredictably();
    void cacheKeepsValuesServersCannotSend();

    void serverTagsStayConsistent();

    void coverFetchedOnlyOverHttp_data();
    void coverFetchedOnlyOverHttp();
    void coverFetcherSurvivesHugeAndDeepAnswers_data();
    void coverFetcherSurvivesHugeAndDeepAnswers();
    void scrobblerSurvivesRandomAnswers();

    void settingsOfWrongTypesGiveDefaults_data();
    void settingsOfWrongTypesGiveDefaults();

private:
    LocalHttpServer http;
};

#endif
