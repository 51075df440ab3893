#include "undo/record.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "text/ascii.h"
#include "text/lines.h"

namespace inst::undo {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

// Values go on one line each: a line break, any other control byte and "%" itself are written
// as %HH.
std::string Escaped(std::string_view value) {
  std::string out;
  for (unsigned char c : value) {
    if (c < 0x20 || c == 0x7f || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = ascii::ToUpper(c);
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

bool Unescaped(std::string_view value, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '%') {
      out += value[i];
      continue;
    }
    if (i + 2 >= value.size()) return false;
    const int high = HexDigit(value[i + 1]), low = HexDigit(value[i + 2]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool ParseHex64(std::string_view text, std::uint64_t& out) {
  if (text.empty() || text.size() > 16) return false;
  out = 0;
  for (char c : text) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    out = out * 16 + static_cast<std::uint64_t>(d);
  }
  return true;
}

bool ParseDecimal(std::string_view text, std::uint64_t& out) {
  if (text.empty() || text.size() > 19) return false;
  out = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

// "Replaced12" -> ("Replaced", 12, ""), "Entry3.Key" -> ("Entry", 3, "Key").
bool SplitName(std::string_view name, std::string_view& word, std::uint64_t& number,
               std::string_view& part) {
  std::size_t digits = 0;
  while (digits < name.size() && !(name[digits] >= '0' && name[digits] <= '9')) ++digits;
  word = name.substr(0, digits);
  std::size_t end = name.find('.', digits);
  if (end == std::string_view::npos) end = name.size();
  part = end < name.size() ? name.substr(end + 1) : std::string_view();
  return !word.empty() && ParseDecimal(name.substr(digits, end - digits), number) && number > 0;
}

// A path inside a language folder that stays inside it: relative, no "." or ".." component.
bool IsInnerPath(std::string_view path) {
  if (path.empty() || path.find(':') != std::string_view::npos) return false;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

Status Digest(FileSystem& fs, const std::string& path, FileDigest& out) {
  out = {};
  out.hash = kFnvOffset;
  std::unique_ptr<FileReader> reader;
  if (Status st = fs.openRead(path, reader); !st) return st;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  for (;;) {
    std::size_t got = 0;
    if (Status st = reader->read(buffer.get(), kChunk, got); !st) return st;
    if (got == 0) return Status::success();
    out.size += got;
    for (std::size_t i = 0; i < got; ++i) {
      out.hash ^= static_cast<unsigned char>(buffer[i]);
      out.hash *= kFnvPrime;
    }
  }
}

Status PlanCopies(FileSystem& fs, const std::string& source, const std::string& destination,
                  std::vector<std::pair<std::string, std::string>>& copies) {
  struct Planned final : CopyWatcher {
    std::vector<std::pair<std::string, std::string>>& copies;
    explicit Planned(std::vector<std::pair<std::string, std::string>>& out) : copies(out) {}
    void fileCopied(const std::string& from, const std::string& to, const Status& r) override {
      if (r) copies.emplace_back(from, to);
    }
  } planned(copies);
  copies.clear();
  return fs.copyFolderWatched(source, destination, planned, true);
}

Status SameBytes(FileSystem& fs, const std::string& a, const std::string& b, bool& same) {
  same = false;
  std::unique_ptr<FileReader> first, second;
  if (Status st = fs.openRead(a, first); !st) return st;
  if (Status st = fs.openRead(b, second); !st) return st;
  std::unique_ptr<char[]> one(new char[kChunk]), two(new char[kChunk]);
  for (;;) {
    std::size_t gotOne = 0, gotTwo = 0;
    if (Status st = first->read(one.get(), kChunk, gotOne); !st) return st;
    // The second file is read until it has as many bytes as the first, or ends.
    while (gotTwo < gotOne) {
      std::size_t got = 0;
      if (Status st = second->read(two.get() + gotTwo, gotOne - gotTwo, got); !st) return st;
      if (got == 0) break;
      gotTwo += got;
    }
    if (gotTwo != gotOne || std::memcmp(one.get(), two.get(), gotOne) != 0)
      return Status::success();
    if (gotOne == 0) {
      // The first has ended: the two are the same only if the second has too.
      std::size_t more = 0;
      if (Status st = second->read(two.get(), 1, more); !st) return st;
      same = more == 0;
      return Status::success();
    }
  }
}

std::string FormatHeader(const std::string& started) {
  return "; instalador: o que esta instalação mudou. Os arquivos que ela substituiu estão "
         "guardados\r\n"
         "; ao lado deste, cada um na pasta do seu idioma.\r\n"
         "[Run]\r\nStarted=" +
         Escaped(started) + "\r\n";
}

std::string FormatFolder(const FolderChanges& folder) {
  char hex[40];
  std::string out = "\r\n[" + Escaped(folder.name) + "]\r\nFolder=" + Escaped(folder.path) + "\r\n";
  if (folder.putBack) out += "PutBack=1\r\n";
  std::size_t replaced = 0, created = 0;
  for (const FileChange& f : folder.files) {
    if (f.replaced) {
      std::snprintf(hex, sizeof hex, "%llu %016llx ", static_cast<unsigned long long>(f.kept.size),
                    static_cast<unsigned long long>(f.kept.hash));
      out += "Replaced" + std::to_string(++replaced) + "=" + hex + Escaped(f.path) + "\r\n";
    } else {
      out += "Created" + std::to_string(++created) + "=" + Escaped(f.path) + "\r\n";
    }
  }
  std::size_t n = 0;
  for (const std::string& f : folder.newFolders)
    out += "NewFolder" + std::to_string(++n) + "=" + Escaped(f) + "\r\n";
  n = 0;
  for (const EntryChange& e : folder.entries) {
    const std::string name = "Entry" + std::to_string(++n);
    out += name + "=" + Escaped(e.file) + "\r\n" + name + ".Section=" + Escaped(e.section) +
           "\r\n" + name + ".Key=" + Escaped(e.key) + "\r\n";
    if (e.old) out += name + ".Old=" + Escaped(*e.old) + "\r\n";
  }
  return out;
}

std::string FormatRecord(const RunRecord& record) {
  std::string out = FormatHeader(record.started);
  for (const FolderChanges& folder : record.folders) out += FormatFolder(folder);
  return out;
}

RunRecord ParseRecord(std::string_view text, std::vector<std::string>& skipped) {
  RunRecord record;
  FolderChanges* folder = nullptr;
  bool inRun = false;
  // Entries by their number in the current folder; one without its file, section or key is
  // dropped at the end.
  struct Pending {
    std::uint64_t number;
    EntryChange entry;
    bool hasFile = false, hasSection = false, hasKey = false;
  };
  std::vector<Pending> pending;
  const auto finishFolder = [&] {
    if (folder == nullptr) return;
    for (Pending& p : pending) {
      if (p.hasFile && p.hasSection && p.hasKey) {
        folder->entries.push_back(std::move(p.entry));
      } else {
        skipped.push_back("Entry" + std::to_string(p.number) + " de [" + folder->name +
                          "] está incompleta");
      }
    }
    pending.clear();
  };

  std::size_t start = 0;
  while (start < text.size()) {
    const std::string_view line = NextLine(text, start);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      finishFolder();
      folder = nullptr;
      std::string name;
      if (line.back() != ']' || !Unescaped(line.substr(1, line.size() - 2), name) || name.empty()) {
        skipped.push_back(std::string(line));
        inRun = false;
        continue;
      }
      inRun = ascii::EqualIgnoringCase(name, "Run");
      if (!inRun) folder = &record.folders.emplace_back(FolderChanges{name, {}, {}, {}, {}, false});
      continue;
    }
    const std::size_t equals = line.find('=');
    std::string value;
    if (equals == std::string_view::npos || !Unescaped(line.substr(equals + 1), value)) {
      skipped.push_back(std::string(line));
      continue;
    }
    const std::string_view name = line.substr(0, equals);
    if (inRun) {
      if (ascii::EqualIgnoringCase(name, "Started")) record.started = value;
      continue;
    }
    if (folder == nullptr) {
      skipped.push_back(std::string(line));
      continue;
    }
    if (ascii::EqualIgnoringCase(name, "Folder")) {
      folder->path = value;
      continue;
    }
    if (ascii::EqualIgnoringCase(name, "PutBack")) {
      folder->putBack = value == "1";
      continue;
    }
    std::string_view word, part;
    std::uint64_t number = 0;
    bool trusted = SplitName(name, word, number, part);
    if (trusted && part.empty() && ascii::EqualIgnoringCase(word, "Replaced")) {
      // "<size> <hash> <path>"
      const std::size_t a = value.find(' '), b = value.find(' ', a + 1);
      FileChange f{true, {}, {}};
      trusted = a != std::string::npos && b != std::string::npos &&
                ParseDecimal(std::string_view(value).substr(0, a), f.kept.size) &&
                ParseHex64(std::string_view(value).substr(a + 1, b - a - 1), f.kept.hash);
      if (trusted) f.path = value.substr(b + 1);
      trusted = trusted && IsInnerPath(f.path);
      if (trusted) folder->files.push_back(std::move(f));
    } else if (trusted && part.empty() && ascii::EqualIgnoringCase(word, "Created")) {
      trusted = IsInnerPath(value);
      if (trusted) folder->files.push_back(FileChange{false, value, {}});
    } else if (trusted && part.empty() && ascii::EqualIgnoringCase(word, "NewFolder")) {
      trusted = IsInnerPath(value);
      if (trusted) folder->newFolders.push_back(value);
    } else if (trusted && ascii::EqualIgnoringCase(word, "Entry")) {
      Pending* p = nullptr;
      for (Pending& each : pending)
        if (each.number == number) p = &each;
      if (p == nullptr) p = &pending.emplace_back(Pending{number, {}});
      if (part.empty()) {
        p->entry.file = value;
        p->hasFile = true;
      } else if (ascii::EqualIgnoringCase(part, "Section")) {
        p->entry.section = value;
        p->hasSection = true;
      } else if (ascii::EqualIgnoringCase(part, "Key")) {
        p->entry.key = value;
        p->hasKey = true;
      } else if (ascii::EqualIgnoringCase(part, "Old")) {
        p->entry.old = value;
      } else {
        trusted = false;
      }
    } else {
      trusted = false;
    }
    if (!trusted) skipped.push_back(std::string(line));
  }
  finishFolder();
  return record;
}

}  // namespace inst::undo
