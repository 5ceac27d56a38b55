#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv) {
  CLI::App app{"Zanthrel: decompile and compile 3DO Opera disc images", "zanthrel"};
  app.set_version_flag("--version", std::string("zanthrel ") + ZANTHREL_VERSION);
  CLI11_PARSE(app, argc, argv);
  std::cout << app.help();
  return 0;
}
