#include "windowfixture.h" // the window helpers live with the window fixture
