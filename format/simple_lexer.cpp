#include "format/simple_lexer.h"

#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <fstream>

#include "engine/error_reporter.h"

namespace quillon {

namespace {

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

std::uint64_t StreamSize(std::streambuf* buf) {
    const auto end = buf->pubseekoff(0, std::ios_base::end, std::ios_base::in);
    const auto begin = buf->pubseekpos(0, std::ios_base::in);
    if (end == std::streampos(-1) || begin == std::streampos(-1)) return UINT64_MAX;
    return static_cast<std::uint64_t>(static_cast<std::streamoff>(end));
}

}  // namespace

SimpleLexer::SimpleLexer(const std::filesystem::path& path, LineEnds lineEnds)
    : SimpleLexer(std::make_unique<std::ifstream>(path, std::ios::in | std::ios::binary),
                  path.filename().string(), lineEnds) {}

SimpleLexer::SimpleLexer(std::unique_ptr<std::istream> input, std::string fileName,
                         LineEnds lineEnds)
    : m_input(std::move(input)), m_lineEnds(lineEnds), m_fileName(std::move(fileName)) {
    // A stream that failed to open is in a failed state: it reads as empty.
    if (m_input && *m_input) {
        m_buf = m_input->rdbuf();
        m_size = StreamSize(m_buf);
    }
}

SimpleLexer::~SimpleLexer() = default;

std::string_view SimpleLexer::Token() const {
    return std::string_view(m_token, static_cast<std::size_t>(m_tokenLength));
}

int SimpleLexer::ReadSource() {
    if (!m_buf) return kEndOfInput;
    const int c = m_buf->sbumpc();
    if (c == std::char_traits<char>::eof()) return kEndOfInput;
    ++m_consumed;
    if (c == '\r' && m_lineEnds == LineEnds::Text && m_buf->sgetc() == '\n') {
        m_buf->sbumpc();
        ++m_consumed;
        return '\n';
    }
    return static_cast<unsigned char>(c);
}

int SimpleLexer::Get() {
    if (m_pushed != kNoPushBack) {
        const int c = m_pushed;
        m_pushed = kNoPushBack;
        return c;
    }
    return ReadSource();
}

void SimpleLexer::Unget(int c) {
    assert(m_pushed == kNoPushBack);
    if (c != kEndOfInput) m_pushed = c;
}

void SimpleLexer::SkipBlanks() {
    while (true) {
        int c = Get();
        while (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (c == '\n') ++m_line;
            c = Get();
        }
        if (c != m_commentChar) {
            Unget(c);
            return;
        }
        do {
            c = Get();
        } while (c != '\n' && c != kEndOfInput);
        ++m_line;
    }
}

int SimpleLexer::Peek() {
    SkipBlanks();
    const int c = Get();
    Unget(c);
    return c;
}

bool SimpleLexer::Store(int c) {
    if (m_tokenLength >= kMaxTokenLength) return false;
    m_token[m_tokenLength++] = static_cast<char>(c);
    return true;
}

void SimpleLexer::Terminate() {
    m_token[m_tokenLength] = '\0';
}

TokenStatus SimpleLexer::Fail(const char* text) {
    m_lastError = text;
    m_token[m_tokenLength] = '\0';
    return TokenStatus::Error;
}

TokenStatus SimpleLexer::ReadNumber() {
    SkipBlanks();
    m_tokenLength = 0;
    int c = Get();
    if (c == '+') {
        c = Get();
    } else if (c == '-') {
        Store(c);
        c = Get();
    }
    bool seenPoint = false;
    bool seenDigit = false;
    while (true) {
        if (c == '.') {
            if (seenPoint) return Fail("Too many decimal points in number");
            seenPoint = true;
            if (!Store(c)) return TokenStatus::Overflow;
        } else if (IsDigit(c)) {
            seenDigit = true;
            if (!Store(c)) return TokenStatus::Overflow;
        } else if (seenDigit) {
            if (c == 'e' || c == 'E') {
                if (!Store(c)) return TokenStatus::Overflow;
                c = Get();
                if (c != '+' && c != '-' && !IsDigit(c)) return Fail("Invalid exponent");
                if (!Store(c)) return TokenStatus::Overflow;
                bool lastWasDigit = IsDigit(c);
                while (IsDigit(c = Get())) {
                    if (!Store(c)) return TokenStatus::Overflow;
                    lastWasDigit = true;
                }
                if (!lastWasDigit) return Fail("No exponent number");
            }
            Unget(c);
            Terminate();
            return seenPoint ? TokenStatus::Real : TokenStatus::Integer;
        } else {
            if (m_tokenLength > 0) return Fail("Invalid number");
            Unget(c);
            return Fail("Not a number");
        }
        c = Get();
    }
}

TokenStatus SimpleLexer::ReadIdentifier() {
    SkipBlanks();
    m_tokenLength = 0;
    int c = Get();
    if (!IsLetter(c)) return Fail("Not a string");
    do {
        if (!Store(c)) return TokenStatus::Overflow;
        c = Get();
    } while (IsLetter(c) || IsDigit(c));
    Unget(c);
    Terminate();
    return TokenStatus::Ok;
}

TokenStatus SimpleLexer::ReadQuotedString() {
    SkipBlanks();
    m_tokenLength = 0;
    if (Get() != '"') return Fail("Not a quoted string");
    while (true) {
        const int c = Get();
        if (c == kEndOfInput) return Fail("Non-terminated quoted string");
        if (c == '"') break;
        if (!Store(c)) return TokenStatus::Overflow;
    }
    Terminate();
    return TokenStatus::Ok;
}

std::size_t SimpleLexer::ReadBytes(unsigned char* out, std::size_t count) {
    std::size_t n = 0;
    while (n < count) {
        const int c = Get();
        if (c == kEndOfInput) break;
        out[n++] = static_cast<unsigned char>(c);
    }
    return n;
}

std::uint64_t SimpleLexer::RemainingBytesBound() const {
    const std::uint64_t pending = m_pushed != kNoPushBack ? 1 : 0;
    if (!m_buf) return pending;
    if (m_size == UINT64_MAX) return UINT64_MAX;
    return (m_size > m_consumed ? m_size - m_consumed : 0) + pending;
}

void SimpleLexer::ReportError(std::string_view message) const {
    if (message.size() >= kMessageCapacity) message = message.substr(0, kMessageCapacity - 1);
    // A line feed or escape in a file name must not break the message up.
    std::string name = m_fileName;
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    std::string text = "Error " + name + "(line " + std::to_string(m_line) + "): ";
    text.append(message);
    quillon::ReportError(text);
}

void SimpleLexer::ReportErrorFormat(const char* format, ...) const {
    char message[kMessageCapacity];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    ReportError(message);
}

}  // namespace quillon
