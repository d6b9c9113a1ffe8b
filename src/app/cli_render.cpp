// traklin-cli render: a run's console window painted without a display, written as PNG.
#include <iostream>
#include <memory>

#include "app/cli_commands.h"
#include "simulation/headless_run.h"
#include "simulation/shift_replay.h"

#ifdef TRAKLIN_WITH_UI
#include <QApplication>
#include <QFontMetrics>
#include <QLocale>

#include "console/console_fonts.h"
#include "console/graph_pictures.h"
#include "console/window_render.h"
#include "trains/ui/trains_window.h"
#endif

namespace traklin::cli {

namespace {

struct RenderArguments : RunArguments {
  std::string Window;
  std::string Out;
  std::string Replay;
  std::string At;
};

#ifdef TRAKLIN_WITH_UI
int Render(const RenderArguments& a) {
  if (a.Replay.empty() && a.District.empty()) {
    std::cerr << "DIR is required\nRun with --help for more information.\n";
    return kFailed;
  }
  std::optional<RunOptions> options = a.Replay.empty() ? ToRunOptions(a) : RunOptions{};
  if (!options) return kFailed;
  std::optional<TDateTime> at;
  if (!a.Replay.empty()) {
    at = ParseStartTime(a.At);
    if (!at) {
      std::cerr << "--at: not a time \"YYYY-MM-DD HH:MM\": " << a.At << "\n";
      return kFailed;
    }
  }
  std::uint64_t seed = a.Replay.empty() ? SeedOf(a) : 0;

  // Pictures need no display unless one is asked for.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "traklin-cli";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

  // The name lamps are laid out with the font the panel writes them in, as in the console.
  const QFontMetrics metrics(PanelNameFont());
  options->TextWidth = [&metrics](const std::string& text) {
    return metrics.horizontalAdvance(QString::fromStdString(text));
  };
  Simulation sim;
  if (!a.Replay.empty()) {
    // The shift replayed up to the moment asked for.
    try {
      ShiftReplay replay(sim, a.Replay, options->TextWidth);
      if (*at < replay.Start() - 1e-6 || *at > replay.End() + 1e-6) {
        std::cerr << "--at: the shift runs from " << FormatEventTime(replay.Start()) << " to "
                  << FormatEventTime(replay.End()) << "\n";
        return kFailed;
      }
      seed = *replay.Header().Seed;
      options->District = replay.District();
      replay.Run(nullptr, at);
    } catch (const ShiftError& e) {
      std::cerr << e.what() << "\n";
      return kFailed;
    }
  } else {
    if (!SeedAndPrepare(sim, *options, seed)) return kFailed;
    if (!SwitchAutomatic(sim, a)) return kFailed;
    EventLog log(sim, nullptr, options->Answer);
    RunSimulation(sim, log, options->Span);
  }

  std::string warning;
  QImage picture;
  if (a.Window == "gid" || a.Window == "ngdp") {
    const GraphRendering graph =
        a.Window == "gid" ? RenderExecutedGraph(sim) : RenderNormativeGraph(sim);
    if (!graph.Error.empty()) {
      std::cerr << graph.Error << "\n";
      return kFailed;
    }
    picture = graph.Picture;
  } else if (a.Window == "trains") {
    picture = RenderTrainsWindow(sim, StockPictures::Load("../image"));
  } else {
    picture =
        RenderWindow(sim, options->District,
                     a.Window == "desk" ? RenderedWindow::Desk : RenderedWindow::Panel, warning);
  }
  if (!warning.empty()) std::cerr << warning << "\n";
  if (picture.isNull() || !picture.save(QString::fromStdString(a.Out), "PNG")) {
    std::cerr << "--out: cannot write " << a.Out << "\n";
    return kFailed;
  }
  std::cout << "seed: " << seed << "\n";
  std::cout << "time: " << FormatEventTime(sim.State.ClockTime) << "\n";
  std::cout << "picture: " << picture.width() << "x" << picture.height() << "\n";
  return 0;
}
#else
int Render(const RenderArguments&) {
  std::cerr << "render: this traklin-cli was built without the console (TRAKLIN_BUILD_UI=OFF)\n";
  return kFailed;
}
#endif

}  // namespace

Command AddRenderCommand(CLI::App& app) {
  auto a = std::make_shared<RenderArguments>();
  CLI::App* render = app.add_subcommand(
      "render",
      "Run a district as `run` does, then paint a console window as it looks at that moment "
      "and write it as PNG");
  render
      ->add_option("WINDOW", a->Window,
                   "panel (the main window), desk (the controller), gid (the executed train "
                   "graph), ngdp (the normative graph) or trains (the trains window)")
      ->required()
      ->check(CLI::IsMember({"panel", "desk", "gid", "ngdp", "trains"}));
  AddRunArguments(render, *a);
  render->add_option("--out", a->Out, "The PNG file to write")->required();
  CLI::Option* replay = render->add_option(
      "--replay", a->Replay,
      "Picture a recorded shift (its folder DIR) instead of a run: replayed up to --at");
  CLI::Option* at = render->add_option(
      "--at", a->At, "With --replay: the moment of the shift to picture, \"YYYY-MM-DD HH:MM\"");
  render->get_option("DIR")->required(false);
  for (const char* other : {"DIR", "--start", "--for", "--seed", "--answer", "--settings", "--set",
                            "--auto", "--auto-lp"})
    replay->excludes(render->get_option(other));
  replay->needs(at);
  at->needs(replay);
  render->footer(
      "Runs the same simulation as `run` with the same options (the same seed gives the same "
      "run), paints the window offscreen (QT_QPA_PLATFORM defaults to offscreen) and writes "
      "it. Prints the seed, the simulated time pictured and the picture's size, and exits 0. "
      "A district that cannot be prepared, a bad argument or a file that cannot be written "
      "exits 2; a missing Pult.bmp is told and the panel is drawn without it. The graphs use "
      "the scale of the settings; a scale that does not fit is told and exits 2.");
  return {render, [a] { return Render(*a); }};
}

}  // namespace traklin::cli
