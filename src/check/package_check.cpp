#include "check/package_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

#include "audio/mci.h"
#include "check/package_files.h"
#include "install/install.h"
#include "package/layout.h"
#include "platform/ini/profile_text.h"
#include "platform/sound/media_probe.h"
#include "settings/conversions.h"
#include "settings/ini_access.h"
#include "settings/package_info.h"
#include "settings/setup_keys.h"
#include "text/cp1252.h"
#include "text/trim.h"
#include "text/utf8.h"

namespace inst::check {
namespace {

constexpr std::uint32_t kLongWaitMs = 5000;
// Where nothing exists: the planned copy of pastascripts goes there to list what it would copy.
const std::string kNowhere = "\\" + std::string(kTempFilePrefix) + "check";

// A value as the check reads it back, a stray line end included.
std::string Trim(const std::string& s) {
  return inst::Trim(s, kSpacesTabsAndLineEnds);
}

bool HasLetter(const std::string& s) {
  for (char c : s)
    if (std::isalpha(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80)
      return true;
  return false;
}

// "10,5": digits, a comma, digits, the way a Brazilian writes a decimal number.
bool IsDecimalComma(const std::string& value) {
  const std::string v = Trim(value);
  const std::size_t comma = v.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == v.size()) return false;
  for (std::size_t i = 0; i < v.size(); ++i)
    if (i != comma && !std::isdigit(static_cast<unsigned char>(v[i])) &&
        !(i == 0 && (v[i] == '-' || v[i] == '+')))
      return false;
  return true;
}

// Text the program would take as UTF-8: the information window decodes by this same rule.
bool IsUtf8WithNonAscii(std::string_view bytes) {
  return utf8::HasNonAscii(bytes) && utf8::IsValid(bytes);
}

// Bytes that Windows-1252 leaves undefined: text holding them shows as something else.
bool HasUndefinedCp1252(std::string_view bytes) {
  for (char b : bytes) {
    const auto c = static_cast<unsigned char>(b);
    if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) return true;
  }
  return false;
}

bool HasUtf16Mark(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

bool HasNul(std::string_view bytes) {
  return bytes.find('\0') != std::string_view::npos;
}

// The profile functions read a file that begins with the UTF-16LE mark as UTF-16, and turn
// into '?' what Windows-1252 lacks.
bool LosesCharactersAsAnsi(std::string_view utf16le) {
  std::u16string units;
  for (std::size_t i = 2; i + 1 < utf16le.size(); i += 2)
    units += static_cast<char16_t>(static_cast<unsigned char>(utf16le[i]) |
                                   static_cast<unsigned char>(utf16le[i + 1]) << 8);
  const std::string ansi = cp1252::fromUtf16(units);
  return std::count(ansi.begin(), ansi.end(), '?') > std::count(units.begin(), units.end(), u'?');
}

// Whether the profile functions find any section in the file, as the installation reads it.
bool HasReadableSection(std::string_view bytes) {
  char list[4];
  return ini::getString(bytes, std::nullopt, std::nullopt, "", list, sizeof list) > 0;
}

struct Files final : CopyWatcher {
  std::size_t count = 0;
  void fileCopied(const std::string&, const std::string&, const Status& r) override {
    if (r) ++count;
  }
};

class Checker {
 public:
  Checker(FileSystem& fs, Profile& profile, const std::string& folder)
      : fs_(fs), profile_(profile), folder_(folder), setupIni_(package::SetupIniPath(folder)) {}

  std::vector<Finding> run() {
    if (!fs_.fileExists(setupIni_)) {
      error("Setup.ini não existe em " + folder_ +
            ": o instalador pararia logo ao iniciar. Ponha o Setup.ini na pasta do pacote.");
      scripts();
      CheckPackageFiles(fs_, folder_, findings_);
      return std::move(findings_);
    }
    setupIniText();
    numbers();
    scripts();
    CheckPackageFiles(fs_, folder_, findings_);
    configNames();
    defaultScript();
    versions();
    sound();
    info();
    texts();
    packageName();
    return std::move(findings_);
  }

 private:
  void error(std::string text) { findings_.push_back({Severity::Error, std::move(text)}); }
  void warning(std::string text) { findings_.push_back({Severity::Warning, std::move(text)}); }

  std::string read(const char* section, const char* key) {
    return ReadIniValue(profile_, section, key, setupIni_);
  }
  static std::string name(const char* section, const char* key) {
    return std::string("[") + section + "] " + key;
  }

  // A flag reads as on when its leading number is not 0; a word reads as 0.
  bool flag(const char* section, const char* key) {
    const std::string value = read(section, key);
    if (IsDecimalComma(value)) return ToFlag(value);  // reported with the numbers
    if (!ToFlag(value) && HasLetter(value)) {
      error(name(section, key) + "=" + value +
            " vale desligado: o instalador só lê o número no começo do valor. Escreva " + key +
            "=1 para ligar ou " + key + "=0 para desligar.");
    }
    return ToFlag(value);
  }

  // Decided as the profile functions decide, so that the check calls readable exactly what the
  // installation reads.
  void setupIniText() {
    std::string bytes;
    if (Status st = fs_.readFile(setupIni_, bytes); !st) {
      error("Setup.ini não pode ser lido (" + st.reason() +
            "): o instalador pararia. Ponha no lugar um arquivo comum que possa ser lido.");
      return;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
      error(
          "Setup.ini começa com a marca de UTF-8 (BOM): a primeira seção não seria "
          "encontrada. Salve o arquivo em Windows-1252 (ANSI), sem BOM.");
    } else if (bytes.starts_with("\xFF\xFE")) {
      if (LosesCharactersAsAnsi(bytes)) {
        warning(
            "Setup.ini está em UTF-16 com caracteres que o Windows-1252 não tem: eles "
            "apareceriam como \"?\" no título e nas mensagens. Use só letras do português.");
      }
    } else if ((HasUtf16Mark(bytes) || HasNul(bytes)) && !HasReadableSection(bytes)) {
      error(
          "Setup.ini parece estar em UTF-16 sem a marca FF FE do início (UTF-16LE com BOM): "
          "o instalador não leria nenhuma chave. Salve o arquivo em Windows-1252 (ANSI).");
    } else if (HasNul(bytes)) {
      warning(
          "Setup.ini contém bytes nulos: o valor de uma chave acaba no primeiro deles. Apague "
          "esses bytes e salve o arquivo em Windows-1252 (ANSI).");
    } else if (IsUtf8WithNonAscii(bytes)) {
      warning(
          "Setup.ini está em UTF-8: os acentos apareceriam trocados no título e nas "
          "mensagens. Salve o arquivo em Windows-1252 (ANSI).");
    }
  }

  void numbers() {
    const struct {
      const char* section;
      const char* key;
    } keys[] = {{setup::kConfigurations, setup::kStartVersion},
                {setup::kConfigurations, setup::kModifyScriptName},
                {setup::kConfigurations, setup::kExtras},
                {setup::kConfigurations, setup::kYearVersions},
                {setup::kSound, setup::kPlaySound},
                {setup::kSound, setup::kPlayMode},
                {setup::kSound, setup::kVolume},
                {setup::kInfo, setup::kShowInfo}};
    for (const auto& k : keys) {
      const std::string value = read(k.section, k.key);
      if (!IsDecimalComma(value)) continue;
      const std::string asRead = value.substr(0, value.find(','));
      std::string dotted = Trim(value);
      dotted[dotted.find(',')] = '.';
      error(name(k.section, k.key) + "=" + Trim(value) + " é lido como " + Trim(asRead) +
            ": o instalador não aceita vírgula decimal. Escreva " + k.key + "=" + dotted + ".");
    }
  }

  void scripts() {
    const std::string scripts = package::ScriptsFolder(folder_);
    if (!fs_.folderExists(scripts)) {
      error("A pasta pastascripts não existe em " + folder_ +
            ": a instalação falharia. Crie a pasta com os scripts a instalar.");
      return;
    }
    Files files;
    Status planned = fs_.copyFolderWatched(scripts, folder_ + kNowhere, files, true);
    if (!planned) {
      error("pastascripts não pode ser copiada: " + planned.path() + ": " + planned.reason() +
            ". A instalação pararia aí; tire da pasta o que aponta para fora ou para ela mesma.");
    } else if (files.count == 0) {
      error(
          "A pasta pastascripts está vazia: a instalação não copiaria nenhum script. Ponha nela "
          "os arquivos a instalar.");
    }
  }

  void configNames() {
    const std::string application = read(setup::kConfigurations, setup::kApplication);
    if (!flag(setup::kConfigurations, setup::kModifyScriptName)) return;
    if (Status st = CheckConfigNamesKey(application, setupIni_); !st) {
      error(name(setup::kConfigurations, setup::kApplication) + ": " + st.reason() +
            " A instalação seria recusada. Escreva o nome do aplicativo (por exemplo "
            "Application=notepad) ou desligue ModifyScriptName.");
    }
    if (Trim(read(setup::kConfigurations, setup::kScriptName)).empty()) {
      warning(name(setup::kConfigurations, setup::kScriptName) +
              " está vazio com ModifyScriptName ligado: o aplicativo ficaria sem conjunto de "
              "scripts em confignames.ini. Escreva o nome do conjunto de scripts.");
    }
  }

  void defaultScript() {
    if (!flag(setup::kConfigurations, setup::kExtras)) return;
    if (!fs_.fileExists(package::DefaultScriptPath(folder_))) {
      error(
          "Extras está ligado, mas Extras\\extra1.ext não existe: a instalação falharia. Ponha "
          "o script padrão compilado em Extras\\extra1.ext ou escreva Extras=0.");
    }
    if (!fs_.fileExists(package::DefaultScriptMarkerPath(package::ScriptsFolder(folder_)))) {
      error(
          "Extras está ligado, mas pastascripts\\RedidUzizu.jsb não existe: o script padrão "
          "nunca seria trocado. Ponha RedidUzizu.jsb em pastascripts ou escreva Extras=0.");
    }
  }

  void versions() {
    const bool years = flag(setup::kConfigurations, setup::kYearVersions);
    const std::int16_t start =
        ToInt16(LeadingNumber(read(setup::kConfigurations, setup::kStartVersion)));
    if (!years) {
      warning(
          "YearVersions está desligado: o JAWS 2018 e os mais novos não seriam oferecidos. "
          "Escreva YearVersions=1 em [Configurations].");
      if (start > 99) {
        error("Startversion=" + std::to_string(start) +
              " sem YearVersions: nenhuma versão seria oferecida. Escreva YearVersions=1 ou um "
              "Startversion como 17.");
      }
    }
  }

  void sound() {
    if (!flag(setup::kSound, setup::kPlaySound)) return;
    const std::string file = read(setup::kSound, setup::kSoundFile);
    const std::string path = package::SoundPath(folder_, file);
    const std::string type = DeviceTypeFor(path);
    const std::string playModeText = read(setup::kSound, setup::kPlayMode);
    const std::string volumeText = read(setup::kSound, setup::kVolume);
    const int playMode = ToInt16(LeadingNumber(playModeText));
    const int volume = RoundHalfEven(LeadingNumber(volumeText));

    if (file.empty()) {
      error(
          "PlaySound está ligado, mas [Sound] SoundFile está vazio: o usuário ouviria "
          "\"arquivo de áudio não encontrado\". Escreva o nome do arquivo de som da pasta Audio "
          "ou PlaySound=0.");
    } else if (LeavesItsFolder(file)) {
      error("[Sound] SoundFile=" + file +
            " sai da pasta Audio: o instalador procuraria o som fora dela, onde o pacote não o "
            "leva. Ponha o som na pasta Audio e escreva só o nome do arquivo.");
    } else if (!fs_.normalFileExists(path)) {
      error(std::string("O som de boas-vindas Audio\\") + file +
            (fs_.fileExists(path) ? " está oculto ou é de sistema" : " não existe") +
            ": o usuário ouviria \"arquivo de áudio não encontrado\". Ponha o arquivo na pasta "
            "Audio ou corrija SoundFile.");
    }
    if (!file.empty() && type.empty()) {
      error("[Sound] SoundFile=" + file +
            ": o nome não termina em mp3, wav, mid, mpg ou avi, e o som não tocaria. Converta o "
            "som para um desses formatos.");
    }
    if (playMode < 0 || playMode > 2) {
      error("[Sound] PlayMode=" + playModeText +
            " está fora de 0 a 2: o usuário veria \"valor encorreto para playmode!\". Escreva "
            "0 (tocar uma vez), 1 (repetir) ou 2 (tocar e esperar).");
    }
    if (volume < 0 || volume > 100) {
      error("[Sound] Volume=" + volumeText +
            " está fora de 0 a 100: o usuário veria \"Valor incorreto para o volume\". Escreva "
            "um volume de 0 a 100.");
    }
    const bool fixedLevel = type == "waveaudio" || type == "sequencer";
    if (fixedLevel && !Trim(volumeText).empty()) {
      error("[Sound] Volume está definido, mas um arquivo " + file.substr(file.size() - 3) +
            " toca sem controle de volume: o valor seria ignorado. Apague a linha Volume ou "
            "use um som mp3.");
    }
    if (fixedLevel && playMode == 1) {
      error("[Sound] PlayMode=1 (repetir) não funciona com um arquivo " +
            file.substr(file.size() - 3) +
            ": o dispositivo recusa a repetição e o som não tocaria. Use um som mp3 ou escreva "
            "PlayMode=0.");
    }
    std::string bytes;
    if (file.empty() || !fs_.normalFileExists(path) || !fs_.readFile(path, bytes)) return;
    const sound::Media media = sound::probeMedia(bytes);
    if (media.format == sound::Format::Unknown) {
      warning("Audio\\" + file +
              " não parece ser um arquivo de som reconhecível: o usuário talvez não ouvisse "
              "nada. Confira o arquivo.");
    }
    if (playMode == 2 && media.lengthMs > kLongWaitMs) {
      warning("Com PlayMode=2, a janela só apareceria depois do som, que dura " +
              std::to_string((media.lengthMs + 500) / 1000) +
              " segundos. Use um som de até 5 segundos ou PlayMode=0.");
    }
  }

  void info() {
    if (!flag(setup::kInfo, setup::kShowInfo)) return;
    const std::string file = read(setup::kInfo, setup::kInfoFile);
    const std::string path = package::InfoTextPath(folder_, file);
    if (LeavesItsFolder(file)) {
      error("[Info] InfoFile=" + file +
            " sai da pasta Info: o instalador procuraria o texto fora dela, onde o pacote não o "
            "leva. Ponha o arquivo na pasta Info e escreva só o nome dele.");
      return;
    }
    if (file.empty() || !fs_.normalFileExists(path)) {
      error("ShowInfo está ligado, mas o arquivo de informações Info\\" + file +
            (file.empty()
                 ? " não foi indicado em [Info] InfoFile"
                 : (fs_.fileExists(path) ? " está oculto ou é de sistema" : " não existe")) +
            ": o botão Informações abriria uma janela vazia. Ponha o arquivo na pasta Info e "
            "escreva o nome em InfoFile, ou ShowInfo=0.");
      return;
    }
    std::string bytes;
    if (!fs_.readFile(path, bytes)) {
      error("Info\\" + file + " não pode ser lido: confira as permissões do arquivo.");
      return;
    }
    if (HasUtf16Mark(bytes)) {
      error("Info\\" + file +
            " está em UTF-16: o texto apareceria ilegível. Salve o arquivo em UTF-8 ou "
            "Windows-1252.");
    } else if (HasNul(bytes)) {
      error("Info\\" + file +
            " contém bytes nulos: o texto apareceria cortado no primeiro deles. Salve o arquivo "
            "em UTF-8 ou Windows-1252, sem esses bytes.");
    } else if (!IsUtf8WithNonAscii(bytes) && HasUndefinedCp1252(bytes)) {
      error("Info\\" + file +
            " não está nem em UTF-8 nem em Windows-1252: parte do texto apareceria trocada. "
            "Salve o arquivo em UTF-8.");
    }
    if (Trim(read(setup::kInfo, setup::kInfoTitle)).empty()) {
      warning(
          "[Info] InfoTitle está vazio: a janela de informações abriria sem título. "
          "Escreva um título, por exemplo InfoTitle=Informações.");
    }
  }

  void texts() {
    if (Trim(read(setup::kConfigurations, setup::kTitle)).empty()) {
      warning(
          "[Configurations] title está vazio: a janela e todas as mensagens ficariam sem "
          "título. Escreva o nome do pacote em title.");
    }
    if (Trim(read(setup::kConfigurations, setup::kFrameTitle)).empty()) {
      warning(
          "[Configurations] Frametitle está vazio: o grupo das versões do JAWS ficaria sem "
          "nome para o leitor de tela. Escreva, por exemplo, Frametitle=Versões do JAWS.");
    }
  }

  // [Package]: the name the list of installed programs shows, and the Id that names its folder
  // and key. Read whole: a name of thousands of characters is no name for a list.
  void packageName() {
    auto entry = [&](const char* key) {
      return Trim(ReadIniEntry(profile_, setup::kPackage, key, setupIni_).value_or(""));
    };
    const std::string name = entry(setup::kPackageName);
    const std::string id = entry(setup::kPackageId);
    if (name.empty()) {
      if (!id.empty() || !entry(setup::kPackageVersion).empty() ||
          !entry(setup::kPublisher).empty())
        error(
            "[Package] não tem Name: o pacote não apareceria na lista de programas instalados. "
            "Escreva o nome do pacote em Name.");
      return;
    }
    // Characters as a person counts them: the bytes that begin one.
    const auto characters = std::count_if(name.begin(), name.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    if (static_cast<std::size_t>(characters) > kMaxPackageNameLength)
      error("[Package] Name tem mais de " + std::to_string(kMaxPackageNameLength) +
            " caracteres: encurte o nome que a lista de programas instalados mostra.");
    if (!id.empty() && !IsPackageId(id))
      error("[Package] Id=" + (id.size() > 40 ? id.substr(0, 40) + "..." : id) +
            " não serve: use só letras minúsculas sem acento, dígitos e um \"-\" entre eles, até " +
            std::to_string(kMaxPackageIdLength) + " caracteres (por exemplo, Id=" +
            (DefaultPackageId(name).empty() ? "meu-pacote" : DefaultPackageId(name)) + ").");
    else if (id.empty() && DefaultPackageId(name).empty())
      error(
          "[Package] Name não tem letras nem dígitos de onde tirar o Id: escreva um Id, por "
          "exemplo Id=meu-pacote.");
  }

  FileSystem& fs_;
  Profile& profile_;
  std::string folder_;
  std::string setupIni_;
  std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> CheckPackage(FileSystem& fs, Profile& profile,
                                  const std::string& packageFolder) {
  return Checker(fs, profile, packageFolder).run();
}

std::string FormatFinding(const Finding& finding) {
  return (finding.severity == Severity::Error ? "erro: " : "aviso: ") + finding.text;
}

}  // namespace inst::check
