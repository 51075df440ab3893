#include "cli/usage.h"

namespace inst::cli {

std::string Usage(Syntax syntax, std::span<const std::string_view> frontEnds) {
  std::string names;
  for (std::string_view name : frontEnds) {
    if (!names.empty()) names += '|';
    names += name;
  }
  std::string text =
      "uso: instalador [--ui=" + names +
      "] [--package-dir PASTA] [--log ARQUIVO]\n"
      "     instalador --silent [--versions LISTA|all] [--dry-run] [--package-dir PASTA] "
      "[--log ARQUIVO]\n"
      "     instalador --uninstall [--versions LISTA|all] [--dry-run] [--package-dir PASTA] "
      "[--log ARQUIVO]\n"
      "     instalador --check [--package-dir PASTA]\n"
      "     instalador --bundle ARQUIVO [--package-dir PASTA]\n"
      "     instalador --version | --help\n"
      "\n"
      "  --ui=NOME            a interface; por padrão a de janelas, onde ela pode rodar,\n"
      "                       senão a headless (conduzida por linhas na entrada padrão)\n"
      "  --package-dir PASTA  a pasta do pacote (Setup.ini, pastascripts, Audio, Info,\n"
      "                       Extras); por padrão a pasta do executável\n"
      "  --log ARQUIVO        acrescenta ao ARQUIVO cada valor lido, versão encontrada e\n"
      "                       oferecida, arquivo copiado, entrada de INI escrita, mensagem,\n"
      "                       comando de som e pausa, uma linha com hora cada (UTF-8)\n"
      "  --silent             instala sem janela, caixa de mensagem nem som; as mensagens\n"
      "                       vão para a saída de erro\n"
      "  --uninstall          tira o pacote, sem janela: remove os arquivos que ainda têm\n"
      "                       os bytes do pacote e traz de volta o que a instalação\n"
      "                       substituiu; o que o usuário mudou depois fica, e é dito;\n"
      "                       com --ui de janelas, a janela de remoção\n"
      "  --versions LISTA     com --silent ou --uninstall: as versões do JAWS, separadas\n"
      "                       por vírgulas (17.0,2025), ou all; por padrão, com --silent,\n"
      "                       a que a janela marca, e com --uninstall, todas as oferecidas\n"
      "  --dry-run            com --silent ou --uninstall: não escreve nada; mostra cada\n"
      "                       arquivo que seria copiado, guardado, restaurado ou removido,\n"
      "                       cada entrada de INI que seria escrita ou apagada e cada\n"
      "                       passo que seria pulado\n"
      "  --check              verifica o pacote como o autor o distribui; as constatações\n"
      "                       vão para a saída padrão, saída 1 quando há um erro\n"
      "  --bundle ARQUIVO     grava ARQUIVO, uma cópia deste programa que leva o pacote: um\n"
      "                       só arquivo para distribuir; verifica o pacote antes e não\n"
      "                       grava se achar um erro (saída 1); saída 4 se não puder gravar\n"
      "  --version            mostra a versão\n"
      "  --help               mostra este texto\n";
  if (syntax == Syntax::Windows)
    text +=
        "\n"
        "As opções também podem ser escritas com / e em maiúsculas ou minúsculas: /SILENT,\n"
        "/S (--silent), /? (--help).\n";
  text +=
      "\n"
      "Antes de substituir um arquivo do usuário, a instalação guarda uma cópia em\n"
      "...\\Settings\\instalador-backup\\AAAAMMDD-HHMMSS\\ de cada versão; essas cópias\n"
      "nunca são apagadas.\n"
      "\n"
      "Status de saída: 0 instalado ou desinstalado (ou seria, com --dry-run); 1 parada\n"
      "na partida (sem Setup.ini, nenhuma versão do JAWS encontrada); 2 erro de uso ou um\n"
      "log que não pode ser aberto ou escrito; 3 --versions nomeou uma versão não\n"
      "oferecida; 4 a instalação ou a desinstalação falhou no meio; 5 instalado, mas uma\n"
      "versão escolhida não tinha pasta de idioma;\n"
      "70 um erro inesperado dentro do programa (uma falha nossa): a mensagem está na saída\n"
      "de erro.\n";
  return text;
}

}  // namespace inst::cli
