#pragma once

#include <string>

namespace net {

// Trusts the certificate authorities of a PEM file beside the system's, for https transfers started
// afterwards. Tests use it for a server whose certificate they made; false when the file can't be read.
bool addTrustedCertificateAuthorities(const std::string& pemFile);

}  // namespace net
