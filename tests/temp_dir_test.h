// A test fixture with a fresh temporary folder, removed after each test.
#ifndef MURVIK_TESTS_TEMP_DIR_TEST_H_
#define MURVIK_TESTS_TEMP_DIR_TEST_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace murvik::testing {

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/murvik-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Writes `bytes` to the file `name` in the folder, replacing it; its path.
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }

  std::string dir_;
};

}  // namespace murvik::testing

#endif  // MURVIK_TESTS_TEMP_DIR_TEST_H_
