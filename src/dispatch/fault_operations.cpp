// The instructor's faults and the dispatcher's permissions as operations: each done in one
// function that the scenario player and the console call, with the scenario line that does it.
#include "dispatch/fault_operations.h"

#include <algorithm>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "area/object_names.h"
#include "dispatch/operations.h"
#include "dispatch/shift_file.h"
#include "state/faults.h"
#include "trains/fault_trains.h"

namespace traklin {

namespace {

std::optional<int> Positive(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const int n = std::stoi(text);
  return n > 0 ? std::optional<int>(n) : std::nullopt;
}

/// Reads the object of a fault of `kind` from `args` into `f`; the reason when it is none.
class ObjectReader {
 public:
  ObjectReader(const TAreaData& area, TFaultData& f) : area_(area), f_(f) {}

  std::string Lp(const std::string& word, int& lp) const {
    const auto code = Positive(word);
    if (!code) return "LP code is not a number: " + word;
    lp = FindLPIndex(area_, *code);
    return lp < 0 ? "no LP with code " + word : std::string();
  }

  std::string Read(FaultKind kind, const std::vector<std::string>& args) {
    f_ = TFaultData{};
    f_.KIND = static_cast<std::uint8_t>(kind);
    switch (kind) {
      case FaultKind::Train: {
        const auto n = Positive(args[0]);
        if (!n) return "train number must be positive: " + args[0];
        f_.OBJECT = *n;
        return {};
      }
      case FaultKind::Switch: {
        if (std::string e = Lp(args[0], f_.LP); !e.empty()) return e;
        const auto w = Positive(args[1]);
        if (!w || *w >= static_cast<int>(area_.Strels.size()) || area_.Strels[*w].Section <= 0 ||
            SwitchStation(area_, *w) != f_.LP)
          return "no switch " + args[1] + " at LP " + args[0];
        f_.OBJECT = *w;
        return {};
      }
      case FaultKind::Section:
        if (args.size() == 1) {
          f_.OBJECT = FindBlockSection(area_, args[0]);
          return f_.OBJECT > 0 ? std::string() : "no block section " + args[0];
        }
        if (std::string e = Lp(args[0], f_.LP); !e.empty()) return e;
        f_.OBJECT = FindStationSection(area_, f_.LP, args[1]);
        return f_.OBJECT > 0 ? std::string() : "no section " + args[1] + " at LP " + args[0];
      case FaultKind::Signal:
        if (std::string e = Lp(args[0], f_.LP); !e.empty()) return e;
        f_.OBJECT = FindStationSignal(area_, f_.LP, args[1]);
        return f_.OBJECT >= 0 ? std::string() : "no signal " + args[1] + " at LP " + args[0];
      case FaultKind::Limit: {
        const std::string& w = args[0];
        const std::size_t colon = w.find(':');
        if (colon == std::string::npos) {
          const auto p = Positive(w);
          if (!p || *p > static_cast<int>(area_.GraphPeregons.size())) return "no peregon " + w;
          f_.OBJECT = *p - 1;
          return {};
        }
        if (std::string e = Lp(w.substr(0, colon), f_.LP); !e.empty()) return e;
        const std::string track = w.substr(colon + 1);
        const TTracksData& tracks = area_.Puts[f_.LP].Tracks;
        for (int k = 0; k < static_cast<int>(tracks.size()); ++k)
          if (FormatTrackName(tracks[k].Number) == track) {
            f_.OBJECT = k;
            return {};
          }
        return "no track " + track + " at LP " + w.substr(0, colon);
      }
    }
    return "no such object";
  }

