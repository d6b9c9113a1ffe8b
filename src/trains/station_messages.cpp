// What stations and trains tell the dispatcher: reports, requests and the repeat rule.
#include "trains/station_messages.h"

#include "area/area_queries.h"
#include "area/date_time.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

bool ValidLP(const TAreaData& area, int lp) {
  return lp >= 0 && lp < static_cast<int>(area.Puts.size());
}

int RingOf(const TAreaData& area, int lp) {
  return ValidLP(area, lp) ? area.Puts[lp].Ring : -1;
}

std::string CaptionOf(const TAreaData& area, int lp) {
  return ValidLP(area, lp) ? DSPName(area, lp) : std::string("ДСП");
}

// The filter of arrival and departure reports.
bool ReportFilterPasses(const SimulationData& sim, int lp) {
  const bool controlled = LPIsControlled(sim.AreaData, lp);
  return (!controlled || sim.Settings.NotifiesFromControlled) &&
         (!LPIsPost(sim.AreaData, lp) || controlled || sim.Settings.NotifiesFromPosts);
}
}  // namespace

void NotifyText(SimulationData& sim, const std::string& text) {
  if (sim.Console) sim.Console->NotifyDispatcher(text);
}

bool LPIsControlled(const TAreaData& area, int lp) {
  return lp >= 0 && lp < area.StationCount && lp < static_cast<int>(area.Stanzs.size()) &&
         area.Stanzs[lp].Value2 < 1;
}

bool LPIsPost(const TAreaData& area, int lp) {
  return ValidLP(area, lp) && area.Puts[lp].SingleSided == 1;
}

void StationReport(SimulationData& sim, int lp, int i, int kind) {
  const std::string name = TrainName(sim, i, 1);
  const std::string time = FormatClock(true, sim.State.ClockTime);
  std::string text;
  switch (kind) {
    case srDeparted:
      text = "Поезд " + name + " отправился в " + time;
      break;
    case srArrived:
      text = "Поезд " + name + " прибыл в " + time;
      break;
    case srPassed:
      text = "Поезд " + name + " проследовал в " + time;
      break;
    case srPutOut:
      text = "Выставляется поезд " + name;
      break;
    case srReceived:
      text = "Принимается поезд " + name;
      break;
    default:
      return;
  }
  if (sim.Console)
    sim.Console->InformDispatcher(CaptionOf(sim.AreaData, lp), text, RingOf(sim.AreaData, lp));
}

void ArrivalReport(SimulationData& sim, int i, int lp, bool report, bool planned) {
  if (!ValidTrain(sim, i) || sim.State.Trains[i].ARRIVAL_NOTIFIED) return;
  if (ValidLP(sim.AreaData, lp) && report && (planned || sim.Settings.NotifiesOfUnplannedStops) &&
      ReportFilterPasses(sim, lp))
    StationReport(sim, lp, i, srArrived);
  sim.State.Trains[i].ARRIVAL_NOTIFIED = true;
}

void DepartureReport(SimulationData& sim, int i, int lp) {
  if (!ValidTrain(sim, i) || sim.State.Trains[i].DEPARTURE_NOTIFIED) return;
  if (ValidLP(sim.AreaData, lp) && ReportFilterPasses(sim, lp))
    StationReport(sim, lp, i, srDeparted);
  sim.State.Trains[i].DEPARTURE_NOTIFIED = true;
}

void PassingReport(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return;
  TTrainData& t = sim.State.Trains[i];
  const int code = t.HEAD.LP_CODE;
  t.HEAD.LP_CODE = 0;
  const int lp = code > 0 ? FindLPIndex(sim.AreaData, code) : -1;
  if (ValidLP(sim.AreaData, lp)) {
    const TStopData* stop = CurrentStop(sim, i);
    if (stop && stop->LPCode == code) ++t.SCHEDULE_IDX;
    // This report has its own, simpler filter.
    if (!t.ARRIVAL_NOTIFIED && !t.DEPARTURE_NOTIFIED &&
        (lp >= sim.AreaData.StationCount || sim.Settings.NotifiesFromControlled) &&
        (!LPIsPost(sim.AreaData, lp) || sim.Settings.NotifiesFromPosts))
      StationReport(sim, lp, i, srPassed);
  }
  TTrainData& after = sim.State.Trains[i];
  after.ARRIVAL_NOTIFIED = false;
  after.DEPARTURE_NOTIFIED = false;
}

