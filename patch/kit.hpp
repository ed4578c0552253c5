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
    HeldBytes patch{};
    KitTexts texts{};
};

struct KitPlan {
    Plan plan;
    std::string folder{};    // the kit folder its files came from
    std::uint64_t size = 0;  // of the zip
};

// kit_folders -- where a program in program_dir looks for its kit folder,
// in order: kit/ beside it, then share/bndtools beside its folder
std::vector<std::string> kit_folders(const std::string& program_dir);

// plan_kit -- the kit and the plan that writes it, as one file: the kit
// folder given, else the first of kit_folders that is a folder
// (no_kit_folder; kit_folder_unknown where the program's folder is not
// known), each of its files there (no_kit_file, naming it; `size` says
// which KitFile), a patch name any system can unpack (unsafe_kit_name), a
// zip the format holds (kit_too_large), and an existing file of the kit's
// name only where it is a kit (not_a_kit_to_replace)
Outcome plan_kit(platform::FileSystem& fs, const KitRequest& request, KitPlan& kit);
