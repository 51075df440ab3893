#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "support/folder_sandbox.h"

namespace inst::testing {

// The failures every back end reports, each in its own system's words.
enum class Fault {
  kMissing,          // the last name of the path does not exist
  kMissingOnTheWay,  // a folder before the last name does not exist
  kNotAFolder,       // a file stands where a folder is needed
  kAFolder,          // a folder stands where a file is needed
  kExists,           // a file stands where a folder would be made
  kListedAFile,      // a file was listed as a folder: systems word this differently
};

// Each back end's test program defines these two: the service under test, and what it gives as
// the reason for a fault.
std::unique_ptr<FileSystem> newFileSystem();
::testing::Matcher<const std::string&> reasonFor(Fault fault);

class FileSystemTest : public FolderSandbox {
 private:
  std::unique_ptr<FileSystem> owned_ = newFileSystem();

 protected:
  FileSystem& files = *owned_;

  struct Kind {
    std::string path;
    bool file, normal, folder;
  };
  void expectKinds(const std::vector<Kind>& cases) {
    for (const Kind& c : cases) {
      EXPECT_EQ(files.fileExists(c.path), c.file) << c.path;
      EXPECT_EQ(files.normalFileExists(c.path), c.normal) << c.path;
      EXPECT_EQ(files.folderExists(c.path), c.folder) << c.path;
    }
  }

  // A failure that names `path` and gives `reason` (reasonFor a fault, or a back end's own text).
  static void expectFailure(const Status& s, const std::string& path,
                            const ::testing::Matcher<const std::string&>& reason) {
    EXPECT_FALSE(s);
    EXPECT_EQ(s.path(), path);
    EXPECT_THAT(s.reason(), reason);
  }
};

}  // namespace inst::testing
