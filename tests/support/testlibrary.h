#include "mpdfixture.h" // TestLibrary lives with the mpd fixture
