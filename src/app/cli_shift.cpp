// traklin-cli run --record and --replay: a headless run recorded as a shift, and a recorded
// shift replayed and compared with its event log.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "app/cli_commands.h"
#include "area/district_catalogue.h"
#include "simulation/shift_replay.h"

namespace traklin::cli {

namespace {

/// A stream that writes to two others (either may be absent).
class TeeBuffer : public std::streambuf {
 public:
  std::ostream* First = nullptr;
  std::ostream* Second = nullptr;

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const char ch = static_cast<char>(c);
    if (First) First->put(ch);
    if (Second) Second->put(ch);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (First) First->write(s, n);
    if (Second) Second->write(s, n);
    return n;
  }
};

}  // namespace

struct ShiftRecording::Parts {
  ShiftRecorder Recorder;
  TeeBuffer Tee;
  std::ostream Out{&Tee};
  std::string Folder;
};

ShiftRecording::ShiftRecording() = default;
ShiftRecording::~ShiftRecording() = default;

bool ShiftRecording::Begin(Simulation& sim, const std::string& folder, const std::string& district,
                           std::uint64_t seed) {
  parts_ = std::make_unique<Parts>();
  parts_->Folder = folder;
  // A number is the district's number wherever the shift is replayed; a directory is made
  // absolute, so that the shift replays from any working directory.
  std::string name = district;
  if (!ParseDistrictArgument(district)) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(district, ec);
    if (!ec) name = absolute.lexically_normal().string();
  }
  try {
    parts_->Recorder.Begin(sim, folder, name, seed);
  } catch (const ShiftError& e) {
    std::cerr << "--record: " << e.what() << "\n";
    parts_.reset();
    return false;
  }
  return true;
}

std::ostream* ShiftRecording::Events(std::ostream* other) {
  if (!parts_) return other;
  parts_->Tee.First = other;
  parts_->Tee.Second = &parts_->Recorder.Events();
  return &parts_->Out;
}

bool ShiftRecording::End() {
  if (!parts_) return true;
  // Whatever the run logs after this (its final save) is not part of the shift.
  parts_->Tee.Second = nullptr;
  try {
    parts_->Recorder.End();
  } catch (const ShiftError& e) {
    std::cerr << "--record: " << e.what() << "\n";
    return false;
  }
  return true;
}

const std::string* ShiftRecording::Folder() const {
  return parts_ ? &parts_->Folder : nullptr;
}

int ReplayShift(const std::string& folder, const std::string& eventsFile) {
  Simulation sim;
  std::unique_ptr<ShiftReplay> replay;
  try {
    replay = std::make_unique<ShiftReplay>(sim, folder);
  } catch (const ShiftError& e) {
    std::cerr << e.what() << "\n";
    return kFailed;
  }
  std::ofstream file;
  if (!eventsFile.empty()) {
    file.open(eventsFile, std::ios::binary | std::ios::trunc);
    if (!file) {
      std::cerr << "--events: cannot write " << eventsFile << "\n";
      return kFailed;
    }
  }
  std::ostringstream log;
  TeeBuffer tee;
  tee.First = &log;
  tee.Second = file.is_open() ? &file : nullptr;
  std::ostream out(&tee);
  const std::string text = (std::filesystem::path(folder) / kShiftTextFile).string();
  replay->Refused = [&text](int line, const std::string& reason) {
    std::cerr << text << ": line " << line << " not done: " << reason << "\n";
  };
  std::cout << "seed: " << *replay->Header().Seed << "\n";
  std::cout << "start: " << FormatEventTime(replay->Start()) << "\n";
  const RunSummary summary = replay->Run(&out);
  std::cout << "end: " << FormatEventTime(sim.State.ClockTime) << "\n";
  std::cout << FormatRunSummary(summary);
  if (file.is_open()) {
    file.flush();
    if (!file) {
      std::cerr << "--events: writing " << eventsFile << " failed\n";
      return kFailed;
    }
  }
  const std::optional<LogDifference> d = FirstDifference(replay->RecordedText(), log.str());
  if (!d) {
    std::cout << "replay: identical to " << kShiftEventsFile << " (" << replay->Recorded().size()
              << " lines)\n";
    return 0;
  }
  std::cout << "replay: differs from " << kShiftEventsFile << " at line " << d->Line << "\n";
  std::cout << "expected: " << (d->ExpectedEnded ? "(the end of the log)" : d->Expected) << "\n";
  std::cout << "got: " << (d->GotEnded ? "(the end of the log)" : d->Got) << "\n";
  return kReplayDiffers;
}

}  // namespace traklin::cli
