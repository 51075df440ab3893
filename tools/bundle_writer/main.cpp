// bundle_writer EXECUTABLE PACKAGE-FOLDER OUTPUT: what `instalador --bundle OUTPUT
// --package-dir PACKAGE-FOLDER` writes, for an executable that cannot run on this machine. The
// package check is not run here: packaging bundles the example package, which the tests check.

#include <cstdio>

#include "package/bundle.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: bundle_writer EXECUTABLE PACKAGE-FOLDER OUTPUT\n", stderr);
    return 2;
  }
  const inst::Status s = inst::bundle::WriteBundle(argv[1], argv[2], argv[3]);
  if (!s) {
    std::fprintf(stderr, "bundle_writer: %s: %s\n", s.path().c_str(), s.reason().c_str());
    return 1;
  }
  return 0;
}
