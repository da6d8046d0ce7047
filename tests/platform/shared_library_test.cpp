#include "platform/posix/shared_library.h"

#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <string>

#include "tests/support/terminal.h"

namespace {

using qvx::test::ScopedEnv;

// Functions without C++ overloads, so that decltype names exactly one.
#define MATH_FUNCTIONS(X) \
  X(j0)                   \
  X(jn)

#define C_FUNCTIONS(X) X(strlen)

// libm, then libc, each replaceable through its own variable.
struct MathAndC : platform::FunctionTable {
  MATH_FUNCTIONS(QVX_FUNCTION_POINTER)
  C_FUNCTIONS(QVX_FUNCTION_POINTER)

  MathAndC() {
    Open("libm.so.6", "QVX_TEST_LIBM");
    MATH_FUNCTIONS(QVX_RESOLVE_FUNCTION)
    Open("libc.so.6", "QVX_TEST_LIBC");
    C_FUNCTIONS(QVX_RESOLVE_FUNCTION)
  }
};

TEST(FunctionTable, FillsEveryPointerWithTheRealFunction) {
  MathAndC table;
  ASSERT_TRUE(table.loaded()) << table.error();
  EXPECT_EQ(table.error(), "");
  EXPECT_DOUBLE_EQ(table.j0(0.0), 1.0);
  EXPECT_DOUBLE_EQ(table.jn(1, 0.0), 0.0);
  EXPECT_EQ(table.strlen("remote"), 6u);
}

TEST(FunctionTable, AMissingLibraryOrFunctionLeavesTheTableUnloadedWithTheReason) {
  struct Case {
    const char* libm;
    const char* libc;
    const char* errorStart;
  };
  for (auto c : {
           Case{"libqvx-missing.so.1", "", "libqvx-missing.so.1: cannot open shared object file"},
           Case{"", "/nonexistent/libc.so.6", "/nonexistent/libc.so.6: cannot open shared object"},
           // a library that opens but lacks the functions asked for
           Case{"libc.so.6", "", "j0 not found in libc.so.6"},
           // the first failure is the one reported
           Case{"libqvx-missing.so.1", "libm.so.6", "libqvx-missing.so.1: cannot open"},
       }) {
    ScopedEnv libm("QVX_TEST_LIBM", c.libm);
    ScopedEnv libc("QVX_TEST_LIBC", c.libc);
    MathAndC table;
    EXPECT_FALSE(table.loaded()) << c.libm << " " << c.libc;
    EXPECT_EQ(table.error().rfind(c.errorStart, 0), 0u) << table.error();
  }
}

TEST(SharedLibrary, OpensTheOverrideInsteadOfTheSoname) {
  {
    platform::SharedLibrary library("libm.so.6", "QVX_TEST_LIBM");
    EXPECT_TRUE(library.ok());
    EXPECT_EQ(library.name(), "libm.so.6");
    EXPECT_EQ(library.error(), "");
    EXPECT_NE(library.Symbol("j0"), nullptr);
    EXPECT_EQ(library.Symbol("qvx_no_such_symbol"), nullptr);
  }
  ScopedEnv other("QVX_TEST_LIBM", "libqvx-missing.so.1");
  platform::SharedLibrary library("libm.so.6", "QVX_TEST_LIBM");
  EXPECT_FALSE(library.ok());
  EXPECT_EQ(library.name(), "libqvx-missing.so.1");
  EXPECT_NE(library.error().find("libqvx-missing.so.1"), std::string::npos) << library.error();
  EXPECT_EQ(library.Symbol("j0"), nullptr);
}

}  // namespace
