// The item lists of the settings dialog's drop-down boxes and how record values map onto them.
#include "settings/dialog_items.h"

#include <algorithm>
#include <charconv>

namespace traklin {
namespace {

std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

/// The first index whose value reaches `stored`, else the last index.
template <std::size_t N, typename ValueOf>
int FirstAtLeast(const std::array<std::string_view, N>& items, int stored, ValueOf valueOf) {
  for (std::size_t i = 0; i < N; ++i) {
    const std::optional<int> v = valueOf(items[i]);
    if (v && *v >= stored) return static_cast<int>(i);
  }
  return static_cast<int>(N) - 1;
}

template <std::size_t N, typename ValueOf>
std::optional<int> ValueAt(const std::array<std::string_view, N>& items, int index,
                           ValueOf valueOf) {
  if (index < 0 || index >= static_cast<int>(N)) return std::nullopt;
  return valueOf(items[static_cast<std::size_t>(index)]);
}

}  // namespace

std::optional<int> GidScaleItemPercent(std::string_view item) {
  const auto colon = item.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto a = WholeNumber(item.substr(0, colon));
  const auto b = WholeNumber(item.substr(colon + 1));
  if (!a || !b || *b == 0) return std::nullopt;
  return *a * 100 / *b;
}

std::optional<int> ItemLeadingNumber(std::string_view item) {
  // Items like " 10 %" start with a blank; the number is the first word.
  const auto first = item.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  item.remove_prefix(first);
  return WholeNumber(item.substr(0, item.find(' ')));
}

int GidScaleIndex(int percent) {
  return FirstAtLeast(kGidScaleItems, percent, GidScaleItemPercent);
}

int PauseIndex(int minutes) {
  return FirstAtLeast(kPauseItems, minutes, ItemLeadingNumber);
}

int DeviationIndex(int deviation) {
  const int last = static_cast<int>(kDeviationItems.size()) - 1;
  return std::clamp(deviation / 10, 0, last);
}

int FreightCountIndex(int count) {
  return FirstAtLeast(kFreightCountItems, count, WholeNumber);
}

std::optional<int> GidScalePercentAt(int index) {
  return ValueAt(kGidScaleItems, index, GidScaleItemPercent);
}

std::optional<int> PauseMinutesAt(int index) {
  return ValueAt(kPauseItems, index, ItemLeadingNumber);
}

std::optional<int> DeviationAt(int index) {
  if (index < 0 || index >= static_cast<int>(kDeviationItems.size())) return std::nullopt;
  return index * 10;
}

std::optional<int> FreightCountAt(int index) {
  return ValueAt(kFreightCountItems, index, WholeNumber);
}

std::string FreightLabelName(const TRandomFreightData& freight) {
  return "lbFrom" + std::to_string(freight.From) + "To" + std::to_string(freight.To);
}

std::string FreightComboName(const TRandomFreightData& freight) {
  return "cbRndFFrom" + std::to_string(freight.From) + "To" + std::to_string(freight.To);
}

}  // namespace traklin
