// traklin-cli: headless tools for districts.
#include <CLI/CLI.hpp>
#include <iostream>

int main(int argc, char** argv) {
  CLI::App app{"Traklin headless tools"};
  app.require_subcommand(1);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
