#include "vellum/Vellum.h"

#include "logging/LBASLLogger.h"
#include "logging/LBLog.h"
#include "logging/LBTTYLogger.h"

namespace vellum {

void Vellum::enableLogging() {
    auto& log = logging::LBLog::sharedInstance();
    log.addLogger(logging::LBASLLogger::sharedInstance());
    log.addLogger(logging::LBTTYLogger::sharedInstance());
}

}  // namespace vellum
