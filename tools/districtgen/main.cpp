// traklin-districtgen: writes district directories, runtime pictures, rings and the config.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <sstream>

#include "districtgen/pictures.h"

namespace dg = traklin::districtgen;

namespace {

dg::LineSpec ReadSpec(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file);
  std::ostringstream text;
  text << in.rdbuf();
  return dg::ParseLineSpec(text.str());
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Traklin district generator"};
  app.require_subcommand(1);

  std::string description, out, image, sound;
  int stations = 10, trains = 60, number = 9;
  unsigned seed = 1;

  auto* district =
      app.add_subcommand("district", "write Data.dat and Pult.bmp of a described line");
  district->add_option("description", description, "line description (JSON)")->required();
  district->add_option("--out", out, "district directory")->required();
  std::string preview;
  district->add_option("--preview", preview, "also save the panel picture as PNG here");

  auto* synthetic = app.add_subcommand("synthetic", "write a synthetic line of N stations");
  synthetic->add_option("--stations", stations, "number of stations")->check(CLI::Range(2, 60));
  synthetic->add_option("--trains", trains, "trains a day (at most what the line takes)")
      ->check(CLI::Range(0, 400));
  synthetic->add_option("--seed", seed, "random seed");
  synthetic->add_option("--number", number, "district number")->check(CLI::Range(1, 999));
  synthetic->add_option("--out", out, "district directory")->required();

  auto* assets =
      app.add_subcommand("assets", "write controller and rolling-stock pictures and rings");
  assets->add_option("--image", image, "image directory")->required();
  assets->add_option("--sound", sound, "sound directory")->required();
  assets
      ->add_option("--rings-for", description,
                   "description of the district whose last line point gets no ring of its own")
      ->required();

  auto* config = app.add_subcommand("config", "write the starting Traklin.ini unless it exists");
  config->add_option("description", description, "line description (JSON)")->required();
  config->add_option("--out", out, "configuration file")->required();

  CLI11_PARSE(app, argc, argv);
  try {
    if (*district) {
      const dg::LineSpec line = ReadSpec(description);
      const auto built = dg::BuildDistrict(line);
      for (const std::string& note : dg::FormingNotes(line))
        std::cerr << "traklin-districtgen: " << note << "\n";
      dg::WriteDistrict(built, out);
      if (!preview.empty()) dg::PaintPult(built).save(QString::fromStdString(preview), "PNG");
    } else if (*synthetic) {
      dg::LineSpec line = dg::SyntheticLine(stations, trains, seed);
      line.Number = number;
      if (const std::string note = dg::CapacityNote(line, trains); !note.empty())
        std::cerr << "traklin-districtgen: " << note << "\n";
      dg::WriteDistrict(dg::BuildDistrict(line), out);
    } else if (*assets) {
      dg::WriteImages(image);
      const auto line = ReadSpec(description);
      dg::WriteRings(sound, static_cast<int>(line.Stations.size()) - 1);
    } else if (*config) {
      if (dg::WriteIfMissing(out, dg::StartingConfig(dg::BuildDistrict(ReadSpec(description)))))
        std::cout << "wrote " << out << "\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "traklin-districtgen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
