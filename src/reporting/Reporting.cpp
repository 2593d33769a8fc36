#include "reporting/Reporting.h"

bool SendAppOpenedEvent() { return false; }
