// offline-season-builder: writes data/offline-season/ from the recorded data.
//   offline-season-builder [--with-media] <fixtures folder> <output folder>
// Without --with-media the team-radio clips already in the output folder are kept.
#include <cstdio>
#include <string_view>

#include "offline_season/SnapshotBuilder.h"

int main(int argc, char** argv) {
  offline_season::BuildOptions options;
  if (argc == 4 && std::string_view(argv[1]) == "--with-media") {
    options.withMedia = true;
    ++argv;
    --argc;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s [--with-media] <fixtures folder> <output folder>\n", argv[0]);
    return 2;
  }
  options.fixtures = argv[1];
  options.existingMedia = argv[2];
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
