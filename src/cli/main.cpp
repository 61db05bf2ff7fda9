// tessaro-cli: the stream engine without a window.
#include <cstdio>

#include "core/StreamType.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  int32_t size = 0;
  int32_t offset = 0;
  if (!tessaro::IsTS(argv[2], size, offset)) {
    std::fprintf(stderr, "Not valid transport stream\n");
    return 2;
  }
  std::printf("packet_size=%d start_offset=%d\n", size, offset);
  return 0;
}
