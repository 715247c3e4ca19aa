// What explains a module that LoadLibrary could not load: Windows' own text for the error,
// in the system's language, and every file of the module's name in the folders that a load
// by bare name searches, with its header's machine type.
#pragma once

#include "check/LoadFailure.h"

namespace check {

LoadFailure probeLoadFailure(unsigned long code);

} // namespace check
