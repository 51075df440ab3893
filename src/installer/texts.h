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
inline constexpr const char* kRegisterFailed =
    "A entrada do pacote na lista de programas instalados não pôde ser gravada; os scripts "
    "foram instalados.";

// The uninstall window, and what it says.
inline constexpr const char* kRemovalTitle = "Remoção de ";
inline constexpr const char* kRemovalFrame = "Versões do JAWS com o pacote";
inline constexpr const char* kRemove = "&Remover";
inline constexpr const char* kRemovalDone = "Remoção concluída. Por favor, reinicie o JAWS.";
inline constexpr const char* kRemovalFailed = "Não foi possível concluir a remoção.";
inline constexpr const char* kNoneTickedForRemoval =
    "Você precisa marcar pelo menos uma versão do JAWS para remover o pacote!";
inline constexpr const char* kNotInstalled =
    "Este pacote não está instalado em nenhuma versão do JAWS.";
inline constexpr const char* kForgetFailed =
    "instalador: a entrada do pacote na lista de programas instalados não pôde ser removida: ";

// What an uninstall ends with, on standard error.
inline constexpr const char* kUninstallDone = "Desinstalação concluída.";
inline constexpr const char* kNothingToUninstall =
    "Nada deste pacote foi encontrado nas versões escolhidas: nada foi mudado.";
inline constexpr const char* kUninstallFailed = "Não foi possível concluir a desinstalação.";

}  // namespace inst::text
