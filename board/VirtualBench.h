#pragma once

#include "board/VirtualBoard.h"
#include "tomlfile/TomlError.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace board {

/// The most boards one bench holds.
inline constexpr std::size_t MostBenchBoards = 64;

/// A bench of virtual boards, read from TOML: one `[[board]]` table for each board, in the
/// order they are attached. Every key is optional:
///
///   serial, manufacturer, product   who the board says it is: text that Windows-1252 has
///                                   (control codes too), at most 126 characters
///   port                            its fixture position (hid::DeviceInfo::port): 1 to 64
///                                   ASCII letters, digits, '-', '_', '.' and ':', each
///                                   board's its own; by default virtual-1, virtual-2, ...
///   ad, inputs                      its A/D value and input bits, 0 to 255
///   text                            its answer text, at most 16 characters of Windows-1252
///   answer_delay_ms, answer_jitter_ms
///                                   every answer this late, give or take up to the jitter
///                                   (at most the delay), always in the order of the requests
///   miss_every                      0: answers every request; N: leaves every Nth of the
///                                   requests that want an answer (codes 2, 4, 13) unanswered
///   plug_at_ms, unplug_at_ms        when it is plugged in and pulled out, counted from when
///                                   the bench is attached; no unplug_at_ms: it stays
///
/// Times are whole milliseconds from 0 to 3600000. The defaults are the built-in board's,
/// with the serial BENCH-1, BENCH-2, ... by the board's place in the bench.
using VirtualBench = std::vector<VirtualBoardSetup>;

/// Reads a bench from TOML `text`; `file` names it in the errors. The first problem found
/// (a key, a type or a range, with what is allowed) is told in `error`, and nothing answered.
std::optional<VirtualBench> ParseBench(std::string_view text, const std::string& file,
                                       tomlfile::TomlError& error);
/// The same, for the bench in the file at `path`.
std::optional<VirtualBench> ReadBenchFile(const std::string& path, tomlfile::TomlError& error);

} // namespace board
