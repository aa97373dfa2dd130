// Storage of the start-up split, filled in where each step runs.
#include "base/StartupTimes.h"

StartupTimes startupTimes;
