#include "board/TomlFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hid {
namespace {

/// Closes the descriptor it holds when it goes.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

std::string TooLarge(std::size_t bytes) {
    return "the file has " + std::to_string(bytes) + " bytes; at most " +
           std::to_string(LargestTomlFile) + " (1 MiB) are read";
}

/// Steps through a text character by character (UTF-8), knowing the line and column of the
/// character under it as toml++ counts them.
class TextCursor {
public:
    explicit TextCursor(std::string_view text) : text_(text) {}

    bool done() const { return offset_ >= text_.size(); }
    char peek(std::size_t ahead = 0) const {
        return offset_ + ahead < text_.size() ? text_[offset_ + ahead] : '\0';
    }
    bool startsWith(std::string_view part) const { return text_.substr(offset_).starts_with(part); }
    /// How many times `c` stands here in a row, counting up to `most`.
    std::size_t run(char c, std::size_t most) const {
        std::size_t length = 0;
        while (length < most && peek(length) == c)
            ++length;
        return length;
    }
    const toml::source_position& at() const { return at_; }

    void advance(std::size_t characters = 1) {
        for (; characters > 0 && !done(); --characters) {
            if (text_[offset_++] == '\n') {
                at_ = {at_.line + 1, 1};
                continue;
            }
            while (!done() && (static_cast<unsigned char>(text_[offset_]) & 0xC0) == 0x80)
                ++offset_;
            ++at_.column;
        }
    }

private:
    std::string_view text_;
    std::size_t offset_ = 0;
    toml::source_position at_{1, 1};
};

/// Where the first dot past MostDotsOnALine stands, if any. Follows TOML's strings (basic and
/// literal, one-line and multi-line) and comments, whose dots nest nothing.
std::optional<toml::source_position> DotTooMany(std::string_view text) {
    enum class In { Toml, Comment, Basic, Literal, MultiBasic, MultiLiteral } in = In::Toml;
    int dots = 0;
    bool escaped = false;
    for (TextCursor cursor(text); !cursor.done();) {
        const char c = cursor.peek();
        std::size_t width = 1;
        if (c == '\n') {
            dots = 0;
            escaped = false;
            // A one-line string or a comment ends here (an unclosed string is toml++'s to tell).
            if (in == In::Comment || in == In::Basic || in == In::Literal) in = In::Toml;
        } else if (in == In::Toml) {
            const bool triple = cursor.run(c, 3) == 3;
            if (c == '#') in = In::Comment;
            if (c == '.' && ++dots > MostDotsOnALine) return cursor.at();
            if (c == '"') in = triple ? In::MultiBasic : In::Basic;
            if (c == '\'') in = triple ? In::MultiLiteral : In::Literal;
            if ((c == '"' || c == '\'') && triple) width = 3;
        } else if (escaped) {
            escaped = false;
        } else if ((in == In::Basic || in == In::MultiBasic) && c == '\\') {
            escaped = true;
        } else if ((in == In::Basic && c == '"') || (in == In::Literal && c == '\'')) {
            in = In::Toml;
        } else if ((in == In::MultiBasic && c == '"') || (in == In::MultiLiteral && c == '\'')) {
            // The delimiter, with up to two quotes of the string's own before it.
            if (cursor.run(c, 3) == 3) {
                width = cursor.run(c, 5);
                in = In::Toml;
            }
        }
        cursor.advance(width);
    }
    return std::nullopt;
}

} // namespace

std::string TomlError::text() const {
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

std::optional<std::string> ReadTomlText(const std::string& path, TomlError& error) {
    const auto fail = [&](std::string message) {
        error = {path, 0, 0, std::move(message)};
        return std::nullopt;
    };
    const auto failWithErrno = [&](int code) {
        return fail(std::string("cannot read the file: ") + std::strerror(code));
    };
    // Not blocking: opening a named pipe would wait for a writer.
    const FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) return failWithErrno(errno);
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) return failWithErrno(errno);
    if (S_ISDIR(status.st_mode)) return failWithErrno(EISDIR);
    if (!S_ISREG(status.st_mode)) return fail("cannot read the file: it is no regular file");
    if (std::size_t(status.st_size) > LargestTomlFile) return fail(TooLarge(status.st_size));
    std::string text(LargestTomlFile + 1, '\0'); // one more: a file that grew is told too
    std::size_t length = 0;
    while (length < text.size()) {
        const ssize_t got = ::read(file.fd, text.data() + length, text.size() - length);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return failWithErrno(errno);
        if (got == 0) break;
        length += std::size_t(got);
    }
    if (length > LargestTomlFile) return fail(TooLarge(length));
    text.resize(length);
    return text;
}

std::optional<toml::table> ParseToml(std::string_view text, const std::string& file,
                                     TomlError& error) {
    if (text.size() > LargestTomlFile) {
        error = {file, 0, 0, TooLarge(text.size())};
        return std::nullopt;
    }
    if (const auto dot = DotTooMany(text)) {
        error = {file, int(dot->line), int(dot->column),
                 "more than " + std::to_string(MostDotsOnALine) +
                     " dots on one line outside strings: a dotted key or table name may have "
                     "at most " +
                     std::to_string(MostDotsOnALine + 1) + " parts"};
        return std::nullopt;
    }
    try {
        return toml::parse(text, std::string_view(file));
    } catch (const toml::parse_error& problem) {
        const toml::source_position at = problem.source().begin;
        error = {file, int(at.line), int(at.column), std::string(problem.description())};
        return std::nullopt;
    }
}

toml::source_position CharacterPosition(std::string_view text, toml::source_position literal,
                                        std::size_t index) {
    TextCursor cursor(text);
    while (cursor.at().line < literal.line ||
           (cursor.at().line == literal.line && cursor.at().column < literal.column))
        cursor.advance();
    const char quote = cursor.peek();
    const bool basic = quote == '"';
    const bool multiLine = cursor.run(quote, 3) == 3;
    cursor.advance(multiLine ? 3 : 1);
    // A multi-line string leaves out a line break right after its opening quotes.
    if (multiLine) cursor.advance(cursor.startsWith("\r\n") ? 2 : cursor.peek() == '\n' ? 1 : 0);
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    for (std::size_t character = 0; !cursor.done();) {
        const bool escape = basic && cursor.peek() == '\\';
        // A backslash at the end of a line of a multi-line string takes the blanks after it
        // away, and stands for no character.
        if (escape && multiLine && isSpace(cursor.peek(1))) {
            cursor.advance();
            while (!cursor.done() && isSpace(cursor.peek()))
                cursor.advance();
            continue;
        }
        if (character++ == index) return cursor.at();
        if (escape)
            cursor.advance(cursor.peek(1) == 'u' ? 6 : cursor.peek(1) == 'U' ? 10 : 2);
        else
            cursor.advance(multiLine && cursor.startsWith("\r\n") ? 2 : 1); // one line break
    }
    return literal;
}

} // namespace hid
