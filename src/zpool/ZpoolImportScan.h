#pragma once
#include "zpool/RaidInfo.h"
#include "zpool/ZpoolOutput.h"

#include <QByteArray>
#include <QStringList>

// `zpool import` without a pool: the pools that could be imported ("ejected").
namespace ZpoolImportScan {
// The records ShowUnimportRAID appends.
using Result = RaidList;

QStringList arguments();

// Appends one record per importable pool to `pools`, with the devices its
// configuration lists in ejectedDisks. Logs "no pools available to import"
// when the text says so. Linear in the size of the text; works on the tool's bytes.
void ShowUnimportRAID(const QByteArray& text, Result& pools);
// The same for the text the runners decoded.
void ShowUnimportRAID(const QString& text, Result& pools);
}  // namespace ZpoolImportScan
