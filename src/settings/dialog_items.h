// The item lists of the settings dialog's drop-down boxes and how record values map onto them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace traklin {

/// Graph scale items; "a:b" stands for a × 100 ÷ b percent.
inline constexpr std::array<std::string_view, 9> kGidScaleItems = {
    "1:20", "1:10", "1:5", "1:4", "1:2", "1:1", "2:1", "4:1", "5:1"};

/// Pauses before a repeated request; the number before the first blank is the minutes.
inline constexpr std::array<std::string_view, 14> kPauseItems = {
    "2 мин",  "3 мин",  "4 мин",  "5 мин",  "6 мин",  "8 мин",  "10 мин",
    "12 мин", "15 мин", "20 мин", "25 мин", "30 мин", "45 мин", "60 мин"};

/// Random freight number deviation; item i stands for i × 10 percent.
inline constexpr std::array<std::string_view, 11> kDeviationItems = {
    " 0 %",  " 10 %", " 20 %", " 30 %", " 40 %", " 50 %",
    " 60 %", " 70 %", " 80 %", " 90 %", " 100 %"};

/// Trains per day of one random-freight record.
inline constexpr std::array<std::string_view, 11> kFreightCountItems = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};

/// The percent of a scale text "a:b", a × 100 ÷ b; nullopt when the text is not of that form
/// or b is 0.
std::optional<int> GidScaleItemPercent(std::string_view item);
/// The number before the first blank of an item ("8 мин" gives 8); nullopt when there is none.
std::optional<int> ItemLeadingNumber(std::string_view item);

/// Index of the first scale item whose percent is at least `percent`, else the last.
int GidScaleIndex(int percent);
/// Index of the first pause item whose minutes are at least `minutes`, else the last.
int PauseIndex(int minutes);
/// deviation ÷ 10, kept inside the item list.
int DeviationIndex(int deviation);
/// Index of the first count item at least `count`, else the last.
int FreightCountIndex(int count);

/// The reverse mappings: the record value of a chosen item. An index outside the list gives
/// nullopt; the caller then keeps the record's value.
std::optional<int> GidScalePercentAt(int index);
std::optional<int> PauseMinutesAt(int index);
std::optional<int> DeviationAt(int index);
std::optional<int> FreightCountAt(int index);

/// Names of the row controls of a random-freight record: "lbFrom<from>To<to>" and
/// "cbRndFFrom<from>To<to>".
std::string FreightLabelName(const TRandomFreightData& freight);
std::string FreightComboName(const TRandomFreightData& freight);

}  // namespace traklin
