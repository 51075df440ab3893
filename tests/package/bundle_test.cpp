#include "package/bundle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

#include "package/bundle_payload.h"
#include "platform/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace inst::bundle {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::pair<std::string, std::string>>;  // a name ending in / is a folder

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteAll(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
std::string Text(const fs::path& p) {
  return std::string(reinterpret_cast<const char*>(p.u8string().c_str()));
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

fs::path SelfPath() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH];
  return fs::path(std::wstring(buffer, GetModuleFileNameW(nullptr, buffer, MAX_PATH)));
#else
  return fs::read_symlink("/proc/self/exe");
#endif
}

// A PE32+ with one section, laid out as a linker does: what the finder reads of a program.
constexpr std::size_t kSecurityEntry = 0x98 + 112 + 4 * 8;
std::string FakePe() {
  std::string pe(0x400, '\0');
  pe[0] = 'M', pe[1] = 'Z', pe[0x80] = 'P', pe[0x81] = 'E';
  Put32(pe, 0x3C, 0x80);
  Put32(pe, 0x84, 0x8664 | 1u << 16);  // machine, one section
  Put32(pe, 0x94, 240);                // optional header size
  Put32(pe, 0x98, 0x20b);
  Put32(pe, 0x98 + 60, 0x200);  // headers' size
  Put32(pe, 0x98 + 108, 16);    // data directories
  Put32(pe, 0x98 + 240 + 16, 0x200);
  Put32(pe, 0x98 + 240 + 20, 0x200);
  return pe;
}

std::string MemoryBundle(const Files& files) {
  MemorySink out(FakePe());
  PayloadWriter writer(out);
  for (const auto& [name, bytes] : files) {
    MemorySource in(bytes);
    if (name.back() == '/')
      writer.addFolder(name.substr(0, name.size() - 1));
    else
      writer.addFile(name, in);
  }
  EXPECT_TRUE(writer.finish()) << writer.error();
  return out.bytes();
}
// The last file is over 1 KB, so the cuts below all fall in the payload.
const Files kSmall = {{"Setup.ini", "[Sound]\n"},
                      {"pastascripts/", ""},
                      {"pastascripts/a.jss", "a"},
                      {"Info/leiame.txt", std::string(2000, 'z')}};

// What a folder holds: relative name -> bytes ("/" for a folder).
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& e : fs::recursive_directory_iterator(root))
    tree[Text(fs::relative(e.path(), root).generic_u8string())] =
        e.is_directory() ? "/" : ReadAll(e.path());
  return tree;
}

class BundleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("bundle-test-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path folder(const std::string& name) {
    fs::create_directories(root_ / name);
    return root_ / name;
  }
  Status unpack(const std::string& bytes, const fs::path& into) {
    MemorySource source(bytes);
    return Unpack(source, Text(into));
  }
  fs::path root_;
};

TEST_F(BundleTest, RoundTripFromThisProgramAndFromItsBundle) {
  const fs::path example = fs::path(INSTALADOR_SOURCE_DIR) / "examples" / "pacote";
  const std::string self = ReadAll(SelfPath());
  ASSERT_TRUE(WriteBundle(Text(SelfPath()), Text(example), Text(root_ / "b1")));
  bool carries = false;
  EXPECT_TRUE(FindPackage(Text(root_ / "b1"), carries) && carries);
  EXPECT_TRUE(FindPackage(Text(SelfPath()), carries) && !carries);
  ASSERT_TRUE(UnpackPackage(Text(root_ / "b1"), Text(folder("one"))));
  EXPECT_EQ(Tree(root_ / "one"), Tree(example));
  std::vector<PackageEntry> listed;
  ASSERT_TRUE(ListPackage(Text(root_ / "b1"), listed));
  EXPECT_EQ(listed.size(), Tree(example).size());

  // A bundle of a bundle carries the new package alone, after the bare program.
  WriteAll(root_ / "pkg" / "SETUP.INI", "[Info]\n");
  WriteAll(root_ / "pkg" / "Extras" / "x.ext", "x");
  WriteAll(root_ / "pkg" / "notas.txt", "not part of the package");
  ASSERT_TRUE(WriteBundle(Text(root_ / "b1"), Text(root_ / "pkg"), Text(root_ / "b2")));
  const std::string second = ReadAll(root_ / "b2");
  MemorySource source(second);
  Payload payload;
  ASSERT_TRUE(LocatePayload(source, payload) && payload.present);
  EXPECT_EQ(payload.begin, self.size());
  EXPECT_TRUE(second.compare(0, self.size(), self) == 0);
  ASSERT_TRUE(UnpackPackage(Text(root_ / "b2"), Text(folder("two"))));
  EXPECT_EQ(Tree(root_ / "two"),
            (std::map<std::string, std::string>{
                {"SETUP.INI", "[Info]\n"}, {"Extras", "/"}, {"Extras/x.ext", "x"}}));
#ifndef _WIN32
  // ZIP tools that read self-extracting archives take it as one, every CRC checked.
  if (std::system("command -v unzip >/dev/null") == 0) {
    EXPECT_EQ(std::system(("unzip -tq '" + Text(root_ / "b1") + "' >/dev/null").c_str()), 0);
  }
#endif
}

