#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace quillon {

// Where the engine and the parser send messages meant for the user: the
// editor shows a message box (queued to its GUI thread), the command line
// prints to stderr, tests capture them. Report may be called from any
// thread and must never block on the user.
class ErrorReporter {
  public:
    virtual ~ErrorReporter() = default;
    virtual void Report(const std::string& message) = 0;
};

// Prints each message on its own line to stderr.
class StderrErrorReporter : public ErrorReporter {
  public:
    void Report(const std::string& message) override;
};

// Keeps the messages for inspection.
class CapturingErrorReporter : public ErrorReporter {
  public:
    void Report(const std::string& message) override;
    std::vector<std::string> Messages() const;
    std::string Last() const;
    void Clear();

  private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_messages;
};

// The process-wide reporter (stderr until a program installs its own).
ErrorReporter& GetErrorReporter();
// Installs a reporter (nullptr restores stderr); returns the previous one.
ErrorReporter* SetErrorReporter(ErrorReporter* reporter);
void ReportError(const std::string& message);

// Installs a reporter for the lifetime of a scope.
class ScopedErrorReporter {
  public:
    explicit ScopedErrorReporter(ErrorReporter& reporter)
        : m_previous(SetErrorReporter(&reporter)) {}
    ~ScopedErrorReporter() { SetErrorReporter(m_previous); }
    ScopedErrorReporter(const ScopedErrorReporter&) = delete;
    ScopedErrorReporter& operator=(const ScopedErrorReporter&) = delete;

  private:
    ErrorReporter* m_previous;
};

}  // namespace quillon
