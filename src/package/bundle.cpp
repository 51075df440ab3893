#include "package/bundle.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "package/bundle_payload.h"
#include "platform/plain_files.h"

namespace inst::bundle {
namespace {

constexpr std::array<std::string_view, 5> kPackageNames = {"Setup.ini", "pastascripts", "Audio",
                                                           "Info", "Extras"};

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    return up(x) == up(y);
  });
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder + files::kSeparator + name;
}

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
  std::string path;
  bool folder;
};

// The package's files in a fixed order (folders before what they hold, names ordinal), each
// name one that unpacks anywhere. Links to files are read as files; a link to a folder could
// loop, and a device or pipe is no package file.
Status Collect(const std::string& path, const std::string& name, std::vector<Item>& items) {
  const files::Kind kind = files::KindOf(path, false);
  const bool folder = kind == files::Kind::Folder;
  if (!folder && files::KindOf(path, true) != files::Kind::File)
    return Status::failure(path, "não é um arquivo comum nem uma pasta; não pode ir no pacote");
  if (const std::string problem = NameProblem(name, folder); !problem.empty())
    return Status::failure(path, "este nome não pode ir no pacote (" + problem + ")");
  if (items.size() >= kMaxEntries)
    return Status::failure(
        path, "arquivos demais para um pacote (mais de " + std::to_string(kMaxEntries) + ")");
  items.push_back({name, path, folder});
  if (!folder) return Status::success();
  std::vector<std::string> children;
  if (Status s = files::List(path, children); !s) return s;
  std::sort(children.begin(), children.end());
  for (const std::string& child : children)
    if (Status s = Collect(Join(path, child), name + "/" + child, items); !s) return s;
  return Status::success();
}

Status CollectPackage(const std::string& packageFolder, std::vector<Item>& items) {
  std::vector<std::string> top;
  if (!files::List(packageFolder, top))
    return Status::failure(packageFolder, "não foi possível ler a pasta do pacote");
  std::sort(top.begin(), top.end());
  for (std::string_view wanted : kPackageNames) {
    auto found = std::find_if(top.begin(), top.end(),
                              [&](const std::string& name) { return SameName(name, wanted); });
    if (found != top.end()) {
      if (Status s = Collect(Join(packageFolder, *found), *found, items); !s) return s;
    } else if (wanted == kPackageNames.front()) {
      return Status::failure(Join(packageFolder, "Setup.ini"), "o pacote não tem Setup.ini");
    }
  }
  return Status::success();
}

// The executable's own bytes, without a package it carries or a signature: a signature would
// no longer match, and its header entry would point into the new package.
Status CopyProgram(FileSource& program, const std::string& executable, ByteSink& out) {
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
    if (!out.write(buffer.data(), n)) return Status::failure("", "erro de escrita");
    done += n;
  }
  const char zeros[8] = {};
  char entry[8] = {};
  if (layout.securityEntry != 0 && layout.securityEntry + 8 <= end &&
      program.read(layout.securityEntry, entry, 8) && std::memcmp(entry, zeros, 8) != 0 &&
      !(out.rewrite(layout.securityEntry, zeros, 8) && out.rewrite(layout.checksumField, zeros, 4)))
    return Status::failure("", "erro de escrita");
  return Status::success();
}

}  // namespace

Status FindPackage(const std::string& executable, bool& carries) {
  FileSource source(executable);
  Payload payload;
  const Status s = Open(source, executable, payload);
  carries = s && payload.present;
  return s;
}

Status ListPackage(const std::string& executable, std::vector<PackageEntry>& entries) {
  entries.clear();
  FileSource source(executable);
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
  FileSource source(executable);
  if (!source.open()) return Status::failure(executable, "não foi possível ler o programa");
  return Named(Unpack(source, folder), executable);
}

namespace {

// What the output must not be. Replacing the program being copied would lose it (and a
// running one, on POSIX, would go on running from a deleted file); a read-only file is refused
// as Windows refuses to replace it, on every platform.
Status Refused(const std::string& executable, const std::string& output) {
  const std::size_t cut = output.find_last_of(std::string("/") + files::kSeparator);
  const std::string folder = cut == std::string::npos ? "" : output.substr(0, cut + 1);
  if (!folder.empty() && files::KindOf(folder, true) != files::Kind::Folder)
    return Status::failure(output, "a pasta onde gravar não existe");
  const files::Kind kind = files::KindOf(output, true);
  if (kind == files::Kind::Missing) return Status::success();
  if (files::SameFile(output, executable))
    return Status::failure(output, "é o próprio programa que seria copiado; escolha outro nome");
  if (kind == files::Kind::Folder) return Status::failure(output, "é uma pasta");
  if (files::ReadOnly(output)) return Status::failure(output, "o arquivo é somente leitura");
  return Status::success();
}

}  // namespace

Status WriteBundle(const std::string& executable, const std::string& packageFolder,
                   const std::string& output) {
  if (Status s = Refused(executable, output); !s) return s;
  std::vector<Item> items;
  if (Status s = CollectPackage(packageFolder, items); !s) return s;
  FileSource program(executable);
  if (!program.open()) return Status::failure(executable, "não foi possível ler o programa");

  // Written beside the target and renamed over it, so a failure leaves no half a bundle.
  const std::string partial = output + ".parcial";
  FileSink out(partial);
  Status result = [&] {
    if (!out.open()) return Status::failure(partial, "não foi possível criar o arquivo");
    if (Status s = CopyProgram(program, executable, out); !s)
      return s.path().empty() ? Status::failure(partial, s.reason()) : s;
    PayloadWriter writer(out);
    for (const Item& item : items) {
      if (item.folder) {
        writer.addFolder(item.name);
        continue;
      }
      FileSource in(item.path);
      if (!in.open()) return Status::failure(item.path, "não foi possível ler o arquivo");
      if (!writer.addFile(item.name, in)) return Status::failure(item.path, writer.error());
    }
    if (!writer.finish())
      return Status::failure(partial, writer.error().empty() ? "erro de escrita" : writer.error());
    return Status::success();
  }();
  if (!out.close() && result) result = Status::failure(partial, "erro de escrita");
  if (result) {
    // Runnable as the program it copies is.
    files::CopyRunPermission(executable, partial);
    result = files::Rename(partial, output);
  }
  if (!result) (void)files::RemoveTree(partial);
  return result;
}

}  // namespace inst::bundle
