#pragma once
// The device's process list: which processes of this simulated device are running and
// under what name ("SpringBoard", an app's executable name). killall finds its targets
// here rather than among all the host's processes, so it never reaches outside the device.
//
// One file per process under "/var/run/kavlor/processes/", named by the pid, holding the
// name and the process's start time (from /proc), so that an entry left by a process that
// died is recognised even after its pid was reused.

#include <string>
#include <sys/types.h>
#include <vector>

namespace ProcessTable {

struct Entry {
    pid_t pid = 0;
    std::string name;
};

// Records a running process (the caller started it). False when the entry cannot be written.
bool add(pid_t pid, const std::string& name);
void remove(pid_t pid);
// Live entries; stale ones are removed on the way.
std::vector<Entry> list();
std::vector<Entry> findByName(const std::string& name);

} // namespace ProcessTable
