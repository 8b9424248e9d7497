// Byte sequences that are not UTF-8, one of each kind, and what a reply
// that echoes them holds instead: U+FFFD for each longest ill-formed part.
#ifndef TOLVARIS_TESTS_BROKEN_UTF8_TESTING_H
#define TOLVARIS_TESTS_BROKEN_UTF8_TESTING_H

#include <string>
#include <vector>

namespace butt {

struct Broken {
  const char* bytes;
  std::string echoed;
};

inline const std::vector<Broken>& BrokenUtf8() {
  static const std::string f = "\xef\xbf\xbd";
  static const std::vector<Broken> cases = {
      {"\x80", f},                              // a continuation byte alone
      {"\xc0\x20", f + " "},                    // a lead byte that is never used, then a blank
      {"\xed\xa0\x80", f + f + f},              // a surrogate (U+D800)
      {"\xff", f},                              // a byte that never occurs
      {"\xf4\x90\x80\x80", f + f + f + f},      // above U+10FFFF
  };
  return cases;
}

}  // namespace butt

#endif
