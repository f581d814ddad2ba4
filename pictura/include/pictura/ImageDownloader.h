#pragma once

#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "foundation/URL.h"
#include "net/Request.h"
#include "net/Session.h"
#include "pictura/ImageDataProcessor.h"
#include "pictura/ImageDownloaderDelegate.h"
#include "pictura/ImageLoadingProgressSideEffect.h"
#include "pictura/ImageLoadingResult.h"
#include "pictura/PicturaError.h"
#include "pictura/PicturaOptions.h"
#include "pictura/SessionDataTask.h"
#include "pictura/SessionDelegate.h"

namespace pictura {

// Fetches image data over HTTP(S) with one session, joins consumers of one URL to one transfer, and
// hands each consumer the image its own processor made, on its own callback queue.
class ImageDownloader : public ImageDownloaderDelegate,
                        public AuthenticationChallengeResponsible,
                        public std::enable_shared_from_this<ImageDownloader> {
public:
    struct DownloadingContext {
        foundation::URL url;
        net::Request request;
        PicturaParsedOptionsInfo options;
    };
    using CompletionHandler = std::function<void(ImageLoadingOutcome)>;

    // An empty name stops the program.
    static std::shared_ptr<ImageDownloader> make(std::string name);
    // The process-wide downloader named "default" (the platform's `ImageDownloader.default`).
    static const std::shared_ptr<ImageDownloader>& defaultDownloader();

    // The session is invalidated, and every consumer still waiting is told it was cancelled.
    ~ImageDownloader() override;

    const std::string& name() const { return name_; }

    virtual double downloadTimeout() const { return downloadTimeout_; }
    virtual void setDownloadTimeout(double seconds) { downloadTimeout_ = seconds; }
    // Hosts whose server trust is accepted without the default evaluation; matched by exact text.
    virtual const std::optional<std::set<std::string>>& trustedHosts() const { return trustedHosts_; }
    virtual void setTrustedHosts(std::optional<std::set<std::string>> hosts) { trustedHosts_ = std::move(hosts); }
    // The longest a transfer may take from start to end, however steadily its bytes come: the request's
    // time-out counts idle time only, and a server that trickles would otherwise hold a connection of
    // the host for good.
    static constexpr double defaultTransferTimeLimit = 30;
    // Ephemeral, with `defaultTransferTimeLimit` as the resource time-out.
    static net::SessionConfiguration defaultSessionConfiguration();
    virtual const net::SessionConfiguration& sessionConfiguration() const { return sessionConfiguration_; }
    // Cancels every consumer of the old session and makes a new one with the current delegate.
    virtual void setSessionConfiguration(net::SessionConfiguration configuration);
    virtual const std::shared_ptr<SessionDelegate>& sessionDelegate() const { return sessionDelegate_; }
    // Cancels every consumer of the old delegate; the new one starts with none and gets the hooks.
    virtual void setSessionDelegate(std::shared_ptr<SessionDelegate> delegate);
    virtual bool requestsUsePipelining() const { return requestsUsePipelining_; }
    virtual void setRequestsUsePipelining(bool use) { requestsUsePipelining_ = use; }
    virtual std::shared_ptr<ImageDownloaderDelegate> delegate() const { return delegate_.lock(); }
    virtual void setDelegate(const std::shared_ptr<ImageDownloaderDelegate>& delegate) { delegate_ = delegate; }
    virtual std::shared_ptr<AuthenticationChallengeResponsible> authenticationChallengeResponder() const {
        return authenticationChallengeResponder_.lock();
    }
    virtual void setAuthenticationChallengeResponder(const std::shared_ptr<AuthenticationChallengeResponsible>& responder) {
        authenticationChallengeResponder_ = responder;
    }
    const std::shared_ptr<net::Session>& session() const { return session_; }

    // Absent when a request modifier answers later: its `onDownloadTaskStarted` then gets the task.
    virtual std::optional<DownloadTask> downloadImage(const foundation::URL& url, const PicturaParsedOptionsInfo& options,
                                                      CompletionHandler completionHandler = nullptr);
    virtual std::optional<DownloadTask> downloadImage(const foundation::URL& url,
                                                      const std::optional<PicturaOptionsInfo>& options,
                                                      ImageLoadingProgressSideEffect::Block progressBlock,
                                                      CompletionHandler completionHandler = nullptr);
    virtual std::optional<DownloadTask> downloadImage(const foundation::URL& url,
                                                      const std::optional<PicturaOptionsInfo>& options,
                                                      CompletionHandler completionHandler = nullptr);

    // Every waiting consumer gets `taskCancelled`.
    void cancelAll();
    // Every consumer of the URL's transfer gets `taskCancelled`.
    void cancel(const foundation::URL& url);

protected:
    explicit ImageDownloader(std::string name);

    // Binds the session delegate's hooks to this downloader, held weakly.
    virtual void setupSessionHandler();
    virtual void createDownloadContext(const foundation::URL& url, const PicturaParsedOptionsInfo& options,
                                       std::function<void(std::expected<DownloadingContext, PicturaError>)> done);
    // Joins the URL's transfer or files a new one; the answer says whether it was filed now.
    virtual std::pair<DownloadTask, bool> addDownloadTask(const DownloadingContext& context,
                                                          SessionDataTask::TaskCallback callback);
    virtual void reportDidDownloadImageData(const SessionDataTask::DataResult& result, const foundation::URL& url);
    virtual void reportDidProcessImage(const ImageDataProcessor::ProcessingResult& result, const foundation::URL& url,
                                       const std::optional<net::Response>& response);
    virtual DownloadTask startDownloadTask(const DownloadingContext& context, SessionDataTask::TaskCallback callback);

private:
    void reportWillStartDownload(const foundation::URL& url, const net::Request& request);
    void replaceSession();
    // Runs also after the downloader is gone: its consumers are told, only the notices are skipped.
    static void taskDone(std::weak_ptr<ImageDownloader> downloader, std::shared_ptr<const DownloadingContext> context,
                         const SessionDataTask::TaskDone& done);

    double downloadTimeout_ = 15.0;
    std::optional<std::set<std::string>> trustedHosts_;
    net::SessionConfiguration sessionConfiguration_ = defaultSessionConfiguration();
    std::shared_ptr<SessionDelegate> sessionDelegate_ = SessionDelegate::make();
    bool requestsUsePipelining_ = false;
    std::weak_ptr<ImageDownloaderDelegate> delegate_;
    std::weak_ptr<AuthenticationChallengeResponsible> authenticationChallengeResponder_;
    std::string name_;
    std::shared_ptr<net::Session> session_;
};

}  // namespace pictura
