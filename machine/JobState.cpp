#include "machine/JobState.h"

bool JobRunning = false;
bool JobStopped = false;
