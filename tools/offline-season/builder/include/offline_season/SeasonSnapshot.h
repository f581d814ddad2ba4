#pragma once

#include <expected>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace offline_season {

enum class Origin {
  recorded,   // bytes exactly as recorded
  derived,    // computed from recorded files only
  generated,  // written by the tool itself (settings, listings)
};

struct SnapshotFile {
  std::string bytes;
  Origin origin = Origin::recorded;
  std::vector<std::string> sources;  // fixture paths, relative to the fixtures folder
  std::string how;                   // one line: what was done, and why when not obvious
};

// The snapshot tree in memory, keyed by its path under data/offline-season/ ("results-api/2023.json").
// Ordered so that listings and writes come out the same on every run.
class SeasonSnapshot {
public:
  void add(std::string path, SnapshotFile file);
  bool contains(const std::string& path) const { return files_.contains(path); }
  const SnapshotFile* find(const std::string& path) const;
  const std::map<std::string, SnapshotFile>& files() const { return files_; }

  // SOURCES.tsv: one row per file (itself included), after a commented header.
  std::string sourcesListing(const std::vector<std::string>& headerComments) const;

  // Replaces `directory` with exactly the files of the snapshot.
  std::expected<void, std::string> writeTo(const std::filesystem::path& directory) const;

private:
  std::map<std::string, SnapshotFile> files_;
};

const char* originName(Origin origin);

}  // namespace offline_season
