#pragma once

#include <curl/curl.h>

namespace net {

// Adds the authorities trusted through addTrustedCertificateAuthorities to a transfer.
void applyCertificateAuthorities(CURL* easy);

}  // namespace net
