// Kept for tests that include it by this name: the helpers live with the window fixture.
#include "windowfixture.h"
