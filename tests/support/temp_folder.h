// A fresh folder in the system's temporary folder for each test, named after the test and
// the process, so that test programs running at once never share or delete each other's.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace tarmel::testing {

class TempFolderTest : public ::testing::Test {
 protected:
  explicit TempFolderTest(const char* prefix) : Prefix_(prefix) {}
  void SetUp() override {
    const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = std::filesystem::temp_directory_path() /
           (Prefix_ + std::string(test) + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;

 private:
  std::string Prefix_;
};

}  // namespace tarmel::testing
