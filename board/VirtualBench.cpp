#include "board/VirtualBench.h"

#include "hid/CodePage1252.h"
#include "tomlfile/TextPlace.h"
#include "tomlfile/TomlFile.h"

#include <QString>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace board {
namespace {

using std::chrono::milliseconds;
using tomlfile::BeginOf;
using tomlfile::TextPlace;
using tomlfile::TomlError;

constexpr std::int64_t LongestMs = 3'600'000; // an hour
constexpr std::int64_t MostMisses = 1'000'000;
constexpr std::size_t LongestName = 126; // what a USB string descriptor holds

/// One key a board may have: how to read it into the board, and what it allows (for the error).
struct Field {
    std::string_view key;
    std::string allowed;
    /// False when the node has the wrong type or is out of range.
    std::function<bool(const toml::node&, VirtualBoardSetup&)> read;
    bool windows1252 = false; ///< a string whose characters must all be in the code page
};

Field Integer(std::string_view key, std::int64_t lowest, std::int64_t highest,
              std::function<void(VirtualBoardSetup&, std::int64_t)> store) {
    return {key, "an integer from " + std::to_string(lowest) + " to " + std::to_string(highest),
            [=](const toml::node& node, VirtualBoardSetup& board) {
                const auto value = node.value_exact<std::int64_t>();
                if (!value || *value < lowest || *value > highest) return false;
                store(board, *value);
                return true;
            }};
}

Field Milliseconds(std::string_view key,
                   std::function<void(VirtualBoardSetup&, milliseconds)> store) {
    Field field = Integer(key, 0, LongestMs, [=](VirtualBoardSetup& board, std::int64_t value) {
        store(board, milliseconds(value));
    });
    field.allowed = "a whole number of milliseconds from 0 to " + std::to_string(LongestMs);
    return field;
}

/// Text of at most `longest` characters, kept as Windows-1252 bytes.
Field Text(std::string_view key, std::size_t longest,
           std::function<void(VirtualBoardSetup&, std::string)> store) {
    return {key,
            "a string of at most " + std::to_string(longest) +
                " characters that Windows-1252 has (control codes too, but not U+0000)",
            [=](const toml::node& node, VirtualBoardSetup& board) {
                const auto value = node.value_exact<std::string>();
                if (!value) return false;
                const std::u32string characters = QString::fromStdString(*value).toStdU32String();
                if (characters.size() > longest) return false;
                store(board, hid::toWindows1252(characters));
                return true;
            },
            true};
}

constexpr std::size_t LongestPort = 64;

bool PortCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-_.:").find(c) != std::string_view::npos;
}

/// The board's fixture position: a name as sysfs gives a USB port ("1-1.2"), shown as it is.
Field Port() {
    return {"port",
            "a name of 1 to " + std::to_string(LongestPort) +
                " ASCII letters, digits, '-', '_', '.' and ':'",
            [](const toml::node& node, VirtualBoardSetup& board) {
                const auto value = node.value_exact<std::string>();
                if (!value || value->empty() || value->size() > LongestPort ||
                    !std::all_of(value->begin(), value->end(), PortCharacter))
                    return false;
                board.port = *value;
                return true;
            }};
}

std::vector<Field> BoardFields() {
    return {
        Text("serial", LongestName, [](auto& board, auto text) { board.serialNumber = text; }),
        Text("manufacturer", LongestName,
             [](auto& board, auto text) { board.manufacturer = text; }),
        Text("product", LongestName, [](auto& board, auto text) { board.product = text; }),
        Port(),
        Integer("ad", 0, 255, [](auto& board, auto value) { board.adValue = value; }),
        Integer("inputs", 0, 255, [](auto& board, auto value) { board.inputBits = value; }),
        Text("text", VirtualBoard::AnswerTextLength,
             [](auto& board, auto text) { board.answerText = QByteArray::fromStdString(text); }),
        Milliseconds("answer_delay_ms", [](auto& board, auto ms) { board.answerDelay = ms; }),
        Milliseconds("answer_jitter_ms", [](auto& board, auto ms) { board.answerJitter = ms; }),
        Integer("miss_every", 0, MostMisses,
                [](auto& board, auto value) { board.missEvery = int(value); }),
        Milliseconds("plug_at_ms", [](auto& board, auto ms) { board.plugAt = ms; }),
        Milliseconds("unplug_at_ms", [](auto& board, auto ms) { board.unplugAt = ms; }),
    };
}

std::string KeyList(const std::vector<Field>& fields) {
    std::string list;
    for (const Field& field : fields)
        list += (list.empty() ? "" : ", ") + std::string(field.key);
    return list;
}

