#pragma once
#include "zpool/RaidInfo.h"
#include "zpool/ZpoolShape.h"

#include <QStringList>

// `zpool import` without a pool: the pools that could be imported ("ejected").
namespace ZpoolImportScan {
// The records ShowUnimportRAID appends.
using Result = RaidList;

QStringList arguments();
const ZpoolShape& shape();

// Appends one record per importable pool to `pools`, with the devices its
// configuration lists in ejectedDisks. Logs "no pools available to import"
// when the text says so. Linear in the size of the text.
void ShowUnimportRAID(const QString& text, Result& pools);
}  // namespace ZpoolImportScan
