#pragma once

#include "supervision/dependency_list.h"

// The companion's registration verbs. Each prints at most one line on
// standard output and returns the process's exit code.
int RunSetupVerb();
int RunDeleteVerb();
int RunDependencyVerb(DependencyMode mode);

// The verb a first argument names, compared without regard to case: one of
// "delete", "setup", "delDepend", "addDepend", or nullptr for any other word.
const char* MatchVerb(const char* argument);
