#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

// How the bytes of a file reach the lexer. Texture documents are plain
// bytes; layer and colour-map files follow the Windows text-file convention,
// so a CR LF pair reads as one LF (a lone CR stays a CR).
enum class LineEnds { Bytes, Text };

// Status of a token read. Identifiers and quoted strings answer Ok,
// numbers Integer or Real.
enum class TokenStatus { Error, Overflow, Ok, Integer, Real };

// Splits a texture, layer or colour-map file into identifiers, numbers,
// quoted strings and single punctuation characters, counting lines and
// skipping blanks and ";" comments. The caller decides which token comes
// next; punctuation is read with SkipBlanks() and Get().
class SimpleLexer {
public:
    static constexpr int kTokenCapacity = 1024;  // NUL included
    static constexpr int kMaxTokenLength = kTokenCapacity - 1;
    static constexpr std::size_t kMessageCapacity = 512;  // NUL included
    static constexpr int kEndOfInput = -1;

    // A file that cannot be opened reads as an empty one.
    SimpleLexer(const std::filesystem::path& path, LineEnds lineEnds);
    // Reads from any stream; fileName is what error reports show.
    SimpleLexer(std::unique_ptr<std::istream> input, std::string fileName, LineEnds lineEnds);
    virtual ~SimpleLexer();

    SimpleLexer(const SimpleLexer&) = delete;
    SimpleLexer& operator=(const SimpleLexer&) = delete;

    bool IsOpen() const { return m_buf != nullptr; }
    const std::string& FileName() const { return m_fileName; }
    int Line() const { return m_line; }
    const std::string& LastError() const { return m_lastError; }
    // The text of the last token (what was stored of it after a failure).
    std::string_view Token() const;
    std::string TokenString() const { return std::string(Token()); }

    // Passes blanks (space, tab, CR, LF) and comments; LFs count lines.
    void SkipBlanks();
    // The next significant character (or kEndOfInput), left in the input.
    int Peek();
    // The next character, as is: no blank or comment is skipped.
    int Get();
    // Puts one character back; only one may be pending.
    void Unget(int c);

    TokenStatus ReadNumber();
    TokenStatus ReadIdentifier();
    TokenStatus ReadQuotedString();

    // Reads up to count bytes as they come (after line-end translation);
    // returns how many were read.
    std::size_t ReadBytes(unsigned char* out, std::size_t count);
    // No more than this many bytes can still come from the input; lets a
    // reader refuse a size before allocating for it.
    std::uint64_t RemainingBytesBound() const;

    // Shows "Error <file>(line <n>): " followed by the message. The message
    // is cut to the 511 characters the message area holds.
    void ReportError(std::string_view message) const;
    // printf-style variant; file text goes in as an argument, never as the
    // format.
    void ReportErrorFormat(const char* format, ...) const __attribute__((format(printf, 2, 3)));

private:
    int ReadSource();
    // False when the token buffer is full.
    bool Store(int c);
    void Terminate();
    TokenStatus Fail(const char* text);

    std::unique_ptr<std::istream> m_input;
    std::streambuf* m_buf = nullptr;
    LineEnds m_lineEnds;
    std::string m_fileName;
    std::string m_lastError;
    int m_line = 0;
    int m_commentChar = ';';
    char m_token[kTokenCapacity] = {};
    int m_tokenLength = 0;
    int m_pushed = kNoPushBack;
    std::uint64_t m_size = 0;
    std::uint64_t m_consumed = 0;

    static constexpr int kNoPushBack = -2;
};

}  // namespace quillon
