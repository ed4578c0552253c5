// A kit: a patch and all a player needs to apply it, in one zip that a
// modder publishes, the same byte for byte whatever system made it.
//
//   README.txt         what the patch changes, the SHA-256 of each file it
//                      changes before and after, and the ways to apply it
//   NAME.bndpatch      the patch
//   bndpatch.html      the page that applies it in a web browser
//   apply.bat          applies it on Windows with the bndpatch.exe that fits
//   apply.sh           applies it elsewhere with the bndpatch on PATH
//   x64/bndpatch.exe   bndpatch for 64-bit Windows
//   x86/bndpatch.exe   bndpatch for 32-bit Windows
//
// The first texts are the program's words, handed in whole; the page and
// the two programs come from a kit folder, which holds them under the
// names they have in the kit, so that an unpacked kit is a kit folder too.
// The zip's comment marks it as a kit: only a kit is ever replaced.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "failure.hpp"
#include "plan.hpp"
#include "platform.hpp"

// The files of a kit folder, in the order the kit holds them.
enum class KitFile { page, x64, x86 };
inline constexpr const char* kKitFileNames[] = {"bndpatch.html", "x64/bndpatch.exe", "x86/bndpatch.exe"};

inline constexpr char kKitReadme[] = "README.txt";
inline constexpr char kKitApplyBat[] = "apply.bat";
inline constexpr char kKitApplySh[] = "apply.sh";
inline constexpr char kPatchSuffix[] = ".bndpatch";

// The comment every kit's zip carries, by which one is known.
inline constexpr std::string_view kKitMark = "bndtools kit";

// Where a program finds its kit folder: in a build tree, kit/ beside the
// program; in an install, share/bndtools beside its bin/.
inline constexpr char kBesideProgram[] = "kit";
inline constexpr char kInstalled[] = "share/bndtools";

// The texts of a kit, as the program words them, line ends and all.
struct KitTexts {
    std::string readme{};
    std::string apply_bat{};
    std::string apply_sh{};
};

struct KitRequest {
    std::string kit{};          // where the zip goes
    std::string files{};        // the kit folder given; none: found from the program's folder
    std::string program_dir{};  // the folder the program is in; none where the system does not tell
    std::string patch_name{};   // the patch's name in the kit
};

// What a kit takes from the disk, gathered before the patch is made.
struct KitFiles {
    std::string folder{};                                   // the kit folder
    std::array<HeldBytes, std::size(kKitFileNames)> files{};  // its files, by KitFile
    OldFile old = OldFile::must_not_exist;                  // what becomes of a file of the kit's name
};

struct KitPlan {
    Plan plan;
    std::uint64_t size = 0;  // of the zip
};

// kit_folders -- where a program in program_dir looks for its kit folder,
// in order: kit/ beside it, then share/bndtools beside its folder
std::vector<std::string> kit_folders(const std::string& program_dir);

// gather_kit -- what the kit takes from the disk, each failure found
// before the patch is made: a patch name any system can unpack
// (unsafe_kit_name), an existing file of the kit's name only where it is
// a kit (not_a_kit_to_replace), the kit folder given, else the first of
// kit_folders that is a folder (no_kit_folder; kit_folder_unknown where
// the program's folder is not known), and each of its files there
// (no_kit_file, naming it; `size` says which KitFile)
Outcome gather_kit(platform::FileSystem& fs, const KitRequest& request, KitFiles& files);

// plan_kit -- the kit of the patch, its texts and the files gathered, and
// the plan that writes it as one file; kit_too_large where a zip cannot
// hold it
Outcome plan_kit(const KitRequest& request, const KitFiles& files, HeldBytes patch, const KitTexts& texts,
                 KitPlan& kit);
