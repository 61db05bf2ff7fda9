// TSIDeadlines: the SI tables and sections that must come again within a
// limit of stream time (ETSI TR 101 290, 5.2.3), and which of them are
// overdue. A limit runs out once per gap: the track is overdue until its
// table comes again. The earliest time a limit can run out is kept, so that
// the checker looks at the tracks only when one may have run out.
#pragma once

#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

#include "validation/Indicators.h"

namespace tessaro {

class TSIDeadlines {
 public:
  // Tracks beyond this many are not made: a stream of made-up sub-tables
  // must not take memory without end.
  static constexpr size_t kMostTracks = size_t{1} << 16;

  struct TTrack {
    TIndicator indicator = TIndicator::SI_repetition_error;
    uint8_t tableId = 0;
    uint16_t pid = 0;
    int32_t extension = -1;  // table_id_extension; -1: the table as a whole
    int32_t section = -1;    // section_number; -1: any
    double limit = 0;
    double last = 0;          // stream time of the last section, or of the first PCR
    int64_t lastOffset = -1;  // its packet; -1: none came yet
    bool overdue = false;
  };

  // The track of key; a new one is track as given. nullptr when there are too many.
  TTrack* Find(uint64_t key, const TTrack& track) {
    const auto [it, added] = index_.try_emplace(key, static_cast<uint32_t>(tracks_.size()));
    if (!added) return &tracks_[it->second];
    if (tracks_.size() >= kMostTracks) {
      index_.erase(it);
      return nullptr;
    }
    tracks_.push_back(track);
    Due(tracks_.back());
    return &tracks_.back();
  }

  void Seen(TTrack& track, double time, int64_t offset) {
    track.last = time;
    track.lastOffset = offset;
    track.overdue = false;
    Due(track);
  }

  // No limit runs out before this time.
  double Next() const { return next_; }

  // Marks overdue, and hands to report, every track whose limit ran out by now.
  template <class Report>
  void Expire(double now, Report&& report) {
    next_ = kNever;
    for (TTrack& track : tracks_) {
      if (track.overdue) continue;
      if (now - track.last > track.limit) {
        track.overdue = true;
        report(static_cast<const TTrack&>(track));
      } else {
        Due(track);
      }
    }
  }

 private:
  static constexpr double kNever = std::numeric_limits<double>::infinity();
  // Limits only move later when a table comes, so next_ may be early: Expire corrects it.
  void Due(const TTrack& track) {
    if (track.last + track.limit < next_) next_ = track.last + track.limit;
  }

  std::vector<TTrack> tracks_;
  std::unordered_map<uint64_t, uint32_t> index_;
  double next_ = kNever;
};

}  // namespace tessaro
