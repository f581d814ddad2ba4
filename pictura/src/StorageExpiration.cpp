#include "pictura/StorageExpiration.h"

#include <cmath>
#include <limits>

#include "foundation/Assertion.h"

namespace pictura {

StorageExpiration StorageExpiration::seconds(double seconds) {
    foundation::assertion(!std::isnan(seconds), "[Pictura] An expiration of NaN seconds is not a period.");
    if (seconds == std::numeric_limits<double>::infinity()) return never();
    return {Kind::seconds, seconds, 0, {}};
}

bool StorageExpiration::isExpired() const {
    double interval = 0;
    switch (kind_) {
    case Kind::seconds: interval = seconds_; break;
    case Kind::days: interval = static_cast<double>(days_) * 86400.0; break;
    case Kind::date: interval = date_.timeIntervalSinceNow(); break;
    case Kind::never: interval = std::numeric_limits<double>::infinity(); break;
    case Kind::expired: interval = -std::numeric_limits<double>::infinity(); break;
    }
    return interval <= 0;
}

foundation::Date StorageExpiration::estimatedExpirationSinceNow() const {
    switch (kind_) {
    case Kind::seconds: return foundation::Date::now().addingTimeInterval(seconds_);
    case Kind::days: return foundation::Date::now().addingTimeInterval(static_cast<double>(days_) * 86400.0);
    case Kind::date: return date_;
    case Kind::never: return foundation::Date::distantFuture();
    case Kind::expired: return foundation::Date::distantPast();
    }
    return foundation::Date::distantPast();
}

}  // namespace pictura
