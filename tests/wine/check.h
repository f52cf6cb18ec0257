// A minimal check counter for the Windows test programs: each prints one line per failed
// check and a closing "N passed, N failed" line; the exit code is the number of failures.
#pragma once

#include <cstdio>

struct CheckCount {
  int passed = 0;
  int failed = 0;

  void Expect(bool ok, const char* what) {
    if (ok) {
      ++passed;
    } else {
      ++failed;
      std::printf("FAIL: %s\n", what);
    }
  }

  int Finish() const {
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed;
  }
};
