#pragma once

#include <memory>
#include <optional>
#include <string>

#include "net/Reply.h"

namespace net {

// The server's identity as the transport sees it before a secure transfer.
struct ServerTrust {
    std::string host;
    int port = 443;
};

struct ProtectionSpace {
    enum class AuthenticationMethod { serverTrust, other };

    std::string host;
    int port = 0;
    std::string protocol;  // "https"
    AuthenticationMethod authenticationMethod = AuthenticationMethod::serverTrust;
    std::shared_ptr<const ServerTrust> serverTrust;  // present for server-trust challenges
};

// A credential made from a server trust accepts that server without the default certificate evaluation.
struct Credential {
    std::shared_ptr<const ServerTrust> trust;
    static Credential forTrust(std::shared_ptr<const ServerTrust> trust) { return {std::move(trust)}; }
};

struct AuthenticationChallenge {
    ProtectionSpace protectionSpace;
    int previousFailureCount = 0;
};

enum class ChallengeDisposition {
    useCredential,
    performDefaultHandling,
    cancelAuthenticationChallenge,
    rejectProtectionSpace,  // for server trust this is the default handling
};

struct ChallengeAnswer {
    ChallengeDisposition disposition = ChallengeDisposition::performDefaultHandling;
    std::optional<Credential> credential;
};

// Called as handler(disposition, credential); dropped unanswered, it means default handling.
class ChallengeReply {
public:
    explicit ChallengeReply(Reply<ChallengeAnswer> reply) : reply_(std::move(reply)) {}
    void operator()(ChallengeDisposition disposition, std::optional<Credential> credential = {}) const {
        reply_(ChallengeAnswer{disposition, std::move(credential)});
    }

private:
    Reply<ChallengeAnswer> reply_;
};

}  // namespace net
