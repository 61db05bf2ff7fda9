// Runs tessaro-cli on a pseudo-terminal: what a person at a terminal sees.
#pragma once

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace tessaro::test {

// Everything the command writes to the terminal; arguments may redirect
// standard output or error elsewhere (shell syntax).
inline std::string RunCliOnTerminal(const std::string& arguments) {
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) return "forkpty failed";
  if (child == 0) {
    const std::string command = std::string(TESSARO_CLI_PATH) + " " + arguments;
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string out;
  char chunk[4096];
  for (ssize_t n; (n = read(master, chunk, sizeof chunk)) > 0;) out.append(chunk, static_cast<size_t>(n));
  close(master);
  int status = 0;
  waitpid(child, &status, 0);
  return out;
}

}  // namespace tessaro::test
