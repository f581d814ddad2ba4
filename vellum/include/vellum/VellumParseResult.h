#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vellum/VellumError.h"

namespace vellum {

class SVGDocument;
class SVGSVGElement;

// What one parse run gives: the document, its outermost svg element, the namespaces met, the progress,
// and the problems by gravity. Filing a problem also logs it. Success is having a document, not
// having empty lists.
class VellumParseResult : public std::enable_shared_from_this<VellumParseResult> {
public:
    // Logged as an error; kept with the recoverable errors (a source that gave no bytes).
    void addSourceError(const VellumError& error);
    void addParseWarning(const VellumError& error);
    void addParseErrorRecoverable(const VellumError& error);
    // Files it unless one of the same description is filed already (a bound met again on a rebuild): one
    // look-up by the text's hash, however many are filed.
    void addParseErrorRecoverableOnce(const VellumError& error);
    // Problems of one gravity past this many are counted, not kept or logged: a document may file one an
    // element (2.8 million undrawn masks held 1.8 GB of them).
    static constexpr std::size_t maximumFiledProblems = 4'096;
    // Those counted past it, of every gravity.
    std::size_t problemsNotFiled() const { return problemsNotFiled_; }
    void addParseErrorFatal(const VellumError& error);
    // The XML library's printf-style errors: logged as warnings, kept as fatal.
    void addSAXError(const VellumError& error);

    std::string description() const;

    // What the parse took of a render's work budget (gfx::WorkMeter units): the document's renders start
    // with it spent. Refused when the parse ran past a budget of its own: the document gives no picture.
    std::uint64_t work() const { return work_; }
    // A render's default budget less that.
    std::uint64_t workLeft() const;
    bool workRefused() const { return workRefused_; }
    void setWork(std::uint64_t work, bool refused) {
        work_ = work;
        workRefused_ = refused;
    }

    bool libXMLFailed() const { return libXMLFailed_; }
    void setLibXMLFailed(bool failed) { libXMLFailed_ = failed; }
    const std::shared_ptr<SVGDocument>& parsedDocument() const { return parsedDocument_; }
    void setParsedDocument(std::shared_ptr<SVGDocument> document) { parsedDocument_ = std::move(document); }
    const std::shared_ptr<SVGSVGElement>& rootOfSVGTree() const { return rootOfSVGTree_; }
    void setRootOfSVGTree(std::shared_ptr<SVGSVGElement> root) { rootOfSVGTree_ = std::move(root); }
    // Prefix to namespace URI; the default namespace under the empty prefix.
    std::map<std::string, std::string>& namespacesEncountered() { return namespacesEncountered_; }
    const std::map<std::string, std::string>& namespacesEncountered() const { return namespacesEncountered_; }
    const std::vector<VellumError>& warnings() const { return warnings_; }
    const std::vector<VellumError>& errorsRecoverable() const { return errorsRecoverable_; }
    const std::vector<VellumError>& errorsFatal() const { return errorsFatal_; }
    // Bytes handed to the XML library over the source's length; 0 when the length is unknown, and
    // above 1 when it was underestimated.
    double parseProgressFractionApproximate() const { return parseProgressFractionApproximate_; }
    void setParseProgressFractionApproximate(double fraction) { parseProgressFractionApproximate_ = fraction; }

private:
    void fileRecoverable(const VellumError& error, std::string_view text);
    // Whether another problem goes into `list`; counts it when not.
    bool keepsAnother(const std::vector<VellumError>& list);

    bool libXMLFailed_ = false;
    std::uint64_t work_ = 0;
    bool workRefused_ = false;
    std::shared_ptr<SVGDocument> parsedDocument_;
    std::shared_ptr<SVGSVGElement> rootOfSVGTree_;
    std::map<std::string, std::string> namespacesEncountered_;
    std::vector<VellumError> warnings_;
    std::vector<VellumError> errorsRecoverable_;
    // Each recoverable error's place in its list, by the hash of its text.
    std::unordered_multimap<std::size_t, std::size_t> recoverableByText_;
    std::vector<VellumError> errorsFatal_;
    double parseProgressFractionApproximate_ = 0;
    std::size_t problemsNotFiled_ = 0;
};

}  // namespace vellum
