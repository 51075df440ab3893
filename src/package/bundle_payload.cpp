#include "package/bundle_payload.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/plain_files.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace inst::bundle {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kLocalHeader = 30, kCentralHeader = 46, kEndRecord = 22;
constexpr std::uint32_t kLocalSig = 0x04034b50, kCentralSig = 0x02014b50, kEndSig = 0x06054b50;
constexpr std::uint16_t kUtf8Flag = 0x0800;
// 2.0, made on Unix so that the external attributes carry a mode that ZIP tools restore.
constexpr std::uint16_t kVersion = 20, kMadeBy = (3 << 8) | 20;
constexpr std::uint16_t kDosDate1980 = (0 << 9) | (1 << 5) | 1;  // fixed: the same package
                                                                 // gives the same bytes
// The trailer is the end record's comment, so the archive stays a well-formed ZIP to its last
// byte and ZIP tools show it as readable text.
constexpr std::string_view kTrailerTag = "INSTALADOR-PACOTE 1 ";
constexpr std::size_t kTrailer = kTrailerTag.size() + 16 + 1 + 16 + 1;

// The package's own top-level names; nothing else travels in a bundle.
constexpr std::string_view kSetupIni = "SETUP.INI";
constexpr std::array<std::string_view, 4> kPackageFolders = {"PASTASCRIPTS", "AUDIO", "INFO",
                                                             "EXTRAS"};

std::uint16_t Get16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t Get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(Get16(p)) | static_cast<std::uint32_t>(Get16(p + 2)) << 16;
}
std::uint64_t Get64(const unsigned char* p) {
  return static_cast<std::uint64_t>(Get32(p)) | static_cast<std::uint64_t>(Get32(p + 4)) << 32;
}
void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

Status Damaged(const std::string& detail) {
  return Status::failure("", "o pacote que este programa traz está danificado ou incompleto (" +
                                 detail + "); obtenha uma nova cópia do instalador");
}

bool ReadAt(ByteSource& source, std::uint64_t offset, void* into, std::size_t count) {
  return offset <= source.size() && count <= source.size() - offset &&
         source.read(offset, into, count);
}

bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80         ? 1
                          : (c >> 5) == 6  ? 2
                          : (c >> 4) == 14 ? 3
                          : (c >> 3) == 30 ? 4
                                           : 0;
    if (n == 0 || (n == 2 && c < 0xC2) || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n;
  }
  return true;
}

bool ReservedOnWindows(std::string_view component) {
  const std::string base = Upper(component.substr(0, component.find('.')));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

bool ParseHex(std::string_view text, std::uint64_t& value) {
  value = 0;
  for (char c : text) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) return false;
    value = value << 4 | static_cast<std::uint64_t>(digit);
  }
  return true;
}

