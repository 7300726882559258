#pragma once
// A component library opened for a test, with the settings file it registers into kept in a
// private folder.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/temp_folder.h"

namespace varnel::test {

class ComponentLibraryTest : public ::testing::Test {
 protected:
  explicit ComponentLibraryTest(const char* path) : m_path(path) {}
  void SetUp() override {
    setenv("VARNEL_CONFIG", m_folder.File("varnel.ini").c_str(), 1);
    m_handle = dlopen(m_path, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_handle, nullptr) << dlerror();
  }
  void TearDown() override {
    unsetenv("VARNEL_CONFIG");
    if (m_handle != nullptr) dlclose(m_handle);
  }
  template <typename F>
  F Get(const char* name) {
    return reinterpret_cast<F>(dlsym(m_handle, name));
  }

  const char* m_path;
  TempFolder m_folder;
  void* m_handle = nullptr;
};

}  // namespace varnel::test
