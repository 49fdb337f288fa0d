// The batch runner as the tests call it: in a folder of the test's own, its output and
// errors kept in stdout.txt and stderr.txt there. TARMEL_RUN_BINARY names the program.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "temp_folder.h"

namespace tarmel::testing {

class BatchRunnerTest : public TempFolderTest {
 protected:
  using TempFolderTest::TempFolderTest;

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // The exit status, or -1 when the program did not exit.
  int Run(const std::string& args) {
    const std::string cmd = "cd '" + dir_.string() + "' && '" TARMEL_RUN_BINARY "' " + args +
                            " > stdout.txt 2> stderr.txt";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

}  // namespace tarmel::testing