bool PostRequest(SimulationData& sim, int lp, int i, int track, bool performable, int kind) {
  if (!ValidTrain(sim, i) || kind < rqPut || kind > rqNone) return false;
  if (kind == rqNone) return false;
  TTrainData& t = sim.State.Trains[i];
  t.REQUEST_TIME = sim.State.ClockTime;
  t.REQUEST_TYPE = static_cast<std::uint8_t>(kind);
  t.REQUEST_LP_CODE = LPCode(sim.AreaData, lp);
  t.REQUEST_PERFORMABLE = performable ? 1 : -1;

  const std::string name = TrainName(sim, i, 1);
  std::string trackName;
  if (ValidLP(sim.AreaData, lp) && track >= 0 &&
      track < static_cast<int>(sim.AreaData.Puts[lp].Tracks.size()))
    trackName = FormatTrackName(sim.AreaData.Puts[lp].Tracks[track].Number);

  std::string question;
  std::string info;
  switch (kind) {
    case rqPut:
      question = "Выставляю поезд " + name + " на " + trackName + " путь?";
      info = "Жду освобождения пути,\r\nчтобы выставить поезд " + name;
      break;
    case rqDepartReady:
      question = "Поезд " + name + " к отправлению готов. \r\nОтправить с " + trackName + " пути?";
      info = "Поезд " + name + " к отправлению готов. ";
      break;
    case rqDepartPermit:
      question = "Разрешается отправление поезда " + name + "?";
      info = "Дайте разрешение на отправление поезду " + name;
      break;
    case rqReceive:
      question = "Принять поезд " + name + " на " + trackName + " путь?";
      info = "Жду освобождения пути,\r\nчтобы принять поезд " + name;
      break;
    case rqUnsuitableTrack:
      question =
          "Путь " + trackName + " не подходит для поезда " + name + ". Все равно принять поезд?";
      info = "Путь " + trackName + " не подходит для поезда " + name + ".";
      break;
    case rqLocoChange:
      info = "Поезд " + name + " должен быть принят для смены локомотива, а затем отправлен.";
      performable = false;
      break;
    default:
      return false;
  }
  const std::string caption = CaptionOf(sim.AreaData, lp);
  const int ring = RingOf(sim.AreaData, lp);
  if (performable && sim.AnswerStation) {
    if (const std::optional<bool> answer = sim.AnswerStation(lp, i, track, kind)) {
      // Answered without the dispatcher; the question is still on record.
      if (sim.Console) sim.Console->StationAnswered(caption, question, ring, *answer);
      return *answer;
    }
  }
  if (!sim.Console) return false;
  if (performable) return sim.Console->AskDispatcher(caption, question, ring);
  sim.Console->InformDispatcher(caption, info, ring);
  return false;
}

void HeldTrainRequest(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return;
  TTrainData& t = sim.State.Trains[i];
  const int lp = t.HEAD.LP_CODE > 0 ? FindLPIndex(sim.AreaData, t.HEAD.LP_CODE) : -1;
  if (ValidLP(sim.AreaData, lp) && !LPIsControlled(sim.AreaData, lp)) {
    // The duty officer's throat tasks take care of the train; nothing is shown.
    PostRequest(sim, lp, i, -1, false, rqNone);
    return;
  }
  t.REQUEST_TIME = sim.State.ClockTime;
  t.REQUEST_TYPE = rqNone;
  NotifyText(sim, "");
}

namespace {
// The LP code of the first stop from `from` on that names an LP, 0 when none.
int NextLPStopCode(const TGraphTrainData& e, int from) {
  for (int k = from < 0 ? 0 : from; k < static_cast<int>(e.Stops.size()); ++k)
    if (e.Stops[k].LPCode > 0) return e.Stops[k].LPCode;
  return 0;
}

std::string OtherLPText(const SimulationData& sim, int i, int code, int expected) {
  return "Поезд " + TrainName(sim, i, 1) + " прибывает на пункт № " + std::to_string(code) +
         ", отличный от пункта № " + std::to_string(expected) + " в расписании.";
}
}  // namespace

void EnterLP(SimulationData& sim, int i, int lpCode) {
  if (!ValidTrain(sim, i)) return;
  {
    TTrainData& t = sim.State.Trains[i];
    t.ARRIVAL_NOTIFIED = false;
    t.DEPARTURE_NOTIFIED = false;
    t.HEAD.LP_CODE = lpCode;
  }
  if (lpCode <= 0 || FindLPIndex(sim.AreaData, lpCode) < 0) return;
  TTrainData& t = sim.State.Trains[i];
  if (t.NEXT_LP_CODE != 0 && t.NEXT_LP_CODE != lpCode) {
    NotifyText(sim, OtherLPText(sim, i, lpCode, t.NEXT_LP_CODE));
    return;
  }
  if (lpCode == t.ARRIVAL_LP_CODE) {
    t.STOP_LP_CODE = lpCode;
    return;
  }
  const TGraphTrainsData* list = nullptr;
  int index = -1;
  const TGraphTrainData* entry =
      t.SCHEDULE_IDX >= 0 ? ScheduleEntry(sim, i, &list, &index) : nullptr;
  const int stop = entry ? FindTrainStopByLP(*list, index, lpCode, t.SCHEDULE_IDX) : -1;
  const bool passenger = t.LOAD_TYPE >= 100;
  if (stop < 0 || stop >= static_cast<int>(entry ? entry->Stops.size() : 0)) {
    if (!entry) {
      if (passenger)
        NotifyText(sim, "Пассажирский поезд " + TrainName(sim, i, 1) + " не имеет расписания.");
      else if (lpCode == t.CREATION_LP_CODE)
        t.STOP_LP_CODE = lpCode;
    } else {
      NotifyText(sim, OtherLPText(sim, i, lpCode, NextLPStopCode(*entry, t.SCHEDULE_IDX)));
    }
    return;
  }
  const TStopData& s = entry->Stops[stop];
  if (s.Arrival != 0 && (s.LocoType > 0 || passenger)) t.STOP_LP_CODE = lpCode;
  const int next = NextLPStopCode(*entry, stop + 1);
  if (next > 0) t.NEXT_LP_CODE = next;
}

}  // namespace traklin