std::string Hex16(std::uint64_t v) {
  std::string s(16, '0');
  for (int i = 15; i >= 0; --i, v >>= 4)
    s[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[v & 15];
  return s;
}

// Where a PE's or an ELF's own bytes end, from its headers; what follows is appended data.
void ReadPe(ByteSource& source, ExecutableLayout& layout) {
  unsigned char dos[64], coff[24];
  if (!ReadAt(source, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return;
  const std::uint64_t pe = Get32(dos + 0x3C);
  if (!ReadAt(source, pe, coff, sizeof coff) || std::memcmp(coff, "PE\0\0", 4) != 0) return;
  const std::uint16_t sections = Get16(coff + 6), optionalSize = Get16(coff + 20);
  const std::uint64_t optional = pe + 24;
  unsigned char opt[240] = {};
  if (optionalSize < 96 ||
      !ReadAt(source, optional, opt, std::min<std::size_t>(optionalSize, sizeof opt)))
    return;
  const bool plus = Get16(opt) == 0x20b;
  if (!plus && Get16(opt) != 0x10b) return;
  const std::size_t directories = plus ? 112 : 96;
  std::uint64_t end = Get32(opt + 60);  // SizeOfHeaders
  for (std::uint16_t i = 0; i < sections; ++i) {
    unsigned char section[40];
    if (!ReadAt(source, optional + optionalSize + 40u * i, section, sizeof section)) return;
    if (Get32(section + 16) != 0)
      end = std::max<std::uint64_t>(end, Get32(section + 20) + std::uint64_t{Get32(section + 16)});
  }
  // Unstripped MinGW programs keep their COFF symbols and strings after the sections.
  if (const std::uint64_t symbols = Get32(coff + 12); symbols != 0) {
    const std::uint64_t strings = symbols + 18ull * Get32(coff + 16);
    unsigned char length[4];
    end = std::max(end, ReadAt(source, strings, length, 4) ? strings + Get32(length) : strings);
  }
  layout.imageEnd = std::min(end, source.size());
  layout.checksumField = optional + 64;
  if (optionalSize >= directories + 5 * 8 && Get32(opt + directories - 4) > 4) {
    layout.securityEntry = optional + directories + 4 * 8;
    const std::uint64_t offset = Get32(opt + directories + 32),
                        size = Get32(opt + directories + 36);
    // Signing puts the table last (the file padded to 8 bytes first); one elsewhere is not ours
    // to step over.
    if (size != 0 && offset >= layout.imageEnd && offset + size <= source.size() &&
        source.size() - (offset + size) < 8) {
      layout.signatureOffset = offset;
      layout.signatureSize = size;
    }
  }
}

void ReadElf(ByteSource& source, ExecutableLayout& layout) {
  unsigned char h[64];
  if (!ReadAt(source, 0, h, sizeof h) ||
      std::memcmp(h,
                  "\x7f"
                  "ELF",
                  4) != 0 ||
      h[4] != 2 || h[5] != 1)
    return;  // 64-bit little-endian only: what this program is built as
  const std::uint64_t phoff = Get64(h + 0x20), shoff = Get64(h + 0x28);
  const std::uint16_t phsize = Get16(h + 0x36), phnum = Get16(h + 0x38);
  const std::uint16_t shsize = Get16(h + 0x3A), shnum = Get16(h + 0x3C);
  std::uint64_t end = 64;
  if (phnum && phsize >= 56)
    end = std::max<std::uint64_t>(end, phoff + std::uint64_t{phsize} * phnum);
  if (shnum && shsize >= 64)
    end = std::max<std::uint64_t>(end, shoff + std::uint64_t{shsize} * shnum);
  for (std::uint16_t i = 0; phsize >= 56 && i < phnum; ++i) {
    unsigned char p[56];
    if (!ReadAt(source, phoff + std::uint64_t{phsize} * i, p, sizeof p)) return;
    end = std::max(end, Get64(p + 8) + Get64(p + 32));
  }
  for (std::uint16_t i = 0; shsize >= 64 && i < shnum; ++i) {
    unsigned char s[64];
    if (!ReadAt(source, shoff + std::uint64_t{shsize} * i, s, sizeof s)) return;
    if (Get32(s + 4) != 8) end = std::max(end, Get64(s + 0x18) + Get64(s + 0x20));  // not NOBITS
  }
  layout.imageEnd = std::min(end, source.size());
}

}  // namespace

bool MemorySource::read(std::uint64_t offset, void* into, std::size_t count) {
  if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
  std::memcpy(into, bytes_.data() + offset, count);
  return true;
}

FileSource::FileSource(const std::string& path) : file_(files::Open(path, "rb")) {
  if (file_ && !files::Size(file_, size_)) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

FileSource::~FileSource() {
  if (file_) std::fclose(file_);
}

bool FileSource::read(std::uint64_t offset, void* into, std::size_t count) {
  if (!file_ || offset > size_ || count > size_ - offset) return false;
  return count == 0 || (files::Seek(file_, offset) && std::fread(into, 1, count, file_) == count);
}

bool MemorySink::write(const void* data, std::size_t count) {
  bytes_.append(static_cast<const char*>(data), count);
  return true;
}

bool MemorySink::rewrite(std::uint64_t offset, const void* data, std::size_t count) {
  if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
  std::memcpy(bytes_.data() + offset, data, count);
  return true;
}

FileSink::FileSink(const std::string& path) : file_(files::Open(path, "wb")) {}

FileSink::~FileSink() {
  if (file_) std::fclose(file_);
}

bool FileSink::write(const void* data, std::size_t count) {
  failed_ |= !file_ || std::fwrite(data, 1, count, file_) != count;
  if (!failed_) size_ += count;
  return !failed_;
}

bool FileSink::rewrite(std::uint64_t offset, const void* data, std::size_t count) {
  failed_ |= !file_ || offset > size_ || count > size_ - offset || !files::Seek(file_, offset) ||
             std::fwrite(data, 1, count, file_) != count || !files::Seek(file_, size_);
  return !failed_;
}

bool FileSink::close() {
  if (!file_) return false;
  // On the disk before the rename that puts it in place: a crash never leaves half a program
  // under the final name.
  failed_ |= std::fflush(file_) != 0;
#ifdef _WIN32
  failed_ |= _commit(_fileno(file_)) != 0;
#else
  failed_ |= fsync(fileno(file_)) != 0 && errno != EINVAL;  // EINVAL: nothing to flush to
#endif
  failed_ |= std::fclose(file_) != 0;
  file_ = nullptr;
  return !failed_;
}

std::uint32_t crc32(std::uint32_t crc, const void* data, std::size_t count) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  const auto* p = static_cast<const unsigned char*>(data);
  crc = ~crc;
  for (std::size_t i = 0; i < count; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

ExecutableLayout ReadExecutableLayout(ByteSource& source) {
  ExecutableLayout layout;
  ReadPe(source, layout);
  if (layout.imageEnd == 0) ReadElf(source, layout);
  return layout;
}

Status LocatePayload(ByteSource& source, Payload& payload) {
  payload = Payload{};
  const ExecutableLayout layout = ReadExecutableLayout(source);
  std::uint64_t end = source.size();
  if (layout.signatureSize != 0) {
    end = layout.signatureOffset;
    // The zeros a signer pads with; the trailer itself ends in a line feed.
    unsigned char byte = 0;
    for (int i = 0; i < 7 && end > 0 && ReadAt(source, end - 1, &byte, 1) && byte == 0; ++i) --end;
  }
  char trailer[kTrailer];
  std::uint64_t begin = 0, length = 0;
  const bool found = end >= kTrailer && ReadAt(source, end - kTrailer, trailer, kTrailer) &&
                     std::string_view(trailer, kTrailerTag.size()) == kTrailerTag &&
                     ParseHex(std::string_view(trailer + kTrailerTag.size(), 16), begin) &&
                     trailer[kTrailerTag.size() + 16] == ' ' &&
                     ParseHex(std::string_view(trailer + kTrailerTag.size() + 17, 16), length) &&
                     trailer[kTrailer - 1] == '\n';
  if (!found) {
    // An archive right after the program but no trailer: a bundle cut short (an interrupted
    // download), which must not run as a plain installer beside whatever lies in its folder.
    unsigned char sig[4];
    if (layout.imageEnd != 0 && ReadAt(source, layout.imageEnd, sig, 4) && Get32(sig) == kLocalSig)
      return Damaged("o final do arquivo está faltando");
    return Status::success();
  }
  if (length > end || begin != end - length || begin < layout.imageEnd ||
      length < kEndRecord + kTrailer || end - 1 > kMaxOffset)
    return Damaged("o fim do arquivo aponta para fora do pacote");
  unsigned char record[kEndRecord];
  const std::uint64_t recordAt = end - kTrailer - kEndRecord;
  if (!ReadAt(source, recordAt, record, sizeof record) || Get32(record) != kEndSig ||
      Get16(record + 4) != 0 || Get16(record + 6) != 0 || Get16(record + 8) != Get16(record + 10) ||
      Get16(record + 20) != kTrailer)
    return Damaged("o registro final do ZIP não confere");
  const std::uint64_t directory = Get32(record + 16), directorySize = Get32(record + 12);
  if (directory < begin || directory > recordAt || directorySize != recordAt - directory)
    return Damaged("o diretório do ZIP aponta para fora do pacote");
  if (Get16(record + 10) > kMaxEntries)
    return Damaged("arquivos demais: mais de " + std::to_string(kMaxEntries));
  payload = {true, begin, end, directory, directorySize, Get16(record + 10)};
  return Status::success();
}

std::string NameProblem(std::string_view name, bool folder) {
  if (name.empty()) return "nome vazio";
  if (name.size() > kMaxNameBytes) return "nome longo demais";
  if (!ValidUtf8(name)) return "nome que não é UTF-8";
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "caractere de controle no nome";
    if (std::string_view("\\:*?\"<>|").find(c) != std::string_view::npos)
      return std::string("o caractere ") + c + " não é aceito em nomes";
  }
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    const std::size_t slash = name.find('/', at);
    parts.push_back(name.substr(at, slash == std::string_view::npos ? name.npos : slash - at));
    if (slash == std::string_view::npos) break;
    at = slash + 1;
  }
  for (std::string_view part : parts) {
    if (part.empty()) return "caminho absoluto ou componente vazio";
    if (part == "." || part == "..") return "componente . ou ..";
    if (part.back() == '.' || part.back() == ' ') return "nome terminado em ponto ou espaço";
    if (ReservedOnWindows(part)) return "nome reservado do Windows";
  }
  const std::string top = Upper(parts.front());
  if (top == kSetupIni) return parts.size() == 1 && !folder ? "" : "Setup.ini deve ser um arquivo";
  if (std::find(kPackageFolders.begin(), kPackageFolders.end(), top) == kPackageFolders.end())
    return "fora das pastas do pacote";
  return parts.size() == 1 && !folder ? "as pastas do pacote não podem ser arquivos" : "";
}

Status WalkEntries(ByteSource& source, const Payload& payload,
                   const std::function<Status(const Entry&)>& each) {
  std::uint64_t at = payload.directory, previousEnd = payload.begin;
  const std::uint64_t stop = payload.directory + payload.directorySize;
  std::unordered_map<std::string, bool> seen;  // upper-cased name -> is a folder
  seen.reserve(payload.entries);
  std::string name, localName;
  for (std::uint32_t i = 0; i < payload.entries; ++i) {
    unsigned char c[kCentralHeader];
    if (at + kCentralHeader > stop || !ReadAt(source, at, c, sizeof c) || Get32(c) != kCentralSig)
      return Damaged("diretório do ZIP incompleto");
    const std::uint16_t flags = Get16(c + 8), nameSize = Get16(c + 28);
    const std::uint64_t next = at + kCentralHeader + nameSize + Get16(c + 30) + Get16(c + 32);
    if (nameSize == 0 || nameSize > kMaxNameBytes + 1 || next > stop)
      return Damaged("diretório do ZIP incompleto");
    name.resize(nameSize);
    if (!ReadAt(source, at + kCentralHeader, name.data(), nameSize))
      return Damaged("diretório do ZIP incompleto");
    Entry entry;
    entry.crc = Get32(c + 16);
    entry.size = Get32(c + 24);
    entry.folder = name.back() == '/';
    entry.name = name.substr(0, name.size() - (entry.folder ? 1 : 0));
    const std::string shown = "“" + entry.name + "”";
    if ((flags & ~kUtf8Flag) != 0 || Get16(c + 10) != 0 || Get32(c + 20) != entry.size ||
        Get16(c + 34) != 0 || (entry.folder && entry.size != 0))
      return Damaged(shown + " usa recursos do ZIP que este programa não grava");
    const std::uint32_t mode = Get32(c + 38) >> 16, type = mode & 0170000;
    const bool madeOnUnix = (Get16(c + 4) >> 8) == 3;
    if ((Get32(c + 38) & 0x400) != 0 ||
        (madeOnUnix && type != 0 && type != (entry.folder ? 0040000u : 0100000u)))
      return Damaged(shown + " é um link ou arquivo especial");
    if (const std::string problem = NameProblem(entry.name, entry.folder); !problem.empty())
      return Damaged("nome não permitido " + shown + ": " + problem);
    const std::string upper = Upper(entry.name);
    for (std::size_t slash = upper.find('/'); slash != std::string::npos;
         slash = upper.find('/', slash + 1)) {
      if (!seen.emplace(upper.substr(0, slash), true).first->second)
        return Damaged(shown + " está dentro de um arquivo");
    }
    if (auto [it, added] = seen.emplace(upper, entry.folder);
        !added && !(it->second && entry.folder))
      return Damaged(shown + " aparece duas vezes");

    const std::uint64_t local = Get32(c + 42);
    unsigned char l[kLocalHeader];
    if (local < previousEnd || !ReadAt(source, local, l, sizeof l) || Get32(l) != kLocalSig ||
        Get16(l + 6) != flags || Get16(l + 8) != 0 || Get32(l + 14) != entry.crc ||
        Get32(l + 18) != entry.size || Get32(l + 22) != entry.size || Get16(l + 26) != nameSize)
      return Damaged("o cabeçalho de " + shown + " não confere");
    localName.resize(nameSize);
    entry.data = local + kLocalHeader + nameSize + Get16(l + 28);
    if (!ReadAt(source, local + kLocalHeader, localName.data(), nameSize) || localName != name ||
        entry.data > payload.directory || entry.size > payload.directory - entry.data)
      return Damaged("o cabeçalho de " + shown + " não confere");
    previousEnd = entry.data + entry.size;
    if (Status s = each(entry); !s) return s;
    at = next;
  }
  if (at != stop) return Damaged("diretório do ZIP com bytes a mais");
  return Status::success();
}

Status CopyEntry(ByteSource& source, const Entry& entry, ByteSink* out) {
  std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(entry.size, kChunk)));
  std::uint32_t crc = 0;
  for (std::uint64_t done = 0; done < entry.size;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(entry.size - done, kChunk));
    if (!ReadAt(source, entry.data + done, buffer.data(), n))
      return Damaged("“" + entry.name + "” não pôde ser lido");
    crc = crc32(crc, buffer.data(), n);
    if (out && !out->write(buffer.data(), n))
      return Status::failure("", "não foi possível gravar o arquivo");
    done += n;
  }
  if (crc != entry.crc) return Damaged("o conteúdo de “" + entry.name + "” não confere com o CRC");
  return Status::success();
}

