#include "engine/error_reporter.h"

#include <atomic>
#include <cstdio>

namespace quillon {

void StderrErrorReporter::Report(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
}

void CapturingErrorReporter::Report(const std::string& message) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_messages.push_back(message);
}

std::vector<std::string> CapturingErrorReporter::Messages() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_messages;
}

std::string CapturingErrorReporter::Last() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_messages.empty() ? std::string() : m_messages.back();
}

void CapturingErrorReporter::Clear() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_messages.clear();
}

namespace {

StderrErrorReporter& DefaultReporter() {
    static StderrErrorReporter reporter;
    return reporter;
}

std::atomic<ErrorReporter*> g_reporter{nullptr};

}  // namespace

ErrorReporter& GetErrorReporter() {
    ErrorReporter* r = g_reporter.load();
    return r ? *r : DefaultReporter();
}

ErrorReporter* SetErrorReporter(ErrorReporter* reporter) {
    return g_reporter.exchange(reporter);
}

void ReportError(const std::string& message) {
    GetErrorReporter().Report(message);
}

}  // namespace quillon
