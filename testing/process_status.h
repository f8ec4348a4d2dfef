// One line of a process's /proc/<pid>/status, read as a number: what the
// bench, the soak and the headless backend watch (resident memory, its
// peak, the running threads).
#pragma once
#include <sys/types.h>

// The value after "key:" (kB for the memory lines), or -1 when the process
// or the line is not there. pid 0 reads this process.
double process_status_value(pid_t pid, const char* key);
