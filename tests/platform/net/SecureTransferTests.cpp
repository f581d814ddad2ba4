#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "LoopbackServer.h"
#include "Recorder.h"
#include "net/CertificateAuthorities.h"

using namespace net;

namespace {

// A certificate for 127.0.0.1 that no authority signed, made fresh for each server.
struct SelfSignedCertificate {
    SelfSignedCertificate() {
        char pattern[] = "/tmp/sorvane-net-tls-XXXXXX";
        folder = ::mkdtemp(pattern);
        std::string command = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1"
                              " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
                              key() + " -out " + certificate() + " >/dev/null 2>&1";
        made = std::system(command.c_str()) == 0;
    }
    ~SelfSignedCertificate() { std::filesystem::remove_all(folder); }
    std::string key() const { return folder + "/key.pem"; }
    std::string certificate() const { return folder + "/certificate.pem"; }

    std::string folder;
    bool made = false;
};

class SecureTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(certificate.made) << "the openssl command is needed to make a test certificate";
        server = std::make_unique<Loopback<httplib::SSLServer>>(certificate.certificate().c_str(),
                                                                 certificate.key().c_str());
        server->server.Get("/secret", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("secret", "application/octet-stream");
        });
        server->start();
    }

    std::shared_ptr<Recorder> run(std::function<void(const AuthenticationChallenge&, ChallengeReply)> answer) {
        auto recorder = std::make_shared<Recorder>();
        recorder->onChallenge = std::move(answer);
        auto session = Session::make(SessionConfiguration::ephemeralConfiguration(), recorder);
        session->dataTask(server->url("/secret", "https"))->resume();
        EXPECT_TRUE(recorder->waitForCompletions());
        return recorder;
    }

    SelfSignedCertificate certificate;
    std::unique_ptr<Loopback<httplib::SSLServer>> server;
};

}  // namespace

TEST_F(SecureTransferTest, trustedHostAnsweredWithItsOwnTrustIsRead) {
    auto recorder = run([](const AuthenticationChallenge& challenge, ChallengeReply reply) {
        EXPECT_EQ(challenge.protectionSpace.authenticationMethod, ProtectionSpace::AuthenticationMethod::serverTrust);
        EXPECT_EQ(challenge.protectionSpace.host, "127.0.0.1");
        reply(ChallengeDisposition::useCredential, Credential::forTrust(challenge.protectionSpace.serverTrust));
    });
    EXPECT_EQ(recorder->outline(),
              (std::vector<std::string>{"challenge 127.0.0.1", "response 200", "data", "complete"}));
    EXPECT_EQ(recorder->body.toString(), "secret");
}

TEST_F(SecureTransferTest, defaultHandlingRejectsAnUnsignedCertificate) {
    auto recorder = run([](const AuthenticationChallenge&, ChallengeReply reply) {
        reply(ChallengeDisposition::performDefaultHandling);
    });
    EXPECT_EQ(recorder->error->code, URLError::serverCertificateUntrusted);
    EXPECT_EQ(run([](const AuthenticationChallenge&, ChallengeReply) {})->error->code,
              URLError::serverCertificateUntrusted);
    EXPECT_EQ(fetch(Session::make(), server->url("/secret", "https")).error().code,
              URLError::serverCertificateUntrusted);
}

TEST_F(SecureTransferTest, cancelledChallengeCancelsTheTask) {
    auto recorder = run([](const AuthenticationChallenge&, ChallengeReply reply) {
        reply(ChallengeDisposition::cancelAuthenticationChallenge);
    });
    EXPECT_EQ(recorder->outline(), (std::vector<std::string>{"challenge 127.0.0.1", "complete -999"}));
}

TEST_F(SecureTransferTest, addedAuthorityMakesTheServerTrustedByDefault) {
    ASSERT_TRUE(addTrustedCertificateAuthorities(certificate.certificate()));
    auto answer = fetch(Session::make(), server->url("/secret", "https"));
    ASSERT_TRUE(answer.has_value()) << answer.error();
    EXPECT_EQ(answer->first.toString(), "secret");
    EXPECT_FALSE(addTrustedCertificateAuthorities("/nonexistent.pem"));
}
