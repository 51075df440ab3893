#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/host.h"
#include "app/program.h"
#include "install/install.h"
#include "installer/installer.h"
#include "settings/package_info.h"

namespace inst {

// The uninstall window on the window host: Form1's shape with its own captions, one ticked box
// for each version that holds the package, "&Remover" and "&Sair".
class Remover final : public Program {
 public:
  Remover(Host& host, InstallerServices services) : host_(host), s_(std::move(services)) {}

  void load() override;
  void pressed(std::string_view window, std::string_view button) override;
  void closeRequest(std::string_view window) override;
  void stop(ExitStatus status) override { host_.end(status); }

 private:
  void removeClicked();
  std::array<VersionBox, 4> boxes() const;
  void message(const std::string& text, MsgIcon icon) { host_.message(text, title_, icon); }

  Host& host_;
  InstallerServices s_;
  Window* form1_ = nullptr;
  std::string setupIniPath_;
  std::string title_;
  PackageInfo package_;
  std::int16_t holding_ = 0;
};

// The host with the uninstall window on it, for one run of a window front end.
struct RemovalSession {
  RemovalSession(FrontEnd& ui, InstallerServices services)
      : host(ui, services.core.events), remover(host, std::move(services)) {
    host.attach(remover);
  }
  Host host;
  Remover remover;
};

}  // namespace inst
