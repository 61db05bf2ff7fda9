// Fuzz input cut into chunks of sizes the input itself chooses, for the
// extraction targets that must give the same output whatever the chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

// The first bytes of the input are the settings: Setting(i) reads them.
struct FuzzInput {
  const uint8_t* data;
  size_t size;
  static constexpr size_t kSettings = 4;
  uint8_t Setting(size_t i) const { return i < size ? data[i] : 0; }
  const uint8_t* Stream() const { return data + (size > kSettings ? kSettings : size); }
  size_t StreamSize() const { return size > kSettings ? size - kSettings : 0; }
};

// Feeds bytes to feed(data, n) in chunks from 1 byte to about 1 MiB; the
// pattern comes from seed.
template <class Feed>
void FeedInChunks(const uint8_t* data, size_t size, uint8_t seed, Feed&& feed) {
  uint32_t state = seed * 2654435761u + 1;
  for (size_t at = 0; at < size;) {
    state = state * 1103515245u + 12345u;
    const size_t choice = (state >> 16) % 6;
    const size_t n = choice == 0   ? 1
                     : choice == 1 ? 187
                     : choice == 2 ? 189
                     : choice == 3 ? 4096
                                   : (state >> 8) % 1500 + 1;
    const size_t take = n < size - at ? n : size - at;
    feed(data + at, static_cast<int32_t>(take));
    at += take;
  }
}

// The input's stream fed once whole and once in chunks; a finding (abort)
// when what comes out differs. run(feedAll, out) sets up a target, hands
// feedAll a feed(data, n) to push the stream through it, and appends what it
// passes on to out.
template <class Run>
void RequireChunkInvariance(const FuzzInput& in, Run&& run) {
  std::vector<uint8_t> whole;
  std::vector<uint8_t> chunked;
  run(
      [&](auto&& feed) {
        if (in.StreamSize() > 0) feed(in.Stream(), static_cast<int32_t>(in.StreamSize()));
      },
      whole);
  run([&](auto&& feed) { FeedInChunks(in.Stream(), in.StreamSize(), in.Setting(3), feed); }, chunked);
  if (whole != chunked) std::abort();
}
