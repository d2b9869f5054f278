#include "format/simple_lexer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/error_reporter.h"

namespace quillon {
namespace {

SimpleLexer LexerOn(const std::string& text, LineEnds lineEnds = LineEnds::Bytes) {
    return SimpleLexer(std::make_unique<std::istringstream>(text), "lex.qln", lineEnds);
}

struct NumberCase {
    const char* text;
    TokenStatus status;
    const char* token;  // the token, or the error text
    int next;           // the character left in the input, or kAny
};

constexpr int kAny = -3;

TEST(SimpleLexer, ReadsNumbersAndLeavesTheTerminator) {
    const NumberCase cases[] = {
        {"+5 ", TokenStatus::Integer, "5", ' '},
        {"-5", TokenStatus::Integer, "-5", SimpleLexer::kEndOfInput},
        {"-.5)", TokenStatus::Real, "-.5", ')'},
        {"12,", TokenStatus::Integer, "12", ','},
        {"12)", TokenStatus::Integer, "12", ')'},
        {"1.5e-3 ", TokenStatus::Real, "1.5e-3", ' '},
        {"2E+10}", TokenStatus::Integer, "2E+10", '}'},
        {"  ; comment\n 7.", TokenStatus::Real, "7.", SimpleLexer::kEndOfInput},
        {"1.2.3", TokenStatus::Error, "Too many decimal points in number", kAny},
        {"1e ", TokenStatus::Error, "Invalid exponent", kAny},
        {"1e+ ", TokenStatus::Error, "No exponent number", kAny},
        {"- ", TokenStatus::Error, "Invalid number", kAny},
        {".", TokenStatus::Error, "Invalid number", kAny},
        {"x", TokenStatus::Error, "Not a number", 'x'},
        {"", TokenStatus::Error, "Not a number", SimpleLexer::kEndOfInput},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        SimpleLexer lexer = LexerOn(c.text);
        const TokenStatus status = lexer.ReadNumber();
        EXPECT_EQ(status, c.status);
        if (status == TokenStatus::Error) {
            EXPECT_EQ(lexer.LastError(), c.token);
        } else {
            EXPECT_EQ(lexer.Token(), c.token);
        }
        if (c.next != kAny) {
            EXPECT_EQ(lexer.Get(), c.next);
        }
    }
}

TEST(SimpleLexer, ReadsIdentifiersAndQuotedStrings) {
    SimpleLexer lexer = LexerOn("TRUE} _a1_b2 \"two\nlines; no comment\" \"\"");
    ASSERT_EQ(lexer.ReadIdentifier(), TokenStatus::Ok);
    EXPECT_EQ(lexer.Token(), "TRUE");
    EXPECT_EQ(lexer.Peek(), '}');
    EXPECT_EQ(lexer.Get(), '}');
    ASSERT_EQ(lexer.ReadIdentifier(), TokenStatus::Ok);
    EXPECT_EQ(lexer.Token(), "_a1_b2");
    ASSERT_EQ(lexer.ReadQuotedString(), TokenStatus::Ok);
    EXPECT_EQ(lexer.Token(), "two\nlines; no comment");
    EXPECT_EQ(lexer.Line(), 0) << "line feeds inside a string are not counted";
    ASSERT_EQ(lexer.ReadQuotedString(), TokenStatus::Ok);
    EXPECT_EQ(lexer.Token(), "");
    EXPECT_EQ(lexer.Peek(), SimpleLexer::kEndOfInput);
}

TEST(SimpleLexer, ReportsMalformedIdentifiersAndStrings) {
    SimpleLexer notIdentifier = LexerOn("5A");
    EXPECT_EQ(notIdentifier.ReadIdentifier(), TokenStatus::Error);
    EXPECT_EQ(notIdentifier.LastError(), "Not a string");
    EXPECT_EQ(notIdentifier.Get(), 'A') << "the offending character is consumed";

    SimpleLexer notQuoted = LexerOn("name\"");
    EXPECT_EQ(notQuoted.ReadQuotedString(), TokenStatus::Error);
    EXPECT_EQ(notQuoted.LastError(), "Not a quoted string");

    SimpleLexer open = LexerOn("\"never closed\n");
    EXPECT_EQ(open.ReadQuotedString(), TokenStatus::Error);
    EXPECT_EQ(open.LastError(), "Non-terminated quoted string");
}

TEST(SimpleLexer, TokensHoldAtMost1023Characters) {
    const std::string longest(1023, 'a');
    const std::string tooLong(1024, 'a');
    const std::string digits(1023, '7');

    EXPECT_EQ(LexerOn(longest).ReadIdentifier(), TokenStatus::Ok);
    EXPECT_EQ(LexerOn(tooLong).ReadIdentifier(), TokenStatus::Overflow);
    EXPECT_EQ(LexerOn(digits).ReadNumber(), TokenStatus::Integer);
    EXPECT_EQ(LexerOn(digits + "7").ReadNumber(), TokenStatus::Overflow);
    EXPECT_EQ(LexerOn("\"" + longest + "\"").ReadQuotedString(), TokenStatus::Ok);
    EXPECT_EQ(LexerOn("\"" + tooLong + "\"").ReadQuotedString(), TokenStatus::Overflow);

    SimpleLexer lexer = LexerOn(longest);
    lexer.ReadIdentifier();
    EXPECT_EQ(lexer.Token().size(), 1023u);
}

TEST(SimpleLexer, CountsLinesOfBlanksAndComments) {
    SimpleLexer lexer = LexerOn("A\n; one\n\n; two\r\n\t\nB ; trailing\nC");
    lexer.ReadIdentifier();
    EXPECT_EQ(lexer.Line(), 0);
    lexer.ReadIdentifier();
    EXPECT_EQ(lexer.Token(), "B");
    EXPECT_EQ(lexer.Line(), 5);
    lexer.ReadIdentifier();
    EXPECT_EQ(lexer.Token(), "C");
    EXPECT_EQ(lexer.Line(), 6);

    SimpleLexer commentAtEnd = LexerOn("; only a comment");
    EXPECT_EQ(commentAtEnd.Peek(), SimpleLexer::kEndOfInput);
}

TEST(SimpleLexer, ReportsWithFileNameAndLine) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    SimpleLexer lexer = LexerOn("\n\nX");
    lexer.ReadIdentifier();
    lexer.ReportError("Something");
    // Text from a file is an argument, never the format.
    lexer.ReportErrorFormat("Invalid Token(%s)", "%s%n%d");
    lexer.ReportError(std::string(2000, 'm'));
    const auto messages = reporter.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "Error lex.qln(line 2): Something");
    EXPECT_EQ(messages[1], "Error lex.qln(line 2): Invalid Token(%s%n%d)");
    EXPECT_EQ(messages[2], "Error lex.qln(line 2): " + std::string(511, 'm'));
}

