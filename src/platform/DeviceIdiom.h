#pragma once

namespace kestrio {

// The kind of screen the application is shown on. Desktop and laptop screens are the tablet
// (pad) idiom; a narrow screen, as on a Linux phone, is the phone idiom.
enum class UserInterfaceIdiom { Phone, Pad };

// Screens narrower than this many logical pixels (a phone held upright) are phones.
inline constexpr int kPhoneScreenWidthLimit = 600;

inline UserInterfaceIdiom idiomForScreenWidth(int logicalWidth) {
  return logicalWidth > 0 && logicalWidth < kPhoneScreenWidthLimit ? UserInterfaceIdiom::Phone
                                                                   : UserInterfaceIdiom::Pad;
}

// The platform version Kestrio implements on Linux. It is fixed, never the kernel's release, so
// that what the application does never changes with a kernel upgrade; it is recent enough that
// every branch for current platforms is taken.
inline constexpr const char* kImplementedPlatformVersion = "7.0";

}  // namespace kestrio
