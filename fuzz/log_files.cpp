// The logging framework's inputs from the disk and from callers: a log folder of any name holding
// files of any names, sizes and archived marks (damaged ones too); which of them are log files, their
// order, pruning by count and quota, a new file beside them; and messages of any text through the
// file formatter with any date pattern and the queue formatter with any label replacements.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzInput.h"
#include "foundation/DateFormatter.h"
#include "logging/LBDispatchQueueLogFormatter.h"
#include "logging/LBLogFileFormatterDefault.h"
#include "logging/LBLogFileInfo.h"
#include "logging/LBLogFileManagerDefault.h"
#include "logging/LBLogMessage.h"

namespace fs = std::filesystem;

namespace {

// A name for one item of a folder: no separators, never "." or "..".
std::string itemName(fuzz::Input& input) {
    std::string name = input.text(80);
    for (char& c : name)
        if (c == '/') c = '_';
    if (name.empty() || name == "." || name == "..") name += "x";
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzz::Input input(bytes, size);
    fs::path folder = fuzz::scratchFolder("log-files-fuzz") / itemName(input);
    auto manager = std::make_shared<logging::LBLogFileManagerDefault>(folder.string());
    std::string logs = manager->logsDirectory();
    int files = input.pick(8);
    for (int i = 0; i < files; ++i) {
        std::string name = input.flag() ? manager->newLogFileName() : itemName(input);
        (void)manager->isLogFile(name);
        fs::path path = fs::path(logs) / name;
        std::ofstream(path) << std::string(input.byte() * 16, 'x');
        auto info = logging::LBLogFileInfo::logFileWithPath(path.string());
        switch (input.pick(3)) {
        case 0: info->setIsArchived(input.flag()); break;
        case 1: info->addExtendedAttributeWithName(input.text(16)); break;
        default: break;
        }
    }
    manager->setMaximumNumberOfLogFiles(input.pick(6));
    manager->setLogFilesDiskQuota(input.byte() * 32);
    for (const auto& info : manager->sortedLogFileInfos()) {
        (void)info->description();
        (void)info->isArchived();
    }
    (void)manager->createNewLogFile();
    manager->deleteOldLogFiles();
    (void)manager->sortedLogFileNames();
    // Changing the count or quota also prunes later, on a global queue: files may go meanwhile.
    std::error_code ignored;
    fs::remove_all(folder, ignored);

    foundation::DateFormatter dates;
    dates.setDateFormat(input.text(40));
    logging::LBLogFileFormatterDefault fileFormatter(dates);
    logging::LBDispatchQueueLogFormatter queueFormatter;
    queueFormatter.setReplacementString(input.text(16), input.text(16));
    queueFormatter.setReplacementString(std::nullopt, input.text(16));
    std::string text(input.rest());
    logging::LBLogMessage message(text, logging::LBLogLevel::all, logging::LBLogFlag::info, 0, text, text, 7, text,
                                  logging::LBLogMessage::copyFile | logging::LBLogMessage::copyFunction,
                                  foundation::Date{double(size) * 1e6});
    (void)fileFormatter.formatLogMessage(message);
    (void)queueFormatter.formatLogMessage(message);
    return 0;
}
