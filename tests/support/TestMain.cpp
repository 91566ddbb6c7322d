// Shared main of every test binary: offscreen Qt, private config and
// runtime folders, and a modal responder so no test waits on a dialog.
#include "framework/Events.h"
#include "ModalRecorder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char runtimeTemplate[] = "/tmp/quill-test-XXXXXX";
  const char* base = mkdtemp(runtimeTemplate);
  if (!base)
    return 2;
  const std::string runtime = std::string(base) + "/runtime";
  const std::string config = std::string(base) + "/config";
  std::filesystem::create_directories(runtime);
  std::filesystem::create_directories(config);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  InitFramework(argc, argv);
  ModalRecorder::Install();
  const int rc = RUN_ALL_TESTS();
  std::error_code ec;
  std::filesystem::remove_all(base, ec);
  return rc;
}