TEST_F(BundleTest, HostilePayloadsAreRefusedAndLeaveNothing) {
  std::vector<std::pair<std::string, std::string>> cases;  // what, bytes
  for (const char* name :
       {"..\\..\\x", "C:\\x", "/etc/x", "pastascripts/../../x", "pastascripts/..\\..\\x",
        "pastascripts\\x", "Audio//x", "Extras/CON.txt", "Extras/x. ", "notas.txt", "Setup.ini/x",
        "SETUP.INI"}) {
    Files files = kSmall;
    files.emplace_back(name, "x");
    cases.emplace_back(name, MemoryBundle(files));
  }
  const std::string good = MemoryBundle(kSmall);
  {
    Files files = kSmall;
    files.emplace_back("pastascripts/link", "/etc/passwd");
    std::string bytes = MemoryBundle(files);
    Put32(bytes, bytes.rfind("pastascripts/link") - 46 + 38, 0120777u << 16);
    cases.emplace_back("symlink entry", bytes);
  }
  std::string bytes = good;
  bytes[bytes.find("zz")] ^= 1;  // the last file: the ones before it are written first
  cases.emplace_back("CRC", bytes);
  bytes = good;
  bytes.replace(bytes.size() - 34, 16, "00000000FFFFFFFF");
  cases.emplace_back("trailer beyond the file's start", bytes);
  bytes = good;
  bytes.replace(bytes.size() - 17, 16, "0000000000001000");
  cases.emplace_back("trailer longer than the file", bytes);
  bytes = good + std::string(8 - good.size() % 8, '\0') + std::string(0x200, 'c');
  cases.emplace_back("certificate the PE header does not point at", bytes);
  for (std::size_t cut = 1; cut <= 1024; ++cut)
    cases.emplace_back("cut " + std::to_string(cut), good.substr(0, good.size() - cut));

  for (const auto& [what, payload] : cases) {
    const fs::path into = folder("into");
    const Status s = unpack(payload, into);
    EXPECT_FALSE(s) << what;
    EXPECT_NE(s.reason().find("danificado ou incompleto"), std::string::npos)
        << what << ": " << s.reason();
    if (what.find('x') != std::string::npos && what.size() < 25) {
      EXPECT_NE(s.reason().find(what.back() == ' ' ? "x." : what), std::string::npos) << s.reason();
    }
    EXPECT_TRUE(fs::is_empty(into)) << what;
    fs::remove_all(into);
  }
  EXPECT_TRUE(unpack(good, folder("good")));
}

TEST_F(BundleTest, TenThousandEntriesUnpackAndMoreThanTheLimitAreRefused) {
  Files files = {{"Setup.ini", ""}};
  // A hundred to a folder, as a package lays them out (and as Wine creates them in good time).
  for (int i = 0; files.size() <= kMaxEntries; ++i)
    files.emplace_back("Extras/" + std::to_string(i / 100) + "/" + std::to_string(i), "x");
  const std::string tooMany = MemoryBundle(files);
  files.resize(10000);
  ASSERT_TRUE(unpack(MemoryBundle(files), folder("ten")));
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(root_ / "ten" / "Extras"), {}),
            9999 + 100);
  const Status s = unpack(tooMany, folder("more"));
  EXPECT_NE(s.reason().find("arquivos demais"), std::string::npos) << s.reason();
  EXPECT_TRUE(fs::is_empty(root_ / "more"));
}

