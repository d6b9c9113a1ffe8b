// traklin-cli: headless tools for districts and runs.
#include <CLI/CLI.hpp>
#include <vector>

#include "app/cli_commands.h"

int main(int argc, char** argv) {
  using namespace traklin::cli;
  CLI::App app{"Traklin headless tools"};
  app.require_subcommand(1);
  const std::vector<Command> commands{
      AddCheckCommand(app),     AddRunCommand(app),   AddReportCommand(app), AddRenderCommand(app),
      AddSaveCheckCommand(app), AddScoreCommand(app), AddStudyCommand(app)};
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : kFailed;
  }
  for (const Command& c : commands)
    if (c.Sub->parsed()) return c.Run();
  return 0;
}
