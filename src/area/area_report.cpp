// A short account of a district read from Data.dat: its header values and table sizes.
#include "area/area_report.h"

#include <fmt/format.h>

namespace traklin {

std::vector<std::string> DescribeAreaTables(const TAreaData& a) {
  std::vector<std::string> lines;
  auto value = [&lines](const char* name, long long v) {
    lines.push_back(fmt::format("{} {}", name, v));
  };
  auto table = [&lines](const char* name, std::size_t count) {
    lines.push_back(fmt::format("{} {}", name, count));
  };
  value("AreaNumber", a.AreaNumber);
  value("StationCount", a.StationCount);
  value("LPCount", a.LPCount);
  value("SwitchCount", a.SwitchCount);
  value("SectCount", a.SectCount);
  lines.push_back(fmt::format("GraphBackColor {:06X}h", a.GraphBackColor));
  value("GraphScale", a.GraphScale);
  value("HeaderValue7", a.HeaderValue7);
  value("HeaderValue8", a.HeaderValue8);
  value("BaseYear", a.BaseYear);
  value("SwitchPosBase", a.SwitchPosBase);
  value("SwitchLampsA", a.SwitchLampsA);
  value("SwitchLampsPlus", a.SwitchLampsPlus);
  value("SwitchLampsMinus", a.SwitchLampsMinus);
  value("FirstLamp", a.FirstLamp);
  value("ThroatLayout", a.ThroatLayout);
  value("ParityFlipCount", a.ParityFlipCount);
  table("GraphFragms", a.GraphFragms.size());
  table("GraphVids", a.GraphVids.size());
  table("GraphPeregons", a.GraphPeregons.size());
  table("GraphLamps", a.GraphLamps.size());
  table("Sekzs", a.Sekzs.size());
  table("Stanzs", a.Stanzs.size());
  table("GorlStanzs", a.GorlStanzs.size());
  table("Puts", a.Puts.size());
  table("Strels", a.Strels.size());
  table("GrStrels", a.GrStrels.size());
  table("SlSects", a.SlSects.size());
  table("TrainRoutes", a.TrainRoutes.size());
  table("SparGrStrels", a.SparGrStrels.size());
  table("Locos", a.Locos.size());
  table("OstLocos", a.OstLocos.size());
  table("Peregons", a.Peregons.size());
  table("PassTrains[0]", a.PassTrains[kEven].size());
  table("PassTrains[1]", a.PassTrains[kOdd].size());
  table("GruzTrains[0]", a.GruzTrains[kEven].size());
  table("GruzTrains[1]", a.GruzTrains[kOdd].size());
  table("CreationInlets", a.CreationInlets.size());
  value("FreightNumbering[0]", a.FreightNumbering[kEven]);
  value("FreightNumbering[1]", a.FreightNumbering[kOdd]);
  table("CreationPlans", a.CreationPlans.size());
  table("LPMnemNames", a.LPMnemNames.size());
  table("LPManipNames", a.LPManipNames.size());
  table("Stations", a.Stations.size());
  table("Semaphores", a.Semaphores.size());
  return lines;
}

std::string ToPlainLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
  }
  return out;
}

}  // namespace traklin
