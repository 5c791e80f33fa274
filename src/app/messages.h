// The texts the utility shows, in code page 437: "\xFE" is the bullet and
// "\xE1" the sharp s. Trailing spaces are part of the texts.
#pragma once

namespace kovo::messages {

inline constexpr char kBanner1[] = "|11 Kovo/w32 Maintenence |11\xE1" "1 v1.00 |08[win32 version]";
inline constexpr char kBanner2[] = "|03 Packs and sorts the kovo.fon directory file";
inline constexpr char kBanner3[] = "|08--//----------------";

inline constexpr char kInvalidParameters1[] = " |10\xFE |12Invalid paramaters";
inline constexpr char kInvalidParameters2[] = " |10\xFE |15" "Either Y or N";
inline constexpr char kIncorrectSwitch1[] = " |15\xFE |07incorrect switch.";
inline constexpr char kIncorrectSwitch2[] = " |15\xFE |07Valid switch Y or N ";

inline constexpr char kCannotLocate[] = "|15\xFE |12" "Can't locate .fon file";
inline constexpr char kBadOrCorrupt[] = "bad or corrupt kovo.fon!";

inline constexpr char kReading[] = "|15 \xFE |03Reading KOVO.FON:|14 Working";
inline constexpr char kSorting[] = "|15 \xFE |03Sorting KOVO.FON:|14 Working";
inline constexpr char kPacking[] = "|15 \xFE |03Packing KOVO.FON:|14 Working";
inline constexpr char kPhaseDone[] = "\b\b\b\b\b\b\b\b|11 DONE   ";

}  // namespace kovo::messages
