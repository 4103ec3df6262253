#include "board/holecount.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "board/boardcheck.h"
#include "board/words.h"

namespace boards {
namespace {

// What the diagnosis knows of an item: how many holes it holds and the
// longest step it holds.
struct itemrecord {
  std::int64_t count = 0;
  textplace place;
  std::int64_t longest = -1;  // -1: no step, the track's first hole
  std::int64_t to = 0;        // the hole the longest step goes to
  holetype from, at;
};

// Makes the step to hole h the record's longest when it is longer.
void hold(itemrecord& record, std::int64_t step, std::int64_t h,
          const holetype& from, const holetype& to) {
  if (step <= record.longest) return;
  record.longest = step;
  record.to = h;
  record.from = from;
  record.at = to;
}

// Each item's count and the longest step it holds: the steps between its
// holes, and the step from the item before, held by both (either may be
// where the track went wrong).
std::vector<itemrecord> itemrecords(const trackcount& track) {
  const auto& items = track.items;
  std::vector<itemrecord> records(items.size());
  const auto held = static_cast<std::int64_t>(track.holes.size());
  for (std::size_t k = 0; k < items.size(); ++k) {
    const std::int64_t first = items[k].first;
    const std::int64_t end =
        k + 1 < items.size() ? items[k + 1].first : std::min(track.count, held);
    records[k].count = end - first;
    records[k].place = items[k].place;
    for (std::int64_t h = std::max<std::int64_t>(first, 1);
         h < std::min(end, held); ++h) {
      const holetype &from = track.holes[h - 1], &to = track.holes[h];
      const std::int64_t step = stepbetween(from, to);
      hold(records[k], step, h, from, to);
      if (h == first && k > 0) hold(records[k - 1], step, h, from, to);
    }
  }
  return records;
}

// The items looked at: when the count ran over, only those up to there.
std::size_t lookedat(const trackcount& track,
                     const std::vector<itemrecord>& records) {
  return track.overrun ? std::min(*track.overrun + 1, records.size())
                       : records.size();
}

// The run whose length differs from the length most runs share by just as
// many holes as the count is out: the count is then explained where it
// stands, wherever the run is on its line. None where no length is shared
// by more runs than any other.
const itemrecord* explainingrun(const trackcount& track,
                                const std::vector<itemrecord>& records) {
  std::map<std::int64_t, std::int64_t> runs;  // by length, how many
  for (const itemrecord& record : records) {
    if (record.count > 1) ++runs[record.count];
  }
  std::int64_t usual = 0, most = 0, sharing = 0;  // lengths as common
  for (const auto& [length, count] : runs) {
    if (count > most) {
      usual = length;
      most = count;
      sharing = 1;
    } else if (count == most) {
      ++sharing;
    }
  }
  if (most < 2 || sharing > 1) return nullptr;
  const std::int64_t error = track.count - track.expected;
  for (std::size_t i = 0; i < lookedat(track, records); ++i) {
    if (records[i].count > 1 && records[i].count - usual == error) {
      return &records[i];
    }
  }
  return nullptr;
}

// The item that holds the longest step; where steps tie, the first run
// whose length differs from both neighbours', else from one.
const itemrecord* longeststep(const trackcount& track,
                              const std::vector<itemrecord>& records) {
  const std::size_t last = lookedat(track, records);
  std::int64_t longest = -1;
  for (std::size_t i = 0; i < last; ++i) {
    longest = std::max(longest, records[i].longest);
  }
  const auto differs = [&records](std::size_t i, std::size_t j) {
    return j < records.size() && records[j].count != records[i].count;
  };
  const itemrecord* first = nullptr;
  const itemrecord* onedifferent = nullptr;
  for (std::size_t i = 0; i < last; ++i) {
    const itemrecord& record = records[i];
    if (record.longest != longest) continue;
    if (first == nullptr) first = &record;
    if (record.count < 2) continue;
    const bool before = i == 0 || differs(i, i - 1);
    const bool after = i + 1 == records.size() || differs(i, i + 1);
    if (before && after) return &record;
    if ((before || after) && onedifferent == nullptr) onedifferent = &record;
  }
  return onedifferent != nullptr ? onedifferent : first;
}

// "; this run holds 9 holes, the items beside it 5 and 5", where a run's
// length differs from its neighbours'.
std::string lengthamong(const std::vector<itemrecord>& records,
                        const itemrecord* item) {
  const auto k = static_cast<std::size_t>(item - records.data());
  std::vector<std::int64_t> beside;
  if (k > 0) beside.push_back(records[k - 1].count);
  if (k + 1 < records.size()) beside.push_back(records[k + 1].count);
  const bool differs =
      std::any_of(beside.begin(), beside.end(),
                  [item](std::int64_t count) { return count != item->count; });
  if (item->count < 2 || !differs) return "";
  std::string text =
      "; this run holds " + counted(item->count, "hole") +
      (beside.size() == 1 ? ", the item beside it " : ", the items beside it ");
  for (std::size_t i = 0; i < beside.size(); ++i) {
    if (i > 0) text += " and ";
    appendnumber(text, beside[i]);
  }
  return text;
}

}  // namespace

textproblem wrongcount(const trackcount& track) {
  const std::int64_t expected = track.expected;
  std::string message = "track " + std::to_string(track.track) + " has " +
                        counted(track.count, "hole") + ", " +
                        std::to_string(std::abs(track.count - expected)) +
                        (track.count > expected ? " more" : " fewer") +
                        " than " + std::to_string(expected);
  const std::vector<itemrecord> records = itemrecords(track);
  if (records.empty()) {
    return {track.line.line, track.line.column, std::move(message)};
  }
  const itemrecord* likely = explainingrun(track, records);
  const bool explained = likely != nullptr;
  if (!explained) likely = longeststep(track, records);
  message += lengthamong(records, likely);
  // A step of one cell says nothing of where a hole went missing, nor does
  // a gap between groups where a run's length says it already.
  if (!explained && likely->longest > 1) {
    message += "; the longest step, " + counted(likely->longest, "cell") +
               ", is from hole " + std::to_string(likely->to - 1) + " at " +
               cellname(likely->from.y, likely->from.x) + " to hole " +
               std::to_string(likely->to) + " at " +
               cellname(likely->at.y, likely->at.x);
  }
  return {likely->place.line, likely->place.column, std::move(message)};
}

}  // namespace boards