 private:
  const TAreaData& area_;
  TFaultData& f_;
};

/// The words an object of `kind` takes: the count given the words left after the kind.
std::string ObjectShape(FaultKind kind) {
  switch (kind) {
    case FaultKind::Train:
      return "NUMBER";
    case FaultKind::Switch:
      return "LP NUMBER";
    case FaultKind::Section:
      return "LP NAME or PEREGON:K";
    case FaultKind::Signal:
      return "LP NAME";
    case FaultKind::Limit:
      return "PEREGON or LP:TRACK";
  }
  return "";
}

/// Whether `count` words make an object of `kind` (a section takes one or two).
bool ObjectCountFits(FaultKind kind, std::size_t count) {
  switch (kind) {
    case FaultKind::Train:
    case FaultKind::Limit:
      return count == 1;
    case FaultKind::Section:
      return count == 1 || count == 2;
    case FaultKind::Switch:
    case FaultKind::Signal:
      return count == 2;
  }
  return false;
}

std::string ReadSpan(const std::string& word, FaultOrder& order) {
  order.Span = word;
  order.For = 0;
  if (word == "-") return {};
  const auto span = ParseSpan(word);
  if (!span || *span <= 0) return "not a span (a number with s, m, h or d, or -): " + word;
  order.For = *span;
  return {};
}

std::vector<std::string> Slice(const std::vector<std::string>& w, std::size_t from,
                               std::size_t to) {
  return {w.begin() + static_cast<std::ptrdiff_t>(from),
          w.begin() + static_cast<std::ptrdiff_t>(to)};
}

}  // namespace

bool IsFaultAction(const std::string& action) {
  return action == "fault" || action == "limit" || action == "clear" || action == "permit";
}

std::string ParseFaultOrder(const TAreaData& area, const std::vector<std::string>& words,
                            FaultOrder& order) {
  order = FaultOrder{};
  if (words.empty()) return "no action";
  ObjectReader reader(area, order.Fault);
  const std::string& action = words[0];
  if (action == "permit") {
    order.What = FaultOrder::Kind::Permit;
    if (words.size() != 2) return "permit: expected NUMBER";
    const auto n = Positive(words[1]);
    if (!n) return "train number must be positive: " + words[1];
    order.Number = *n;
    return {};
  }
  if (action == "limit") {
    if (words.size() != 4) return "limit: expected PEREGON|LP:TRACK KMH SPAN";
    if (std::string e = reader.Read(FaultKind::Limit, Slice(words, 1, 2)); !e.empty()) return e;
    const auto kmh = Positive(words[2]);
    if (!kmh || *kmh > 500) return "speed must be 1 to 500 km/h: " + words[2];
    order.Fault.KMH = *kmh;
    return ReadSpan(words[3], order);
  }
  if (action == "fault") {
    if (words.size() < 2) return "fault: expected train, switch, section or signal";
    const auto kind = FaultKindOfWord(words[1]);
    if (!kind || *kind == FaultKind::Limit)
      return "fault: expected train, switch, section or signal: " + words[1];
    const std::size_t objectWords = words.size() - 3;
    if (words.size() < 3 || !ObjectCountFits(*kind, objectWords))
      return "fault " + words[1] + ": expected " + ObjectShape(*kind) + " SPAN";
    if (std::string e = reader.Read(*kind, Slice(words, 2, words.size() - 1)); !e.empty()) return e;
    return ReadSpan(words.back(), order);
  }
  if (action == "clear") {
    order.What = FaultOrder::Kind::Clear;
    std::size_t first = 2;
    std::optional<FaultKind> kind;
    if (words.size() >= 2 && words[1] == "limit") {
      kind = FaultKind::Limit;
    } else if (words.size() >= 3 && words[1] == "fault") {
      kind = FaultKindOfWord(words[2]);
      first = 3;
    }
    if (!kind) return "clear: expected fault KIND OBJECT or limit PEREGON|LP:TRACK";
    if (!ObjectCountFits(*kind, words.size() - first))
      return "clear " + std::string(FaultKindWord(*kind)) + ": expected " + ObjectShape(*kind);
    return reader.Read(*kind, Slice(words, first, words.size()));
  }
  return "unknown action: " + action;
}

std::string FaultOrderLine(const TAreaData& area, const FaultOrder& order) {
  const TFaultData& f = order.Fault;
  const bool limit = f.KIND == static_cast<std::uint8_t>(FaultKind::Limit);
  const std::string object = FaultObjectText(area, f);
  const std::string kind = FaultKindWord(static_cast<FaultKind>(f.KIND));
  switch (order.What) {
    case FaultOrder::Kind::Set:
      if (limit) return "limit " + object + " " + std::to_string(f.KMH) + " " + order.Span;
      return "fault " + kind + " " + object + " " + order.Span;
    case FaultOrder::Kind::Clear:
      return limit ? "clear limit " + object : "clear fault " + kind + " " + object;
    case FaultOrder::Kind::Permit:
      return "permit " + std::to_string(order.Number);
  }
  return {};
}

namespace {

/// Tells OnOperation (a shift's recorder) the line of the order, a refusal as its note.
std::string Told(DispatchData& sim, const FaultOrder& order, const std::string& reason) {
  NoteOperation(sim, FaultOrderLine(sim.AreaData, order),
                reason.empty() ? std::string() : "not done: " + reason);
  return reason;
}

}  // namespace

std::string OperateFault(DispatchData& sim, const TFaultData& fault, const std::string& span,
                         std::optional<TDateTime> from) {
  FaultOrder order;
  order.Fault = fault;
  if (std::string e = ReadSpan(span, order); !e.empty()) return e;
  TFaultData f = fault;
  f.UNTIL = order.For > 0 ? (from ? *from : DueAfter(sim.State.ClockTime)) + order.For : 0;
  return Told(sim, order, SetFault(sim, f));
}

std::string OperateClearFault(DispatchData& sim, const TFaultData& object) {
  FaultOrder order;
  order.What = FaultOrder::Kind::Clear;
  order.Fault = object;
  return Told(sim, order, ClearFault(sim, object));
}

std::string OperatePermit(DispatchData& sim, int number) {
  FaultOrder order;
  order.What = FaultOrder::Kind::Permit;
  order.Number = number;
  return Told(sim, order, PermitTrain(sim, number));
}

std::string PlayFaultOrder(DispatchData& sim, const FaultOrder& order, TDateTime due) {
  switch (order.What) {
    case FaultOrder::Kind::Set:
      return OperateFault(sim, order.Fault, order.Span, due);
    case FaultOrder::Kind::Clear:
      return OperateClearFault(sim, order.Fault);
    case FaultOrder::Kind::Permit:
      return OperatePermit(sim, order.Number);
  }
  return {};
}

std::vector<ActiveFault> ActiveFaults(const SimulationData& sim) {
  std::vector<ActiveFault> list;
  for (const TFaultData& f : sim.State.Faults) {
    FaultOrder clear;
    clear.What = FaultOrder::Kind::Clear;
    clear.Fault = f;
    list.push_back({f, FaultDescription(sim.AreaData, f), FaultOrderLine(sim.AreaData, clear)});
  }
  return list;
}

}  // namespace traklin
