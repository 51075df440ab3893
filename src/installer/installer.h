#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/front_end.h"
#include "app/host.h"
#include "app/program.h"
#include "app/window.h"
#include "audio/mci.h"
#include "install/uninstall.h"
#include "platform/mci_port.h"
#include "platform/services.h"
#include "settings/package_info.h"

namespace inst {

struct InstallerServices {
  Services core;
  MciPort& mciPort;
  std::string packageFolder;  // Setup.ini, pastascripts, Audio, Info, Extras
  // Off for a run that must make no sound: start-up's sound step does not run at all.
  bool welcomeSound = true;
  // The run's start, YYYYMMDD-HHMMSS in UTC: the name of the folder its backups go to. Empty:
  // the time of the installation.
  std::string started = "";
  // Set by a front end without windows: told, in Portuguese, of each chosen version that had no
  // language folder to install into, and such a run then ends with NoLanguageFolder. The window
  // leaves it unset and keeps its success message.
  std::function<void(const std::string&)> noLanguageFolder = nullptr;
};

// The installer on the window host: Form1 and its handlers, Form2, the player and the ways the
// program ends.
class Installer final : public Program {
 public:
  Installer(Host& host, InstallerServices services);
  ~Installer() override;
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;

  void load() override;
  void pressed(std::string_view window, std::string_view button) override;
  void closeRequest(std::string_view window) override;
  void stop(ExitStatus status) override;

  // What a front end without windows does, as the user would do it in Form1.
  // The versions offered: box index and version name, in box order.
  std::vector<std::pair<int, std::string>> offered() const;
  // The boxes ticked among those offered.
  std::vector<int> ticked() const;
  // Ticks or unticks the box of an offered version.
  void tick(int box, bool ticked);
  // Presses "&Instalar".
  void install();
  // Takes the package off the ticked versions, as the window would have installed it.
  Status uninstall(UninstallReport& report);

 private:
  void loadForm1();
  void startWelcomeSound(bool playSound, double volume);
  // The four version boxes as the installation reads them: caption and value.
  std::array<VersionBox, 4> boxes() const;
  // The same with every offered version ticked, and no other.
  std::array<VersionBox, 4> offeredBoxes() const;
  void installClicked();
  [[noreturn]] void exitSequence(ExitStatus status);
  void form1CloseRequest();
  void infoClicked();
  Window& loadedForm2();
  void unloadForm2();

  void message(const std::string& text, MsgIcon icon);
  std::string read(const char* section, const char* key);

  Host& host_;
  InstallerServices s_;
  Window* form1_ = nullptr;
  Window* form2_ = nullptr;
  std::unique_ptr<mci> player_;

  std::string setupIniPath_;
  PackageInfo package_;
  std::string windowTitle_;
  std::string soundFileName_;
  std::int16_t playModeSetting_ = 0;
  std::int16_t startVersion_ = 0;
  std::string jawsRoot_;
  std::int16_t versionCount_ = 0;
};

// The host with the installer on it, for one run of a front end.
struct Session {
  Session(FrontEnd& ui, InstallerServices services)
      : host(ui, services.core.events), installer(host, std::move(services)) {
    host.attach(installer);
  }
  Host host;
  Installer installer;
};

}  // namespace inst
