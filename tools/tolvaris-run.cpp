// Host program: sends JSON requests to RunModule and prints each result
// envelope on a line of its own. With an argument it sends that one request;
// otherwise it sends every non-blank line of standard input, in one process,
// so add-ons registered by "AddModule" stay registered for later lines.
// Exits 1 when any request failed, 2 when a result could not be had or the
// command line is wrong. "-h" and "--help" print the usage; any other
// argument beginning with "-" is refused, since no request begins with one.
// Standard output carries the envelopes alone: what the library or an add-on
// prints while a request runs (the sample add-on's self-test report) goes to
// standard error.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "tolvaris/runmodule.h"

namespace {

constexpr char kUsage[] =
    "usage: tolvaris-run [REQUEST]\n"
    "       tolvaris-run -h | --help\n"
    "\n"
    "Sends JSON requests to the tolvaris command interface and prints each\n"
    "result envelope on a line of its own.\n"
    "  REQUEST  one request, the only argument\n"
    "  (none)   one request per line of standard input, all in one process, so\n"
    "           an add-on loaded by an earlier line serves the later ones;\n"
    "           blank lines are skipped\n"
    "\n"
    "Add-ons (quenmod-<tag>.so, built and installed beside libtolvaris.so) are\n"
    "loaded only by a request:\n"
    "  {\"action\":\"AddModule\",\"args\":{\"addon\":\"<tag>\",\"libpath\":\"<folder>\"}}\n"
    "loads <folder>/quenmod-<tag>.so; when the folder holds no such file, the\n"
    "system's library search looks for it by name (LD_LIBRARY_PATH, the folder\n"
    "of libtolvaris.so, the system's folders).\n"
    "\n"
    "Exit status: 0 when every request succeeded, 1 when a request failed (its\n"
    "envelope says why), 2 for a wrong command line or a request that gave no\n"
    "result envelope.\n";

// 0 after the usage on standard output (asked for), 2 after a refusal and the
// usage on standard error.
int Usage(bool asked, const char* refused = nullptr) {
  if (asked) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (refused != nullptr) std::fprintf(stderr, "tolvaris-run: unknown option %s\n", refused);
  std::fputs(kUsage, stderr);
  return 2;
}

// Where the envelopes go: the standard output the program was started with.
FILE* envelopes = stdout;

// Points file descriptor 1 at standard error and keeps the original standard
// output for the envelopes alone. Without a spare descriptor both stay as
// they are.
void SeparateEnvelopes() {
  std::fflush(stdout);
  const int fd = dup(STDOUT_FILENO);
  if (fd < 0) return;
  FILE* f = fdopen(fd, "w");
  if (f == nullptr || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    if (f != nullptr) std::fclose(f);
    else close(fd);
    return;
  }
  envelopes = f;
}

// Runs one request; returns its RunModule code, or -1 without an envelope.
int Send(const std::string& request) {
  char* result = nullptr;
  const int rc = RunModule(request.c_str(), &result);
  if (result == nullptr) {
    std::fprintf(stderr, "tolvaris-run: no result (code %d)\n", rc);
    return -1;
  }
  // An envelope is JSON, so a raw line break in it (an add-on's indented
  // reply) is only layout: leave it out to keep one envelope per line.
  for (const char* p = result; *p; ++p)
    if (*p != '\n' && *p != '\r') std::fputc(*p, envelopes);
  std::fputc('\n', envelopes);
  std::fflush(envelopes);
  // A report printed during the request is written out before the next one.
  std::fflush(stdout);
  FreeMem(result);
  return rc;
}

bool Blank(const std::string& line) {
  return line.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) return Usage(false);
  if (argc == 2 && argv[1][0] == '-') {
    const std::string_view option(argv[1]);
    if (option == "-h" || option == "--help") return Usage(true);
    return Usage(false, argv[1]);
  }
  SeparateEnvelopes();
  int status = 0;
  auto note = [&status](int rc) {
    if (rc < 0) status = 2;
    else if (rc != 0 && status == 0) status = 1;
  };
  if (argc == 2) {
    note(Send(argv[1]));
    return status;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    if (Blank(line)) continue;
    note(Send(line));
  }
  return status;
}
