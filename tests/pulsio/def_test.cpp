// libpulsio.so.1 exports exactly the functions of pulsio.def, which keeps the Windows ordinals.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "pulsio/pulsio.h"
#include "tests/pulsio/def_ordinals.h"

namespace {

using qvx::test::DefOrdinals;
using qvx::test::kOrdinals;

TEST(PulsioDef, GivesEveryExportItsOrdinal) { EXPECT_EQ(DefOrdinals(), kOrdinals); }

TEST(PulsioDef, SharedLibraryExportsTheDefNamesAndHidesItsInside) {
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&GetHandle), &info), 0);
  ASSERT_TRUE(std::string(info.dli_fname).ends_with("/libpulsio.so.1")) << info.dli_fname;
  void* library = dlopen(info.dli_fname, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const auto& [name, ordinal] : kOrdinals) EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
  // The platform code linked into the library stays private to it.
  EXPECT_EQ(dlsym(library, "_ZN8platform14OpenSerialPortEi"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN6pulsio5StateEv"), nullptr);
  dlclose(library);
}

}  // namespace
