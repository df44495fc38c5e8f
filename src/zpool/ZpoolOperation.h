#pragma once
#include "exec/HelperProtocol.h"
#include "zpool/ZpoolCreate.h"

#include <QStringList>

#include <optional>

// The administrator operations on pools as Tarnwell asks tarnwell-helper for
// them, and the zpool arguments each stands for. Callers, the helper and a
// root Tarnwell that runs zpool itself all build those arguments here.
namespace ZpoolOperation {
HelperRequest importScan();
HelperRequest create(const QStringList& options, const QString& name, ZpoolCreate::Layout layout,
                     const QStringList& devices);
HelperRequest destroy(const QString& pool);
HelperRequest exportPool(const QString& pool);
HelperRequest import(const QString& pool);
HelperRequest replace(const QString& pool, const QString& oldDevice, const QString& newDevice);
HelperRequest offline(const QString& pool, const QString& device);
HelperRequest online(const QString& pool, const QString& device);
HelperRequest detach(const QString& pool, const QString& device);
HelperRequest scrub(const QString& pool);
HelperRequest scrubStop(const QString& pool);
// The new pool's file system goes to the user who asked; and a disk's file systems are unmounted.
HelperRequest give(const QString& pool);
HelperRequest unmount(const QString& device);

// The zpool arguments of a zpool operation; nullopt for any other, or when
// its operands are not the ones the operation has.
std::optional<QStringList> arguments(const HelperRequest& operation);
}  // namespace ZpoolOperation
