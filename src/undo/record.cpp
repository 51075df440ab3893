#include "undo/record.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "text/ascii.h"
#include "text/lines.h"
#include "text/numbers.h"

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
      out += '%';
      out += "0123456789ABCDEF"[c >> 4];
      out += "0123456789ABCDEF"[c & 0xF];
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
                  std::vector<std::pair<std::string, std::string>>& copies,
                  std::pair<std::string, std::string>* failed) {
  struct Planned final : CopyWatcher {
    std::vector<std::pair<std::string, std::string>>& copies;
    std::pair<std::string, std::string>* failed;
    Planned(std::vector<std::pair<std::string, std::string>>& out,
            std::pair<std::string, std::string>* f)
        : copies(out), failed(f) {}
    void fileCopied(const std::string& from, const std::string& to, const Status& r) override {
      if (r) {
        copies.emplace_back(from, to);
      } else if (failed != nullptr && failed->second.empty()) {
        *failed = {from, to};
      }
    }
  } planned(copies, failed);
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

std::string FormatHeader(const std::string& started, const std::string& packageId) {
  std::string out =
      "; instalador: o que esta instalação mudou. Os arquivos que ela substituiu estão "
      "guardados\r\n"
      "; ao lado deste, cada um na pasta do seu idioma.\r\n"
      "[Run]\r\nStarted=" +
      Escaped(started) + "\r\n";
  if (!packageId.empty()) out += "Id=" + Escaped(packageId) + "\r\n";
  return out;
}

namespace {

std::string DigestText(const FileDigest& d) {
  std::string text;
  AppendPadded(text, d.size, 0);
  text += ' ';
  AppendPadded(text, d.hash, 16, 16);
  return text;
}

// "<size> <hash>" at the start of `value`; `rest` is what follows the blank after the hash.
bool ParseDigest(std::string_view value, FileDigest& out, std::string_view* rest) {
  const std::size_t a = value.find(' ');
  if (a == std::string_view::npos || !ParseDecimal(value.substr(0, a), out.size)) return false;
  std::size_t b = value.find(' ', a + 1);
  if (rest == nullptr) {
    if (b != std::string_view::npos) return false;
    b = value.size();
  } else if (b == std::string_view::npos) {
    return false;
  } else {
    *rest = value.substr(b + 1);
  }
  return ParseHex64(value.substr(a + 1, b - a - 1), out.hash);
}

bool HasLineBreakOrNul(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

std::string FormatFolder(const FolderChanges& folder) {
  std::string out = "\r\n[" + Escaped(folder.name) + "]\r\nFolder=" + Escaped(folder.path) + "\r\n";
  if (folder.putBack) out += "PutBack=1\r\n";
  std::size_t replaced = 0, created = 0;
  for (const FileChange& f : folder.files) {
    const std::string name = f.replaced ? "Replaced" + std::to_string(++replaced)
                                        : "Created" + std::to_string(++created);
    out += name + "=" + (f.replaced ? DigestText(f.kept) + " " : std::string()) + Escaped(f.path) +
           "\r\n";
    if (f.wrote) out += name + ".Wrote=" + DigestText(*f.wrote) + "\r\n";
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
    if (e.wrote) out += name + ".New=" + Escaped(*e.wrote) + "\r\n";
  }
  return out;
}

std::string FormatUndone(const std::string& name, const std::vector<const FileChange*>& files,
                         const std::vector<const EntryChange*>& entries) {
  std::string out = "\r\n[" + Escaped(name) + "]\r\n";
  for (const FileChange* f : files)
    out += (f->replaced ? "Replaced" : "Created") + std::to_string(f->number) + ".Undone=1\r\n";
  for (const EntryChange* e : entries) out += "Entry" + std::to_string(e->number) + ".Undone=1\r\n";
  return out;
}

std::string FormatRecord(const RunRecord& record) {
  std::string out = FormatHeader(record.started, record.packageId);
  for (const FolderChanges& folder : record.folders) out += FormatFolder(folder);
  return out;
}

RunRecord ParseRecord(std::string_view text, std::vector<std::string>& skipped) {
  RunRecord record;
  // Every lookup below is by number or name in a map: a record of hundreds of thousands of lines
  // is read in one pass, not searched once per line.
  struct Pending {
    EntryChange entry;
    bool hasFile = false, hasSection = false, hasKey = false;
  };
  struct Folder {
    std::map<std::uint64_t, std::size_t> replaced, created;  // number -> index in files
    std::map<std::uint64_t, Pending> entries;
  };
  std::vector<Folder> state;                  // beside record.folders
  std::map<std::string, std::size_t> byName;  // upper-cased name -> index
  std::size_t current = 0;
  bool inFolder = false, inRun = false;

  std::size_t start = 0;
  while (start < text.size()) {
    const std::string_view line = NextLine(text, start);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      inFolder = inRun = false;
      std::string name;
      if (line.back() != ']' || !Unescaped(line.substr(1, line.size() - 2), name) || name.empty()) {
        skipped.push_back(std::string(line));
        continue;
      }
      inRun = ascii::EqualIgnoringCase(name, "Run");
      if (!inRun) {
        const auto [at, added] = byName.try_emplace(ascii::Upper(name), record.folders.size());
        if (added) {
          FolderChanges folder;
          folder.name = name;
          record.folders.push_back(std::move(folder));
          state.emplace_back();
        }
        current = at->second;
        inFolder = true;
      }
      continue;
    }
    const std::size_t equals = line.find('=');
    std::string value;
    if (equals == std::string_view::npos || !Unescaped(line.substr(equals + 1), value)) {
      skipped.push_back(std::string(line));
      // An old value that does not read is no absent one: the entry is not taken out for it.
      std::string_view word, part;
      std::uint64_t number = 0;
      if (inFolder && equals != std::string_view::npos &&
          SplitName(line.substr(0, equals), word, number, part) &&
          ascii::EqualIgnoringCase(word, "Entry") && ascii::EqualIgnoringCase(part, "Old"))
        state[current].entries[number].entry.untrusted = true;
      continue;
    }
    const std::string_view name = line.substr(0, equals);
    if (inRun) {
      if (ascii::EqualIgnoringCase(name, "Started")) record.started = value;
      if (ascii::EqualIgnoringCase(name, "Id")) record.packageId = value;
      continue;
    }
    if (!inFolder) {
      skipped.push_back(std::string(line));
      continue;
    }
    FolderChanges& folder = record.folders[current];
    Folder& st = state[current];
    if (ascii::EqualIgnoringCase(name, "Folder")) {
      folder.path = value;
      continue;
    }
    if (ascii::EqualIgnoringCase(name, "PutBack")) {
      folder.putBack = value == "1";
      continue;
    }
    std::string_view word, part;
    std::uint64_t number = 0;
    bool trusted = SplitName(name, word, number, part);
    const bool replaced = trusted && ascii::EqualIgnoringCase(word, "Replaced");
    if (trusted && (replaced || ascii::EqualIgnoringCase(word, "Created"))) {
      auto& numbers = replaced ? st.replaced : st.created;
      auto known = numbers.find(number);
      if (part.empty()) {
        // "<size> <hash> <path>" for a file replaced, "<path>" for one created.
        FileChange f;
        f.replaced = replaced;
        f.number = number;
        std::string_view path = value;
        trusted = known == numbers.end() && (!replaced || ParseDigest(value, f.kept, &path)) &&
                  IsInnerPath(path);
        if (trusted) {
          f.path = std::string(path);
          numbers.emplace(number, folder.files.size());
          folder.files.push_back(std::move(f));
        }
      } else if (known == numbers.end()) {
        trusted = false;
      } else if (ascii::EqualIgnoringCase(part, "Wrote")) {
        FileDigest d;
        trusted = ParseDigest(value, d, nullptr);
        if (trusted) folder.files[known->second].wrote = d;
      } else if (ascii::EqualIgnoringCase(part, "Undone")) {
        folder.files[known->second].undone = value == "1";
      } else {
        trusted = false;
      }
    } else if (trusted && part.empty() && ascii::EqualIgnoringCase(word, "NewFolder")) {
      trusted = IsInnerPath(value);
      if (trusted) folder.newFolders.push_back(value);
    } else if (trusted && ascii::EqualIgnoringCase(word, "Entry")) {
      Pending& p = st.entries[number];
      p.entry.number = number;
      if (part.empty()) {
        p.entry.file = value;
        p.hasFile = true;
      } else if (ascii::EqualIgnoringCase(part, "Section")) {
        p.entry.section = value;
        p.hasSection = true;
      } else if (ascii::EqualIgnoringCase(part, "Key")) {
        p.entry.key = value;
        p.hasKey = true;
      } else if (ascii::EqualIgnoringCase(part, "Old")) {
        // An INI line cannot hold a line break or a NUL: such an old value was never read from
        // one, and written back it would split the entry into others.
        trusted = !HasLineBreakOrNul(value);
        p.entry.untrusted = p.entry.untrusted || !trusted;
        p.entry.old = value;
      } else if (ascii::EqualIgnoringCase(part, "New")) {
        trusted = !HasLineBreakOrNul(value);
        if (trusted) p.entry.wrote = value;
      } else if (ascii::EqualIgnoringCase(part, "Undone")) {
        p.entry.undone = value == "1";
      } else {
        trusted = false;
      }
    } else {
      trusted = false;
    }
    if (!trusted) skipped.push_back(std::string(line));
  }
  for (std::size_t i = 0; i < state.size(); ++i) {
    for (auto& [number, p] : state[i].entries) {
      if (p.hasFile && p.hasSection && p.hasKey) {
        record.folders[i].entries.push_back(std::move(p.entry));
      } else {
        skipped.push_back("Entry" + std::to_string(number) + " de [" + record.folders[i].name +
                          "] está incompleta");
      }
    }
  }
  return record;
}

}  // namespace inst::undo