/// The place in `text` of its first character that no board's text can hold: one Windows-1252
/// lacks, or U+0000, which ends a name where the console reads it.
std::optional<std::size_t> FirstForeignCharacter(const std::u32string& text) {
    const auto found = std::find_if(text.begin(), text.end(), [](char32_t c) {
        return c == 0 || (c != U'?' && hid::windows1252Byte(c) == '?');
    });
    if (found == text.end()) return std::nullopt;
    return std::size_t(found - text.begin());
}

std::string CodePoint(char32_t c) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", unsigned(c));
    return name;
}

/// Reads the bench's tables; the first problem ends the reading.
class BenchReader {
public:
    BenchReader(std::string_view text, std::string file, TomlError& error)
        : text_(text), file_(std::move(file)), error_(error) {}

    std::optional<VirtualBench> read(const toml::table& root) {
        for (const auto& [key, node] : root)
            if (key != "board")
                return fail(BeginOf(key.source()), "unknown key '" + std::string(key.str()) +
                                                       "' at the top of the bench; allowed: board");
        const toml::node_view boards = root["board"];
        const toml::array* array = boards.as_array();
        if (!array || array->empty() || !array->is_array_of_tables())
            return fail(BeginOf(boards ? boards.node()->source() : root.source()),
                        "the bench needs at least one [[board]] table");
        VirtualBench bench;
        for (std::size_t index = 0; index < array->size(); ++index) {
            const toml::table& table = *(*array)[index].as_table();
            if (index == MostBenchBoards)
                return fail(BeginOf(table.source()),
                            "a bench holds at most " + std::to_string(MostBenchBoards) + " boards");
            auto board = readBoard(table, index + 1);
            if (!board) return std::nullopt;
            const auto same = std::find_if(bench.begin(), bench.end(), [&](const auto& other) {
                return other.port == board->port;
            });
            const toml::node* port = table.get("port"); // none: its default port is taken
            if (same != bench.end())
                return fail(BeginOf((port ? *port : table).source()),
                            "board " + std::to_string(index + 1) + ": its port '" + board->port +
                                "' is board " + std::to_string(same - bench.begin() + 1) +
                                "'s already; each board needs a port of its own");
            bench.push_back(std::move(*board));
        }
        return bench;
    }

private:
    std::optional<VirtualBoardSetup> readBoard(const toml::table& table, std::size_t number) {
        const std::string where = "board " + std::to_string(number);
        const std::vector<Field> fields = BoardFields();
        VirtualBoardSetup board;
        board.serialNumber = "BENCH-" + std::to_string(number);
        board.path = "virtual bench " + where;
        board.port = "virtual-" + std::to_string(number);
        for (const auto& [key, node] : table) {
            const std::string name(key.str());
            const auto field = std::find_if(fields.begin(), fields.end(),
                                            [&](const Field& f) { return f.key == name; });
            if (field == fields.end())
                return fail(BeginOf(key.source()),
                            where + ": unknown key '" + name + "'; allowed: " + KeyList(fields));
            if (field->windows1252 && node.is_string()) {
                const std::u32string characters =
                    QString::fromStdString(**node.as_string()).toStdU32String();
                if (const auto foreign = FirstForeignCharacter(characters))
                    return fail(tomlfile::CharacterPlace(text_, BeginOf(node.source()), *foreign),
                                where + ": '" + name + "' has " + CodePoint(characters[*foreign]) +
                                    "; it must be " + field->allowed);
            }
            if (!field->read(node, board))
                return fail(BeginOf(node.source()),
                            where + ": '" + name + "' must be " + field->allowed);
        }
        if (board.answerJitter > board.answerDelay)
            return fail(BeginOf(table.get("answer_jitter_ms")->source()),
                        where + ": 'answer_jitter_ms' must be at most 'answer_delay_ms' (" +
                            std::to_string(board.answerDelay.count()) + ")");
        if (board.unplugAt && *board.unplugAt <= board.plugAt)
            return fail(BeginOf(table.get("unplug_at_ms")->source()),
                        where + ": 'unplug_at_ms' must be after 'plug_at_ms' (" +
                            std::to_string(board.plugAt->count()) + ")");
        return board;
    }

    std::nullopt_t fail(TextPlace at, std::string message) {
        error_ = {file_, at.line, at.column, std::move(message)};
        return std::nullopt;
    }

    std::string_view text_;
    std::string file_;
    TomlError& error_;
};

} // namespace

std::optional<VirtualBench> ParseBench(std::string_view text, const std::string& file,
                                       TomlError& error) {
    const auto root = tomlfile::ParseToml(text, file, error, "bench");
    if (!root) return std::nullopt;
    return BenchReader(text, file, error).read(*root);
}

std::optional<VirtualBench> ReadBenchFile(const std::string& path, TomlError& error) {
    const auto text = tomlfile::ReadTomlFile(path, error, "bench");
    if (!text) return std::nullopt;
    return ParseBench(*text, path, error);
}

} // namespace board
