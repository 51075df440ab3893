#pragma once

namespace inst::text {

// The texts the main window shows, word for word.
inline constexpr const char* kInstall = "&Instalar";
inline constexpr const char* kExit = "&Sair";
inline constexpr const char* kInfo = "Inf&ormações";
inline constexpr const char* kNoSetupIni =
    "Não foi encontrado o arquivo setup.ini.\nEle é necessário para a instalação!";
inline constexpr const char* kNoneTicked =
    "Você precisa marcar pelo menos uma versão do JAWS para instalar os scripts!";
inline constexpr const char* kInstallDone =
    "Instalação concluída com êxito.\nPor favor, reinicie o JAWS.";
inline constexpr const char* kInstallFailed = "Não foi possível concluir a instalação.";

// What an uninstall ends with, on standard error.
inline constexpr const char* kUninstallDone = "Desinstalação concluída.";
inline constexpr const char* kNothingToUninstall =
    "Nada deste pacote foi encontrado nas versões escolhidas: nada foi mudado.";
inline constexpr const char* kUninstallFailed = "Não foi possível concluir a desinstalação.";

}  // namespace inst::text