Status Unpack(ByteSource& source, const std::string& folder) {
  Payload payload;
  if (Status s = LocatePayload(source, payload); !s) return s;
  if (!payload.present) return Status::failure("", "este programa não traz um pacote");
  std::vector<std::string> inside;
  if (files::KindOf(folder, false) != files::Kind::Folder || !files::List(folder, inside) ||
      !inside.empty())
    return Status::failure(folder, "a pasta para o pacote não existe ou não está vazia");
  // Everything is checked before the first byte is written; the CRCs only as the bytes pass.
  if (Status s = WalkEntries(source, payload, [](const Entry&) { return Status::success(); }); !s)
    return s;
  Status result = WalkEntries(source, payload, [&](const Entry& entry) {
    // Folders come before what they hold; each part of the name is a plain one.
    std::string target = folder;
    for (std::size_t at = 0; at <= entry.name.size();) {
      std::size_t slash = entry.name.find('/', at);
      if (slash == std::string::npos) slash = entry.name.size();
      target += files::kSeparator;
      target.append(entry.name, at, slash - at);
      at = slash + 1;
      if (at <= entry.name.size() || entry.folder)
        if (Status s = files::MakeFolder(target); !s) return s;
    }
    if (entry.folder) return Status::success();
    FileSink out(target);
    if (!out.open()) return Status::failure(target, "não foi possível criar o arquivo");
    const Status copied = CopyEntry(source, entry, &out);
    if (!out.close()) return Status::failure(target, "não foi possível gravar o arquivo");
    return copied;
  });
  if (!result) {
    if (files::List(folder, inside))
      for (const std::string& name : inside)
        (void)files::RemoveTree(folder + files::kSeparator + name);
  }
  return result;
}