// Signed with a throw-away certificate where the signing tools are, and verified; elsewhere
// (under Wine) a table is appended and pointed at as signing does.
TEST_F(BundleTest, SignedBundleFindsItsPayloadAndABundleOfItDropsTheSignature) {
  std::string bytes = MemoryBundle(kSmall);
  WriteAll(root_ / "b.exe", bytes);
  const std::string sign =
      "cd '" + Text(root_) + "' && command -v osslsigncode >/dev/null && " +
      "openssl req -x509 -newkey rsa:2048 -nodes -keyout k.pem -out c.pem -subj /CN=t 2>/dev/null" +
      " && osslsigncode sign -certs c.pem -key k.pem -in b.exe -out s.exe >/dev/null";
  if (std::system(sign.c_str()) == 0) {
    EXPECT_EQ(std::system(("osslsigncode verify -CAfile '" + Text(root_ / "c.pem") + "' '" +
                           Text(root_ / "s.exe") + "' >/dev/null")
                              .c_str()),
              0);
    bytes = ReadAll(root_ / "s.exe");
  } else {
    bytes.resize((bytes.size() + 7) / 8 * 8, '\0');
    Put32(bytes, kSecurityEntry, static_cast<std::uint32_t>(bytes.size()));
    Put32(bytes, kSecurityEntry + 4, 0x208);
    Put32(bytes, 0x98 + 64, 0x5eed);  // the checksum signing sets
    bytes += std::string(0x208, 's');
  }
  ASSERT_TRUE(unpack(bytes, folder("into")));
  EXPECT_EQ(ReadAll(root_ / "into" / "pastascripts" / "a.jss"), "a");

  WriteAll(root_ / "signed.exe", bytes);
  WriteAll(root_ / "pkg" / "Setup.ini", "");
  ASSERT_TRUE(
      WriteBundle(Text(root_ / "signed.exe"), Text(root_ / "pkg"), Text(root_ / "again.exe")));
  EXPECT_EQ(ReadAll(root_ / "again.exe").substr(0, 0x400), FakePe());
}

#ifndef _WIN32
// On Windows the file system itself refuses such a name.
TEST_F(BundleTest, PackageNamesThatCannotUnpackEverywhereAreRefusedWhenWriting) {
  WriteAll(root_ / "pkg" / "Setup.ini", "");
  WriteAll(root_ / "pkg" / "Extras" / "aux.txt", "");
  const Status s = WriteBundle(Text(SelfPath()), Text(root_ / "pkg"), Text(root_ / "out"));
  EXPECT_NE(s.path().find("aux.txt"), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "out"));
  EXPECT_FALSE(fs::exists(root_ / "out.parcial"));
}
#endif

#ifndef _WIN32
TEST_F(BundleTest, A200MegabyteSoundStreamsThroughInFlatMemory) {
  WriteAll(root_ / "pkg" / "Setup.ini", "");
  WriteAll(root_ / "pkg" / "Audio" / "longo.wav", "RIFF");
  fs::resize_file(root_ / "pkg" / "Audio" / "longo.wav", 200u << 20);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  ASSERT_TRUE(WriteBundle(Text(SelfPath()), Text(root_ / "pkg"), Text(root_ / "b")));
  ASSERT_TRUE(UnpackPackage(Text(root_ / "b"), Text(folder("into"))));
  getrusage(RUSAGE_SELF, &after);
  EXPECT_EQ(fs::file_size(root_ / "into" / "Audio" / "longo.wav"), 200u << 20);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024) << "KiB";
}
#endif

TEST_F(BundleTest, TempFoldersArePrivateAndOnlyDeadRunsLeftoversGo) {
#ifdef _WIN32
  _putenv_s("TMP", Text(root_).c_str());
  const std::string pid = std::to_string(GetCurrentProcessId());
#else
  setenv("TMPDIR", root_.c_str(), 1);
  const std::string pid = std::to_string(getpid());
#endif
  std::string made;
  ASSERT_TRUE(MakePrivateTempFolder(made));
  EXPECT_EQ(fs::path(made).parent_path(), root_);
  EXPECT_TRUE(fs::is_empty(made));
  EXPECT_TRUE(fs::path(made).filename().string().starts_with("instalador-" + pid + "-"));
#ifndef _WIN32
  struct stat st;
  ASSERT_EQ(stat(made.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
#endif
  for (const char* name :
       {"instalador-999999999-abcdef", "instalador-abc-defghi", "instalador-1-ab"})
    WriteAll(root_ / name / "Setup.ini", "");
  EXPECT_EQ(RemoveLeftoverTempFolders(), 1);
  EXPECT_FALSE(fs::exists(root_ / "instalador-999999999-abcdef"));
  EXPECT_TRUE(fs::exists(root_ / "instalador-abc-defghi"));
  EXPECT_TRUE(fs::exists(made));
  EXPECT_TRUE(RemoveFolderTree(made));
  EXPECT_FALSE(fs::exists(made));
}

}  // namespace
}  // namespace inst::bundle
