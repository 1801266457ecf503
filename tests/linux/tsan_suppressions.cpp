// libpulse recycles its packets and memory blocks through lock-free lists
// built on atomics inside the library, which is not instrumented, so a block
// reused by another of its threads looks like a race to the detector. Only
// frames inside the library are matched; races in our own code still show.
extern "C" const char* __tsan_default_suppressions() { return "race:libpulsecommon\nrace:libpulse.so\n"; }
