#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "gfx/Image.h"
#include "net/Challenge.h"
#include "net/Request.h"
#include "net/Response.h"
#include "net/SessionTask.h"
#include "pictura/PicturaError.h"

namespace pictura {

class ImageDownloader;
class SessionDataTask;

// Watches a downloader's transfers and may rewrite or refuse their bodies. Every hook has a default,
// which the downloader itself uses when it has no delegate.
class ImageDownloaderDelegate {
public:
    virtual ~ImageDownloaderDelegate() = default;

    virtual void willDownloadImageForURL(ImageDownloader&, const foundation::URL&, const std::optional<net::Request>&) {}
    // Either the response (success) or the error (failure).
    virtual void didFinishDownloadingImageForURL(ImageDownloader&, const foundation::URL&,
                                                 const std::optional<net::Response>&,
                                                 const std::optional<PicturaError>&) {}
    // The body to process; nothing refuses it. By default, the URL form for a task with a URL. The body
    // is handed over (the task's own is empty by then), so passing it on unchanged copies nothing.
    virtual std::optional<foundation::Data> didDownloadDataWithTask(ImageDownloader& downloader, foundation::Data data,
                                                                    const SessionDataTask& task);
    virtual std::optional<foundation::Data> didDownloadDataForURL(ImageDownloader&, foundation::Data data,
                                                                  const foundation::URL&) {
        return data;
    }
    // Once per consumer whose image was made, on the processing queue.
    virtual void didDownloadImageForURL(ImageDownloader&, const std::shared_ptr<gfx::Image>&, const foundation::URL&,
                                        const std::optional<net::Response>&) {}
    // 200 to 399 by default.
    virtual bool isValidStatusCode(int code, ImageDownloader&) { return code >= 200 && code < 400; }
};

// Answers a downloader's authentication challenges.
class AuthenticationChallengeResponsible {
public:
    using CompletionHandler = net::ChallengeReply;

    virtual ~AuthenticationChallengeResponsible() = default;

    // Server trust of a host in the downloader's `trustedHosts` is accepted as the server presents it;
    // everything else gets the default handling.
    virtual void didReceiveChallenge(ImageDownloader& downloader, const net::AuthenticationChallenge& challenge,
                                     CompletionHandler completionHandler);
    virtual void didReceiveTaskChallenge(ImageDownloader&, const std::shared_ptr<net::SessionTask>&,
                                         const net::AuthenticationChallenge&, CompletionHandler completionHandler) {
        completionHandler(net::ChallengeDisposition::performDefaultHandling);
    }
};

}  // namespace pictura
