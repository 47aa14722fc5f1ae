#pragma once

#include "check/CheckRecord.h"

#include <QString>
#include <functional>
#include <memory>

class QImage; // drawn by the store, shown by a window: the checks need neither Qt part

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
    /// Calls `then` once every run taken so far is stored or kept to be delivered later, and
    /// told; on a thread of the store's own, or at once for a store that keeps runs at once.
    /// Returns at once.
    virtual void afterStored(std::function<void()> then) { then(); }

    /// The line's records drawn, or (a null picture) why they could not be.
    using PictureDelivery = std::function<void(const QImage& picture, const QString& problem)>;
    /// Asks for the line's records as a picture (the yield per day and the failing steps),
    /// drawn after every run taken so far and handed to `deliver` on a thread of the store's
    /// own; returns at once. A store that draws none never calls it.
    virtual void drawPicture(PictureDelivery /*deliver*/) {}
};

/// Opens the store of `--records URL`, with the station's records folder (empty for a single
/// check); nothing, with `error` set, for a URL that names no store.
using RunStoreOpener = std::function<std::unique_ptr<RunStore>(
    const QString& url, const QString& stationDir, QString& error)>;

} // namespace check
