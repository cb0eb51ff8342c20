#pragma once
// The string lookup lives in sys/ (the flows need it too); the window's layer takes it from there.
#include "sys/strings.h"
