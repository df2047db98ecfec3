#include "windowfixture.h" // ModalCloser lives with the window fixture
