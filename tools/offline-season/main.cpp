// offline-season-builder: writes data/offline-season/ from the recorded data.
//   offline-season-builder <fixtures folder> <output folder>
#include <cstdio>

#include "offline_season/SnapshotBuilder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <fixtures folder> <output folder>\n", argv[0]);
    return 2;
  }
  offline_season::BuildOptions options;
  options.fixtures = argv[1];
  auto snapshot = offline_season::buildSnapshot(options, offline_season::defaultProducers());
  if (!snapshot) {
    std::fprintf(stderr, "offline-season-builder: %s\n", snapshot.error().c_str());
    return 1;
  }
  if (auto written = snapshot->writeTo(argv[2]); !written) {
    std::fprintf(stderr, "offline-season-builder: %s\n", written.error().c_str());
    return 1;
  }
  std::size_t bytes = 0;
  for (const auto& [path, file] : snapshot->files()) bytes += file.bytes.size();
  std::printf("wrote %zu files, %zu bytes, to %s\n", snapshot->files().size(), bytes, argv[2]);
  return 0;
}
