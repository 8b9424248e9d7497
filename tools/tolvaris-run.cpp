// Host program: sends JSON requests to RunModule and prints each result
// envelope on a line of its own. With an argument it sends that one request;
// otherwise it sends every non-blank line of standard input, in one process,
// so add-ons registered by "AddModule" stay registered for later lines.
// Exits 1 when any request failed, 2 when a result could not be had.
#include <cstdio>
#include <iostream>
#include <string>

#include "tolvaris/runmodule.h"

namespace {

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
    if (*p != '\n' && *p != '\r') std::fputc(*p, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  FreeMem(result);
  return rc;
}

bool Blank(const std::string& line) {
  return line.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: %s [request]   (without an argument: one request per input line)\n", argv[0]);
    return 2;
  }
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
