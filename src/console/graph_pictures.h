// The pictures of the train graphs: the executed graph drawn as the log grows, the normative
// graph and its file NGDP.bmp, and offscreen renderings of both.
#pragma once

#include <QImage>
#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "simulation/simulation.h"
#include "views/graph_geometry.h"

namespace traklin {

/// The executed graph's picture and what has been drawn into it. The picture itself is held
/// by the caller (the window's view, or a rendering) and passed in, so it is never copied.
class ExecutedGraph {
 public:
  explicit ExecutedGraph(const TAreaData& area);

  /// The scales from the settings (start-up); the next refresh builds the picture again.
  void SetScales(int percents, bool kmOnly);
  /// The timetable's passenger trains are drawn, thin and dashed, whenever the picture is
  /// built (the start-up asks for it when it draws NGDP.bmp).
  void SetPlannedTrains(bool on);
  /// Every train's planned run (the normative graph's lines) is drawn, thin and dashed under
  /// the executed lines, whenever the picture is built.
  void SetPlan(bool on);
  bool Plan() const { return plan_; }

  /// What a refresh did.
  struct Refreshed {
    bool Built = false;      ///< the picture was (re)made: show all of it
    bool FitFailed = false;  ///< the layout does not fit: the first time only
    QRect Changed;           ///< pixels drawn into the picture
    bool Pending = false;    ///< the log holds entries not drawn yet
  };
  /// Builds the picture when there is none (fitting the scale), then draws the segments of new
  /// key points of the log until the log is read or the budget is spent. After a failed fit
  /// it does nothing.
  Refreshed Refresh(QImage& picture, TTrainPosLogData& log, std::chrono::nanoseconds budget);
  /// Forgets the picture and what was drawn: the next refresh builds the picture again and
  /// draws the whole log (a restored state).
  void Reset(QImage& picture);

  bool Built() const { return built_; }
  bool Failed() const { return failed_; }
  const GraphLayout& Layout() const { return layout_; }
  const GraphScales& Scales() const { return scales_; }

 private:
  const TAreaData& area_;
  GraphScales scales_;
  bool kmOnly_ = true;
  bool planned_ = false;
  bool plan_ = false;
  bool built_ = false;
  bool failed_ = false;
  GraphLayout layout_;
  GraphLogFeed feed_;
};

/// The normative graph of the district's timetable; nullopt with kNgdpScaleError when it does
/// not fit (or when the picture cannot be allocated).
std::optional<QImage> DrawNormativeGraph(const TAreaData& area, int percents, bool kmOnly,
                                         std::string* error);

/// Writes a picture as BMP: to a temporary file beside the target, then renamed over it, so
/// the target is whole or absent. Returns false (and leaves nothing behind) on failure.
using PictureWriter = std::function<bool(const QImage& picture, const QString& path)>;
bool WritePictureAtomically(const QImage& picture, const std::filesystem::path& path,
                            const PictureWriter& write = {});

/// At start: when NGDP.bmp is missing, draws the normative graph and writes it, and has the
/// executed graph show the planned passenger trains. Returns the message for a failure
/// (the scale error, or "Error writing NGDP.bmp" with the path), which does not stop the
/// start; nullopt when the file was there or has been written.
std::optional<std::string> EnsureNormativeGraphFile(const TAreaData& area, int percents,
                                                    bool kmOnly, const std::filesystem::path& file,
                                                    ExecutedGraph* executed,
                                                    const PictureWriter& write = {});

/// Offscreen renderings for pictures of a run (a Qt GUI application must exist): the whole
/// position log drawn as the executed graph (with every train's planned run under it, `plan`),
/// without the cursor; and the normative graph. An empty picture with the error text when the
/// graph cannot be fitted.
struct GraphRendering {
  QImage Picture;
  std::string Error;
};
GraphRendering RenderExecutedGraph(const Simulation& sim, bool plan = false);
GraphRendering RenderNormativeGraph(const Simulation& sim);

}  // namespace traklin
