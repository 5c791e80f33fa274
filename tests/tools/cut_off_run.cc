// Leaves kovo.fon in the working folder as a run killed in the middle of
// writing it leaves it: torn, with its complete journal beside it, for
// another build of kovomaint to finish (the Windows build's, under wine).
#include <cstdlib>

#include "support/faulty_file_system.h"

int main() {
  using kovo::testing::FileCall;
  kovo::testing::FaultyFileSystem files(kovo::testing::Fault{FileCall::Write, 2, 0, 5000, [] { std::_Exit(9); }});
  kovo::testing::Maintain(files, "kovo.fon");
  return 1;  // the store never reached the file
}
