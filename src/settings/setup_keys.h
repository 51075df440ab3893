#pragma once

namespace inst::setup {

// Sections and keys of Setup.ini, spelled as in the file.
inline constexpr const char* kConfigurations = "Configurations";
inline constexpr const char* kSound = "Sound";
inline constexpr const char* kInfo = "Info";
inline constexpr const char* kPackage = "Package";

inline constexpr const char* kTitle = "title";
inline constexpr const char* kFrameTitle = "Frametitle";
inline constexpr const char* kStartVersion = "Startversion";
inline constexpr const char* kApplication = "Application";
inline constexpr const char* kScriptName = "ScriptName";
inline constexpr const char* kModifyScriptName = "ModifyScriptName";
inline constexpr const char* kExtras = "Extras";
inline constexpr const char* kYearVersions = "YearVersions";

inline constexpr const char* kSoundFile = "SoundFile";
inline constexpr const char* kPlaySound = "PlaySound";
inline constexpr const char* kPlayMode = "PlayMode";
inline constexpr const char* kVolume = "Volume";

inline constexpr const char* kShowInfo = "ShowInfo";
inline constexpr const char* kInfoFile = "InfoFile";
inline constexpr const char* kInfoTitle = "InfoTitle";

inline constexpr const char* kPackageName = "Name";
inline constexpr const char* kPackageVersion = "Version";
inline constexpr const char* kPublisher = "Publisher";
inline constexpr const char* kPackageId = "Id";

}  // namespace inst::setup
