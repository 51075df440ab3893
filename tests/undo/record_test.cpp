// The backups' record: what one run writes, the uninstall reads back whole; a damaged or
// hand-edited line is named and left out, and no path read from it leaves its language folder.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/host.h"
#include "undo/record.h"

namespace inst::undo {
namespace {

TEST(Record, ReadsBackWhatItWrites) {
  const FileDigest kept{12, 0xcbf29ce484222325ull}, wrote{3, 0xffull};
  RunRecord record{"20261207-195306", {}, "bloco-de-notas"};
  record.folders.push_back(
      {"PTB",
       "C:\\Users\\ana\\AppData\\Roaming\\Freedom Scientific\\JAWS\\2025\\Settings\\PTB",
       {{true, "notepad.jss", kept, wrote, false, 0},
        {false, "sub\\50% novo\nnome.jsb", {}, {}, false, 0}},
       {"sub"},
       {{"C:\\ProgramData\\confignames.ini",
         "ConfigNames",
         "notepad",
         {},
         "bloco",
         false,
         false,
         0},
        {"C:\\x\\Default.jkm", "Common Keys", "windows+backspace", "a=b;%c", {}, false, false, 0}},
       true});
  const FolderChanges& folder = record.folders[0];
  std::vector<std::string> skipped;
  // What an uninstall appends comes after, in a section of the folder's name again.
  RunRecord back = ParseRecord(FormatRecord(record), skipped);
  const std::string marks =
      FormatUndone("ptb", {&back.folders[0].files[0]}, {&back.folders[0].entries[1]});
  back = ParseRecord(FormatRecord(record) + marks, skipped);
  EXPECT_TRUE(skipped.empty()) << skipped.front();
  ASSERT_EQ(back.folders.size(), 1u);
  const FolderChanges& f = back.folders[0];
  EXPECT_EQ(back.started, record.started);
  EXPECT_EQ(back.packageId, record.packageId);
  EXPECT_EQ(f.path, folder.path);
  ASSERT_EQ(f.files.size(), 2u);
  EXPECT_TRUE(f.files[0].replaced && f.files[0].undone && !f.files[1].undone);
  EXPECT_EQ(f.files[0].kept, folder.files[0].kept);
  EXPECT_EQ(f.files[0].wrote, folder.files[0].wrote);
  EXPECT_FALSE(f.files[1].wrote);
  EXPECT_EQ(f.files[1].path, "sub\\50% novo\nnome.jsb");
  EXPECT_EQ(f.newFolders, std::vector<std::string>{"sub"});
  ASSERT_EQ(f.entries.size(), 2u);
  EXPECT_FALSE(f.entries[0].old);
  EXPECT_EQ(f.entries[0].wrote, "bloco");
  EXPECT_EQ(f.entries[1].old, "a=b;%c");
  EXPECT_TRUE(f.entries[1].undone && !f.entries[0].undone);
  EXPECT_TRUE(f.putBack);
}

TEST(Record, LeavesOutWhatItCannotTrust) {
  const std::string text =
      "[PTB]\r\nFolder=C:\\PTB\r\n"
      "Replaced1=12 00000000000000ff ok.jss\r\n"
      "Replaced2=12 nothex bad.jss\r\n"           // a hash that is none
      "Replaced3=12 ff ..\\..\\escape.jss\r\n"    // out of the language folder
      "Created1=C:\\Windows\\win.ini\r\n"         // an absolute path
      "NewFolder1=sub\\.\\x\r\n"                  // a "." component
      "Entry1=C:\\c.ini\r\nEntry1.Section=S\r\n"  // no key: the entry is incomplete
      "Surprise=1\r\n"
      "Created2=bad%zzescape\r\n"
      "Created3=fine.txt\r\n"
      "Created3=again.txt\r\n"   // a number repeated
      "Created9.Wrote=1 ff\r\n"  // of no file
      "Entry2=C:\\c.ini\r\nEntry2.Section=S\r\nEntry2.Key=k\r\nEntry2.Old=a%0D%0Ab=c\r\n"
      "Entry3=C:\\c.ini\r\nEntry3.Section=S\r\nEntry3.Key=j\r\nEntry3.Old=%zz\r\n"
      "Entry4=C:\\c.ini\r\nEntry4.Section=S\r\nEntry4.Key=i\r\nEntry4.Old=x%00\r\n";
  std::vector<std::string> skipped;
  const RunRecord record = ParseRecord(text, skipped);
  ASSERT_EQ(record.folders.size(), 1u);
  ASSERT_EQ(record.folders[0].files.size(), 2u);
  EXPECT_EQ(record.folders[0].files[0].path, "ok.jss");
  EXPECT_EQ(record.folders[0].files[1].path, "fine.txt");
  EXPECT_TRUE(record.folders[0].newFolders.empty());
  // An old value with a line break or a NUL, or one that does not read, is kept as untrusted:
  // the entry is not taken out as if it had none.
  ASSERT_EQ(record.folders[0].entries.size(), 3u);
  for (const EntryChange& e : record.folders[0].entries) EXPECT_TRUE(e.untrusted) << e.key;
  EXPECT_EQ(skipped.size(), 12u);
}

// Whether a file of the user's is kept rests on this comparison: a file that only begins with the
// package's bytes, or only ends with them, is another file.
TEST(Record, SameBytesComparesEveryByte) {
  const std::string big(200 * 1024, 'a');
  const struct {
    std::string a, b;
    bool same;
  } cases[] = {
      {"package", "package", true},
      {"", "", true},
      {"package", "package\n", false},
      {"package\n", "package", false},
      {"", "x", false},
      {"package", "packagf", false},
      {big, big, true},
      {big, big + "b", false},
      {big + "b", big, false},
      {big + "b", big + "c", false},
  };
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("instalador-same-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(dir);
  host::NativeServices native = host::MakeNativeServices();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.a.size()) + " / " + std::to_string(c.b.size()));
    std::ofstream(dir / "a", std::ios::binary) << c.a;
    std::ofstream(dir / "b", std::ios::binary) << c.b;
    bool same = !c.same;
    const std::string a = (dir / "a").string(), b = (dir / "b").string();
    ASSERT_TRUE(SameBytes(*native.fs, a, b, same).ok());
    EXPECT_EQ(same, c.same);
    FileDigest da, db;
    ASSERT_TRUE(Digest(*native.fs, a, da).ok() && Digest(*native.fs, b, db).ok());
    EXPECT_EQ(da == db, c.same);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace inst::undo
