#pragma once
#include <QString>
#include <QStringList>

// The argument list of `zpool create` as the create-RAID panel builds it.
namespace CreateCommand {

inline const QString DefaultOptionsText =
    QStringLiteral("-f -o ashift=13 -O casesensitivity=insensitive -O normalization=formD");

// The titles of the mode pop-up, in pop-up order.
inline const QString Striped = QStringLiteral("STRIPED");
inline const QString RaidZ = QStringLiteral("RAID-Z");
inline const QString RaidZ2 = QStringLiteral("RAID-Z2");
inline const QStringList ModeTitles = {Striped, RaidZ, RaidZ2};
enum ModeIndex { StripedIndex = 0, RaidZIndex = 1, RaidZ2Index = 2 };

// What the options are when the edited text is not in use.
QStringList defaultOptionArguments();

// "raidz" / "raidz2" for the RAID-Z titles; empty for "STRIPED" and anything else.
QString modeWord(const QString& modeTitle);

// Splits at horizontal white space (tab and every Unicode space separator);
// line breaks stay inside their token. Empty tokens are dropped.
QStringList splitOptionsText(const QString& text);

// "create", the options, the name as one argument, the mode word if any, the disks.
QStringList arguments(bool useEditedOptions, const QString& optionsText, const QString& name,
                      const QString& modeTitle, const QStringList& diskPaths);

}  // namespace CreateCommand
