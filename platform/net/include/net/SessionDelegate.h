#pragma once

#include <memory>
#include <optional>
#include <utility>

#include "foundation/Data.h"
#include "net/Challenge.h"
#include "net/Reply.h"
#include "net/Request.h"
#include "net/Response.h"
#include "net/URLError.h"

namespace net {

class Session;
class SessionTask;

enum class ResponseDisposition { allow, cancel };

using ResponseReply = Reply<ResponseDisposition>;      // dropped unanswered: allow
using RedirectReply = Reply<std::optional<Request>>;  // dropped unanswered: the proposed request

// Receives a session's events on the session's delegate queue, in order: challenge, redirects,
// response, data, completion. Every hook has the platform's default.
class SessionDelegate {
public:
    virtual ~SessionDelegate() = default;

    // The transfer waits until the reply is given; cancel ends the task with cancelled.
    virtual void didReceiveResponse(Session&, const std::shared_ptr<SessionTask>&, const Response&,
                                    ResponseReply reply) {
        reply(ResponseDisposition::allow);
    }
    virtual void didReceiveData(Session&, const std::shared_ptr<SessionTask>&, const foundation::Data&) {}
    // The same chunk, the delegate's to keep: one that holds the body takes it instead of copying it.
    virtual void didReceiveData(Session& session, const std::shared_ptr<SessionTask>& task, foundation::Data&& chunk) {
        didReceiveData(session, task, std::as_const(chunk));
    }
    virtual void didComplete(Session&, const std::shared_ptr<SessionTask>&, const std::optional<URLError>&) {}

    // Answer with the request to follow (possibly changed) or nothing to stop: the 3xx then becomes
    // the task's final response.
    virtual void willPerformHTTPRedirection(Session&, const std::shared_ptr<SessionTask>&, const Response&,
                                            Request newRequest, RedirectReply reply) {
        reply(std::move(newRequest));
    }

    // Server-trust challenges arrive here first, before each https transfer; by default they go on to
    // the session-level hook.
    virtual void didReceiveChallenge(Session& session, const std::shared_ptr<SessionTask>&,
                                     const AuthenticationChallenge& challenge, ChallengeReply reply) {
        didReceiveChallenge(session, challenge, std::move(reply));
    }
    virtual void didReceiveChallenge(Session&, const AuthenticationChallenge&, ChallengeReply reply) {
        reply(ChallengeDisposition::performDefaultHandling);
    }
};

}  // namespace net