TEST(SimpleLexer, MissingFileReadsAsEmpty) {
    SimpleLexer lexer(std::filesystem::path("/nonexistent/folder/file.qln"), LineEnds::Bytes);
    EXPECT_FALSE(lexer.IsOpen());
    EXPECT_EQ(lexer.FileName(), "file.qln");
    EXPECT_EQ(lexer.Peek(), SimpleLexer::kEndOfInput);
    EXPECT_EQ(lexer.ReadIdentifier(), TokenStatus::Error);
    EXPECT_EQ(lexer.RemainingBytesBound(), 0u);
}

TEST(SimpleLexer, TextFilesReadCrLfAsLf) {
    const std::string bytes = "a\r\nb\rc\r\r\n";
    unsigned char out[16] = {};

    SimpleLexer text = LexerOn(bytes, LineEnds::Text);
    EXPECT_EQ(text.RemainingBytesBound(), bytes.size());
    ASSERT_EQ(text.ReadBytes(out, sizeof out), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 7), "a\nb\rc\r\n");
    EXPECT_EQ(text.RemainingBytesBound(), 0u);

    SimpleLexer raw = LexerOn(bytes, LineEnds::Bytes);
    ASSERT_EQ(raw.ReadBytes(out, sizeof out), bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), bytes.size()), bytes);

    // Carriage returns are blanks either way; only LFs count lines.
    SimpleLexer blanks = LexerOn("\r\r\nX", LineEnds::Bytes);
    blanks.ReadIdentifier();
    EXPECT_EQ(blanks.Token(), "X");
    EXPECT_EQ(blanks.Line(), 1);
}

}  // namespace
}  // namespace quillon
