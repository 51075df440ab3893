#include "package/bundle.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "package/bundle_payload.h"

namespace inst::bundle {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 5> kPackageNames = {"Setup.ini", "pastascripts", "Audio",
                                                           "Info", "Extras"};

fs::path ToPath(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string Text(const fs::path& path) {
  const std::u8string u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    return up(x) == up(y);
  });
}

class FileSource final : public ByteSource {
 public:
  explicit FileSource(const fs::path& path) : in_(path, std::ios::binary) {
    if (in_.seekg(0, std::ios::end)) size_ = static_cast<std::uint64_t>(in_.tellg());
  }
  bool open() const { return static_cast<bool>(in_); }
  std::uint64_t size() const override { return size_; }
  bool read(std::uint64_t offset, void* into, std::size_t count) override {
    in_.clear();
    return in_.seekg(static_cast<std::streamoff>(offset)) &&
           in_.read(static_cast<char*>(into), static_cast<std::streamsize>(count)) &&
           static_cast<std::size_t>(in_.gcount()) == count;
  }

 private:
  std::ifstream in_;
  std::uint64_t size_ = 0;
};

// The payload's own failures name the executable; the others name their file already.
Status Named(Status s, const std::string& executable) {
  return s || !s.path().empty() ? s : Status::failure(executable, s.reason());
}

Status Open(FileSource& source, const std::string& executable, Payload& payload) {
  if (!source.open()) return Status::failure(executable, "não foi possível ler o programa");
  return Named(LocatePayload(source, payload), executable);
}

struct Item {
  std::string name;
  fs::path path;
  bool folder;
};

// The package's files in a fixed order (folders before what they hold, names ordinal), each
// name one that unpacks anywhere. Links to files are read as files; a link to a folder could
// loop, and a device or pipe is no package file.
Status Collect(const fs::path& path, const std::string& name, std::vector<Item>& items) {
  std::error_code ec;
  const fs::file_status link = fs::symlink_status(path, ec), target = fs::status(path, ec);
  const bool folder = fs::is_directory(target) && !fs::is_symlink(link);
  if (!folder && !fs::is_regular_file(target))
    return Status::failure(Text(path),
                           "não é um arquivo comum nem uma pasta; não pode ir no pacote");
  if (const std::string problem = NameProblem(name, folder); !problem.empty())
    return Status::failure(Text(path), "este nome não pode ir no pacote (" + problem + ")");
  if (items.size() >= kMaxEntries)
    return Status::failure(
        Text(path), "arquivos demais para um pacote (mais de " + std::to_string(kMaxEntries) + ")");
  items.push_back({name, path, folder});
  if (!folder) return Status::success();
  std::vector<fs::path> children;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
    children.push_back(it->path());
  if (ec) return Status::failure(Text(path), ec.message());
  std::sort(children.begin(), children.end());
  for (const fs::path& child : children)
    if (Status s = Collect(child, name + "/" + Text(child.filename()), items); !s) return s;
  return Status::success();
}

Status CollectPackage(const std::string& packageFolder, std::vector<Item>& items) {
  const fs::path root = ToPath(packageFolder);
  std::error_code ec;
  std::vector<fs::path> top;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
    top.push_back(it->path());
  if (ec) return Status::failure(packageFolder, "não foi possível ler a pasta do pacote");
  std::sort(top.begin(), top.end());
  for (std::string_view wanted : kPackageNames) {
    auto found = std::find_if(top.begin(), top.end(), [&](const fs::path& p) {
      return SameName(Text(p.filename()), wanted);
    });
    if (found != top.end()) {
      if (Status s = Collect(*found, Text(found->filename()), items); !s) return s;
    } else if (wanted == kPackageNames.front()) {
      return Status::failure(Text(root / "Setup.ini"), "o pacote não tem Setup.ini");
    }
  }
  return Status::success();
}

