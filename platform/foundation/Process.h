#pragma once
// Starting processes of the device. Programs are named by device paths
// ("/usr/bin/sbreload") and resolved under the device root, so a spawn on the simulated
// device starts the device's own program.
//
// Every start emits the Trace event "spawn" {path, argv}: the device path as the caller
// named it and the argument vector joined by spaces (for a shell command, the command as
// given), plus {error} when the program could not be started.

#include <cstdio>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/types.h>

// posix_spawn with the program path resolved through the device root (devicePath), no
// search of PATH. Answers 0 or the error number, as posix_spawn does; a failure is also
// reported on standard error, naming the device path and the host path.
//
// The environment: on the device a null envp gives the child an empty environment; here
// the child must still know which device it runs on, so a null envp gives it the
// parent's KAVLOR_* variables (KAVLOR_DEVICE_ROOT above all) and PATH (or
// "/usr/bin:/bin:/usr/sbin:/sbin" when the parent has none), and nothing else. A given
// envp is passed as it is, with each of the parent's KAVLOR_* variables that it lacks
// added.
int kv_posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* fileActions,
    const posix_spawnattr_t* attributes, char* const argv[], char* const envp[]);

// The options are the device's waitpid bits: WNOHANG 1, WUNTRACED 2, WEXITED 4 and
// WCONTINUED 0x10. The host's waitpid refuses WEXITED (waiting for an exit is what it
// always does), so that bit is dropped, and the others are mapped to the host's values:
// options 4 is a blocking wait for that child. Interrupted waits (EINTR) are retried.
// Other bits are refused with EINVAL and a message on standard error.
pid_t kv_waitpid(pid_t pid, int* status, int options);

// The shell command that runs on the host for a command written with device paths:
// - the first word, when it is an absolute path and the device root has an executable
//   file there, becomes that file's host path (otherwise it stays, and the host's
//   program of that name runs: "/bin/rm" is the host's rm unless the device has one);
// - every later word that is "/Library", "/var", "/System" or "/usr", or begins with one
//   of them followed by "/", becomes its host path under the device root.
// Words are separated by spaces and tabs. A word holding anything but letters, digits
// and "/._-+,:@%=~" (quotes, "$", ";", "|", ...) is left as written, so that the shell
// reads the command as it was meant. A rewritten word is quoted for the shell when the
// device root holds characters that the shell would read otherwise.
std::string deviceShellCommand(std::string_view command);

// popen and pclose for a command written with device paths (deviceShellCommand); the
// command runs through /bin/sh with the parent's environment.
FILE* kv_popen(const char* command, const char* mode);
int kv_pclose(FILE* stream);
