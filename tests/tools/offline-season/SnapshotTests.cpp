#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <unistd.h>

#include "offline_season/SnapshotBuilder.h"

namespace {

namespace fs = std::filesystem;

const fs::path committed = fs::path(SORVANE_SOURCE_DIR) / "data/offline-season";

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::set<std::string> filesUnder(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).generic_string());
  return files;
}

// The recorded data is not part of a checkout: SORVANE_RECORDED_FIXTURES names it, else the
// shared folder beside the project is tried.
std::optional<fs::path> recordedFixtures() {
  if (const char* configured = std::getenv("SORVANE_RECORDED_FIXTURES"))
    return fs::exists(fs::path(configured) / "MANIFEST.tsv") ? std::optional(fs::path(configured)) : std::nullopt;
  fs::path beside = fs::path(SORVANE_SOURCE_DIR).parent_path() / "shared/fixtures";
  if (fs::exists(beside / "MANIFEST.tsv")) return beside;
  return std::nullopt;
}

TEST(CommittedSnapshot, ListsTheOriginOfEveryFile) {
  std::set<std::string> listed;
  std::istringstream lines(readAll(committed / "SOURCES.tsv"));
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line.starts_with('#') || line.starts_with("path\t")) continue;
    auto path = line.substr(0, line.find('\t'));
    auto origin = line.substr(path.size() + 1, line.find('\t', path.size() + 1) - path.size() - 1);
    EXPECT_TRUE(origin == "recorded" || origin == "derived" || origin == "generated") << line;
    listed.insert(path);
  }
  EXPECT_EQ(listed, filesUnder(committed));
}

TEST(CommittedSnapshot, IsWhatTheBuilderWritesFromTheRecordedData) {
  auto fixtures = recordedFixtures();
  if (!fixtures) {
    const char* configured = std::getenv("SORVANE_RECORDED_FIXTURES");
    GTEST_SKIP() << "recorded data not reachable: no MANIFEST.tsv in "
                 << (configured ? fs::path(configured) : fs::path(SORVANE_SOURCE_DIR).parent_path() / "shared/fixtures").string()
                 << (configured ? " (SORVANE_RECORDED_FIXTURES)" : " (set SORVANE_RECORDED_FIXTURES to name another folder)");
  }

  offline_season::BuildOptions options;
  options.fixtures = *fixtures;
  options.existingMedia = committed;  // spoken clips differ between speech-synthesiser versions
  auto snapshot = offline_season::buildSnapshot(options, offline_season::defaultProducers());
  ASSERT_TRUE(snapshot) << snapshot.error();
  fs::path output = fs::temp_directory_path() / ("offline-season-" + std::to_string(::getpid()));
  ASSERT_TRUE(snapshot->writeTo(output));

  auto written = filesUnder(output);
  EXPECT_EQ(written, filesUnder(committed));
  for (const auto& path : written)
    EXPECT_TRUE(readAll(output / path) == readAll(committed / path)) << path << " differs";
  fs::remove_all(output);
}

TEST(SnapshotBuilder, ReportsMissingRecordedData) {
  offline_season::BuildOptions options;
  options.fixtures = fs::temp_directory_path() / "no-such-recorded-data";
  auto snapshot = offline_season::buildSnapshot(options, offline_season::defaultProducers());
  ASSERT_FALSE(snapshot);
  EXPECT_NE(snapshot.error().find("MANIFEST.tsv"), std::string::npos);
}

}  // namespace
