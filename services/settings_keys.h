#pragma once
// Every key of the program's settings with its default, in one place. All keys live in the
// section "Settings" under the application name, which is the product name of the build.
// Two stores hold them: the per-user store (GetSetting/SaveSetting) and the machine-wide one
// (GetMachineSetting/SaveMachineSetting); each key below says which.
#include <string>

#include "base/app.h"

namespace settings_keys {

// The application name both stores file the settings under.
inline std::string AppName() { return App::Info().productName; }

inline constexpr const char* kSection = "Settings";

// Per-user: the language filter last picked in each category.
inline constexpr const char* kTVLang = "TVLang";
inline constexpr const char* kRadioLang = "RadioLang";
inline constexpr const char* kVideoLang = "VideoLang";
inline constexpr const char* kDefaultLanguage = "English";

// "1" opens the help on the next start. One name in two stores: the main window reads it from
// the per-user store and sets it to "0" there once the help was opened; the help launcher also
// writes "0" into the machine-wide store, which nothing reads back.
inline constexpr const char* kShowHelp = "showHelp";
inline constexpr const char* kShowHelpDefault = "1";

// Per-user: where the local-files browser was left.
inline constexpr const char* kDrive = "Drive";
inline constexpr const char* kDir = "Dir";

// Per-user: the language of the user interface picked in the language window.
inline constexpr const char* kLanguage = "Language";

// Per-user: "1" once the user chose "Ignore" in the "Permission Denied" dialog of the
// machine-wide store; the dialog is not shown again.
inline constexpr const char* kIgnorePermissionDenied = "IgnorePermissionDeniedError";
inline constexpr const char* kIgnorePermissionDeniedDefault = "0";

// Per-user: the player's volume (0 to 100) and mute ("1" muted), as the user left them.
inline constexpr const char* kVolume = "Volume";
inline constexpr const char* kVolumeDefault = "50";
inline constexpr const char* kMute = "Mute";
inline constexpr const char* kMuteDefault = "0";
// Per-user: "0" decodes video in software only; "1" uses the hardware decoders known to work.
inline constexpr const char* kHardwareDecoding = "HardwareDecoding";
inline constexpr const char* kHardwareDecodingDefault = "1";
// Per-user: "1" keeps the channel played before paused for a minute, so that going back to it
// is instant (a second player, and that stream's connection, stay open); "0" does not.
inline constexpr const char* kKeepLastChannel = "KeepLastChannel";
inline constexpr const char* kKeepLastChannelDefault = "1";
// Live TV paused keeps what arrives on disk, at most these minutes of it or megabytes.
inline constexpr const char* kPauseBufferMinutes = "PauseBufferMinutes";
inline constexpr const char* kPauseBufferMinutesDefault = "30";
inline constexpr const char* kPauseBufferMegabytes = "PauseBufferMegabytes";
inline constexpr const char* kPauseBufferMegabytesDefault = "1024";
// "light" or "dark" chooses the viewer's colours; anything else (or nothing) follows the
// desktop's preference. A skin keeps its own colours.
inline constexpr const char* kColorScheme = "ColorScheme";
// The code page of the catalogue, the favourites and Data.htm: "1250" to "1258". Without it (or
// with another value) the system's: its ANSI code page on Windows, elsewhere the one of the
// user's language (1251 for Russian, 1253 for Greek, ... 1252 for the rest).
inline constexpr const char* kCodePage = "CodePage";

// Machine-wide: "1" hides the splash picture at start.
inline constexpr const char* kChkSplash = "chkSplash";
inline constexpr const char* kChkSplashDefault = "0";

// Per-user: the programme guide's address (XMLTV, plain or gzip), from an imported playlist's
// header or set by the user; empty for no guide.
inline constexpr const char* kGuideAddress = "GuideAddress";

// Per-user: the radio directory's servers, base addresses separated by blanks or commas
// ("https://de1.api.radio-browser.info"); empty (the default) finds them through DNS.
inline constexpr const char* kRadioDirectoryServers = "RadioDirectoryServers";

}  // namespace settings_keys
