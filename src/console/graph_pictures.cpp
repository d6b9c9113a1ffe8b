// The pictures of the train graphs: the executed graph drawn as the log grows, the normative
// graph and its file NGDP.bmp, and offscreen renderings of both.
#include "console/graph_pictures.h"

#include <system_error>

#include "console/graph_painter.h"

namespace traklin {
namespace {

constexpr double kGidShrink = 0.75;
constexpr double kNgdpShrink = 0.9;
/// Log entries read between two looks at the clock.
constexpr int kEntriesPerLook = 256;

QImage NewPicture(const GraphLayout& layout) {
  return QImage(static_cast<int>(layout.PixelWidth), static_cast<int>(layout.PixelHeight),
                QImage::Format_RGB32);
}

QString PathText(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

}  // namespace

ExecutedGraph::ExecutedGraph(const TAreaData& area) : area_(area) {}

void ExecutedGraph::SetScales(int percents, bool kmOnly) {
  scales_ = GraphScales::FromSettings(percents, kmOnly);
  kmOnly_ = kmOnly;
  built_ = false;
  failed_ = false;
}

void ExecutedGraph::SetPlannedTrains(bool on) {
  planned_ = on;
}

void ExecutedGraph::SetPlan(bool on) {
  plan_ = on;
}

ExecutedGraph::Refreshed ExecutedGraph::Refresh(QImage& picture, TTrainPosLogData& log,
                                                std::chrono::nanoseconds budget) {
  Refreshed r;
  if (failed_) return r;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  if (!built_) {
    std::optional<GraphLayout> layout = FitGraphLayout(area_, scales_, kmOnly_, false, kGidShrink);
    if (layout) picture = NewPicture(*layout);
    if (!layout || picture.isNull()) {
      failed_ = true;
      r.FitFailed = true;
      picture = QImage();
      return r;
    }
    layout_ = std::move(*layout);
    QPainter p(&picture);
    const GraphPainter painter(area_, layout_, scales_);
    painter.DrawBackground(p);
    if (plan_)
      for (const TimetableSegment& s : TimetableSegments(area_)) painter.DrawPlanSegment(p, s);
    else if (planned_)
      for (const TimetableSegment& s : TimetableSegments(area_)) painter.DrawPlannedSegment(p, s);
    feed_.Reset();
    for (TTrainPosLogEntry& e : log) e.Flag1 = e.Flag2 = false;
    built_ = true;
    r.Built = true;
  }
  if (feed_.Pending(log)) {
    QPainter p(&picture);
    const GraphPainter painter(area_, layout_, scales_);
    const bool unlimited = budget == std::chrono::nanoseconds::max();
    do {
      if (std::optional<GraphLogSegment> s = feed_.Next(log, kEntriesPerLook))
        r.Changed |= painter.DrawLogSegment(p, *s);
    } while (feed_.Pending(log) && (unlimited || Clock::now() - start < budget));
  }
  r.Pending = feed_.Pending(log);
  return r;
}

void ExecutedGraph::Reset(QImage& picture) {
  picture = QImage();
  built_ = false;
  feed_.Reset();
}

std::optional<QImage> DrawNormativeGraph(const TAreaData& area, int percents, bool kmOnly,
                                         std::string* error) {
  GraphScales scales = GraphScales::FromSettings(percents, kmOnly);
  const std::optional<GraphLayout> layout = FitGraphLayout(area, scales, kmOnly, true, kNgdpShrink);
  QImage picture;
  if (layout) picture = NewPicture(*layout);
  if (picture.isNull()) {
    if (error) *error = kNgdpScaleError;
    return std::nullopt;
  }
  QPainter p(&picture);
  const GraphPainter painter(area, *layout, scales);
  painter.DrawBackground(p);
  for (const TimetableSegment& s : TimetableSegments(area)) painter.DrawTimetableSegment(p, s);
  p.end();
  return picture;
}

bool WritePictureAtomically(const QImage& picture, const std::filesystem::path& path,
                            const PictureWriter& write) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  const bool written =
      write ? write(picture, PathText(temporary)) : picture.save(PathText(temporary), "BMP");
  std::error_code ec;
  if (written) std::filesystem::rename(temporary, path, ec);
  if (!written || ec) {
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

std::optional<std::string> EnsureNormativeGraphFile(const TAreaData& area, int percents,
                                                    bool kmOnly, const std::filesystem::path& file,
                                                    ExecutedGraph* executed,
                                                    const PictureWriter& write) {
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) return std::nullopt;
  std::string error;
  const std::optional<QImage> picture = DrawNormativeGraph(area, percents, kmOnly, &error);
  if (!picture) return error;
  if (executed) executed->SetPlannedTrains(true);
  if (!WritePictureAtomically(*picture, file, write))
    return "Error writing NGDP.bmp\r\n" + file.string();
  return std::nullopt;
}

GraphRendering RenderExecutedGraph(const Simulation& sim, bool plan) {
  GraphRendering rendering;
  ExecutedGraph graph(sim.AreaData);
  graph.SetScales(sim.Settings.ScalePercents, sim.Settings.ScaleKmOnly);
  graph.SetPlan(plan);
  TTrainPosLogData log = sim.State.PosLog;
  graph.Refresh(rendering.Picture, log, std::chrono::nanoseconds::max());
  if (graph.Failed()) rendering.Error = kGidScaleError;
  return rendering;
}

GraphRendering RenderNormativeGraph(const Simulation& sim) {
  GraphRendering rendering;
  if (std::optional<QImage> picture = DrawNormativeGraph(
          sim.AreaData, sim.Settings.ScalePercents, sim.Settings.ScaleKmOnly, &rendering.Error))
    rendering.Picture = std::move(*picture);
  return rendering;
}

}  // namespace traklin
