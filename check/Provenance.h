#pragma once

#include <optional>
#include <string>
#include <string_view>

/// What made a record, beside the run itself: the program, the host, the plan, the station.
namespace check {

/// The version of the JSON record's layout (docs/check-record.schema.json): raised whenever a
/// field changes its name, type or meaning.
inline constexpr int RecordSchemaVersion = 1;

struct Provenance {
    std::string program;                     ///< "zov-usb-test"
    std::string version;                     ///< the project's version
    std::string host;                        ///< the machine's host name
    std::string planFile;                    ///< the plan's path, as given
    std::string planSha256;                  ///< of the plan file's bytes as read; lowercase hex
    std::optional<std::string> stationId;    ///< --station-id; none when not given
    std::optional<std::string> operatorName; ///< --operator; none when not given
};

/// The provenance of a run of the plan read from `planFile` as `planBytes`, by this program
/// (its application name and version) on this host.
Provenance RunProvenance(std::string planFile, std::string_view planBytes,
                         std::optional<std::string> stationId,
                         std::optional<std::string> operatorName);

} // namespace check
