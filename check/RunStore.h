#pragma once

#include "check/CheckRecord.h"

#include <QString>
#include <functional>
#include <memory>

namespace check {

/// Where `--records URL` keeps each finished run, besides its record files. The check knows
/// only this; the command layer gives it the database's (records/).
class RunStore {
public:
    virtual ~RunStore() = default;
    /// Takes a finished run to keep; returns at once, never waiting on the database.
    virtual void store(const CheckRecord& record) = 0;
    /// Waits until every run taken is stored or kept to be delivered later, telling each on
    /// standard output; false when one could be kept nowhere.
    virtual bool finish() = 0;
};

/// Opens the store of `--records URL`, with the station's records folder (empty for a single
/// check); nothing, with `error` set, for a URL that names no store.
using RunStoreOpener = std::function<std::unique_ptr<RunStore>(
    const QString& url, const QString& stationDir, QString& error)>;

} // namespace check
