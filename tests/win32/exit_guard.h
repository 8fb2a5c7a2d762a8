// The Windows test programs' guard against leaving while a thread is starting
// (exit_guard.cpp).
#pragma once

// How many of this program's threads exist but have not yet run any Windows
// code: the loader has not yet announced them to the program.
int AocThreadsNotYetStarted();
