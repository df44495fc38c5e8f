#pragma once
#include "zpool/ZpoolCreate.h"

#include <QString>
#include <QStringList>

// The create-RAID panel's side of `zpool create`: its mode titles and how its
// fields become the argument list ZpoolCreate builds.
namespace CreateCommand {

// The titles of the mode pop-up, in pop-up order.
inline const QString Striped = QStringLiteral("STRIPED");
inline const QString RaidZ = QStringLiteral("RAID-Z");
inline const QString RaidZ2 = QStringLiteral("RAID-Z2");
inline const QStringList ModeTitles = {Striped, RaidZ, RaidZ2};
enum ModeIndex { StripedIndex = 0, RaidZIndex = 1, RaidZ2Index = 2 };

// The layout of a mode title; "STRIPED" and any unknown title are striped.
ZpoolCreate::Layout layout(const QString& modeTitle);

// The edited options when useEditedOptions, else the default ones.
QStringList arguments(bool useEditedOptions, const QString& optionsText, const QString& name,
                      const QString& modeTitle, const QStringList& diskPaths);

}  // namespace CreateCommand
