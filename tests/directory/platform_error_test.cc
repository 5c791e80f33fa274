#include "directory/platform_error.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace kovo {
namespace {

TEST(TranslateErrno, MapsCausesToTheirOwnNumbers) {
  struct Case {
    int posix;
    int code;
  };
  const Case cases[] = {
      {0, 0},          {ENOENT, 2},   {ENOTDIR, 3}, {EMFILE, 4},   {ENFILE, 4},
      {EACCES, 5},     {EPERM, 5},    {EISDIR, 5},  {EROFS, 19},   {ETXTBSY, 32},
      {ENOSPC, 112},   {EDQUOT, 112}, {EFBIG, 223}, {EIO, 1117},   {EINTR, 995},
      {ENAMETOOLONG, 206},
  };
  for (const Case& c : cases) EXPECT_EQ(TranslateErrno(c.posix), c.code) << c.posix;
}

TEST(TranslateErrno, UnknownErrorsNeverAliasANamedCode) {
  for (int posix : {ESTALE, ENOLCK, EOVERFLOW, 9999}) {
    const int code = TranslateErrno(posix);
    EXPECT_EQ(code, kUntranslatedErrorBit | posix);
    EXPECT_NE(code, 5);
    EXPECT_NE(code, 101);
  }
}

}  // namespace
}  // namespace kovo
