#include "check/Provenance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSysInfo>

namespace check {

Provenance RunProvenance(std::string planFile, std::string_view planBytes,
                         std::optional<std::string> stationId,
                         std::optional<std::string> operatorName) {
    const QByteArray sha256 = QCryptographicHash::hash(
        QByteArrayView(planBytes.data(), qsizetype(planBytes.size())), QCryptographicHash::Sha256);
    return {QCoreApplication::applicationName().toStdString(),
            QCoreApplication::applicationVersion().toStdString(),
            QSysInfo::machineHostName().toStdString(),
            std::move(planFile),
            sha256.toHex().toStdString(),
            std::move(stationId),
            std::move(operatorName)};
}

} // namespace check