PayloadWriter::PayloadWriter(ByteSink& out) : out_(out), begin_(out.size()) {}

bool PayloadWriter::fail(std::string why) {
  if (error_.empty()) error_ = std::move(why);
  return false;
}

bool PayloadWriter::entry(std::string_view name, bool folder, ByteSource* in) {
  if (!error_.empty()) return false;
  if (count_ >= 0xFFFF) return fail("arquivos demais para um pacote");
  const std::uint64_t local = out_.size();
  if (local > kMaxOffset || name.size() > 0xFFFF) return fail("pacote grande demais");
  const bool ascii = std::all_of(name.begin(), name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  const std::uint16_t flags = ascii ? 0 : kUtf8Flag;
  std::string h;
  Put32(h, kLocalSig);
  Put16(h, kVersion);
  Put16(h, flags);
  Put16(h, 0);  // stored
  Put16(h, 0);
  Put16(h, kDosDate1980);
  Put32(h, 0);  // CRC and sizes, written once the bytes have passed
  Put32(h, 0);
  Put32(h, 0);
  Put16(h, static_cast<std::uint32_t>(name.size()));
  Put16(h, 0);
  h += name;
  if (!out_.write(h.data(), h.size())) return fail("erro de escrita");
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  if (in) {
    size = in->size();
    if (size > kMaxOffset) return fail("arquivo grande demais para um pacote");
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(size, kChunk)));
    for (std::uint64_t done = 0; done < size;) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, kChunk));
      if (!in->read(done, buffer.data(), n)) return fail("erro de leitura");
      crc = crc32(crc, buffer.data(), n);
      if (!out_.write(buffer.data(), n)) return fail("erro de escrita");
      done += n;
    }
    std::string sizes;
    Put32(sizes, crc);
    Put32(sizes, static_cast<std::uint32_t>(size));
    Put32(sizes, static_cast<std::uint32_t>(size));
    if (!out_.rewrite(local + 14, sizes.data(), sizes.size())) return fail("erro de escrita");
  }
  std::string& c = central_;
  Put32(c, kCentralSig);
  Put16(c, kMadeBy);
  Put16(c, kVersion);
  Put16(c, flags);
  Put16(c, 0);
  Put16(c, 0);
  Put16(c, kDosDate1980);
  Put32(c, crc);
  Put32(c, static_cast<std::uint32_t>(size));
  Put32(c, static_cast<std::uint32_t>(size));
  Put16(c, static_cast<std::uint32_t>(name.size()));
  Put32(c, 0);  // extra and comment lengths
  Put32(c, 0);  // disk, internal attributes
  Put32(c, folder ? (0040755u << 16) | 0x10 : 0100644u << 16);
  Put32(c, static_cast<std::uint32_t>(local));
  c += name;
  ++count_;
  return true;
}

bool PayloadWriter::addFolder(std::string_view name) {
  return entry(std::string(name) + "/", true, nullptr);
}

bool PayloadWriter::addFile(std::string_view name, ByteSource& in) {
  return entry(name, false, &in);
}

bool PayloadWriter::finish() {
  if (!error_.empty()) return false;
  const std::uint64_t directory = out_.size();
  const std::uint64_t end = directory + central_.size() + kEndRecord + kTrailer;
  if (end - 1 > kMaxOffset) return fail("pacote grande demais");
  std::string tail = std::move(central_);
  Put32(tail, kEndSig);
  Put32(tail, 0);  // this disk, the directory's disk
  Put16(tail, count_);
  Put16(tail, count_);
  Put32(tail, static_cast<std::uint32_t>(end - directory - kEndRecord - kTrailer));
  Put32(tail, static_cast<std::uint32_t>(directory));
  Put16(tail, kTrailer);
  tail += kTrailerTag;
  tail += Hex16(begin_) + " " + Hex16(end - begin_) + "\n";
  if (!out_.write(tail.data(), tail.size())) return fail("erro de escrita");
  return true;
}

}  // namespace inst::bundle