// The executable's own bytes, without a package it carries or a signature: a signature would
// no longer match, and its header entry would point into the new package.
Status CopyProgram(FileSource& program, const std::string& executable, std::ostream& out) {
  Payload payload;
  if (Status s = Named(LocatePayload(program, payload), executable); !s) return s;
  const ExecutableLayout layout = ReadExecutableLayout(program);
  const std::uint64_t end = payload.present        ? payload.begin
                            : layout.signatureSize ? layout.signatureOffset
                                                   : program.size();
  std::vector<char> buffer(64 * 1024);
  for (std::uint64_t done = 0; done < end;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(end - done, buffer.size()));
    if (!program.read(done, buffer.data(), n))
      return Status::failure(executable, "não foi possível ler o programa");
    out.write(buffer.data(), static_cast<std::streamsize>(n));
    done += n;
  }
  const char zeros[8] = {};
  char entry[8] = {};
  if (layout.securityEntry != 0 && layout.securityEntry + 8 <= end &&
      program.read(layout.securityEntry, entry, 8) && std::memcmp(entry, zeros, 8) != 0) {
    out.seekp(static_cast<std::streamoff>(layout.securityEntry)).write(zeros, 8);
    out.seekp(static_cast<std::streamoff>(layout.checksumField)).write(zeros, 4);
    out.seekp(0, std::ios::end);
  }
  return Status::success();
}

}  // namespace

Status FindPackage(const std::string& executable, bool& carries) {
  FileSource source(ToPath(executable));
  Payload payload;
  const Status s = Open(source, executable, payload);
  carries = s && payload.present;
  return s;
}

Status ListPackage(const std::string& executable, std::vector<PackageEntry>& entries) {
  entries.clear();
  FileSource source(ToPath(executable));
  Payload payload;
  if (Status s = Open(source, executable, payload); !s || !payload.present) return s;
  return Named(WalkEntries(source, payload,
                           [&](const Entry& e) {
                             entries.push_back({e.name, e.folder, e.size});
                             return CopyEntry(source, e, nullptr);
                           }),
               executable);
}

Status UnpackPackage(const std::string& executable, const std::string& folder) {
  FileSource source(ToPath(executable));
  if (!source.open()) return Status::failure(executable, "não foi possível ler o programa");
  return Named(Unpack(source, ToPath(folder)), executable);
}

namespace {

// What the output must not be. Replacing the program being copied would lose it (and a
// running one, on POSIX, would go on running from a deleted file); a read-only file is refused
// as Windows refuses to replace it, on every platform.
Status Refused(const std::string& executable, const std::string& output) {
  const fs::path target = ToPath(output);
  std::error_code ec;
  const fs::path folder = target.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, ec))
    return Status::failure(output, "a pasta onde gravar não existe");
  const fs::file_status st = fs::status(target, ec);
  if (!fs::exists(st)) return Status::success();
  if (fs::equivalent(target, ToPath(executable), ec))
    return Status::failure(output, "é o próprio programa que seria copiado; escolha outro nome");
  if (fs::is_directory(st)) return Status::failure(output, "é uma pasta");
  constexpr fs::perms write =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((st.permissions() & write) == fs::perms::none)
    return Status::failure(output, "o arquivo é somente leitura");
  return Status::success();
}

}  // namespace

Status WriteBundle(const std::string& executable, const std::string& packageFolder,
                   const std::string& output) {
  if (Status s = Refused(executable, output); !s) return s;
  std::vector<Item> items;
  if (Status s = CollectPackage(packageFolder, items); !s) return s;
  FileSource program(ToPath(executable));
  if (!program.open()) return Status::failure(executable, "não foi possível ler o programa");

  // Written beside the target and renamed over it, so a failure leaves no half a bundle.
  const fs::path target = ToPath(output);
  fs::path partial = target;
  partial += ".parcial";
  Status result = [&] {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return Status::failure(Text(partial), "não foi possível criar o arquivo");
    if (Status s = CopyProgram(program, executable, out); !s) return s;
    PayloadWriter writer(out);
    for (const Item& item : items) {
      if (item.folder) {
        writer.addFolder(item.name);
        continue;
      }
      std::ifstream in(item.path, std::ios::binary);
      if (!in) return Status::failure(Text(item.path), "não foi possível ler o arquivo");
      if (!writer.addFile(item.name, in)) return Status::failure(Text(item.path), writer.error());
    }
    if (!writer.finish() || !out.flush())
      return Status::failure(Text(partial),
                             writer.error().empty() ? "erro de escrita" : writer.error());
    return Status::success();
  }();
  std::error_code ec;
  if (result) {
    // Runnable as the program it copies is.
    fs::permissions(partial, fs::status(ToPath(executable), ec).permissions(), ec);
    fs::rename(partial, target, ec);
    if (ec) result = Status::failure(output, ec.message());
  }
  if (!result) fs::remove(partial, ec);
  return result;
}

}  // namespace inst::bundle
