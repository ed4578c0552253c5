#include "render.hpp"

#include "hex.hpp"
#include "text.hpp"

namespace {

using ull = unsigned long long;

// side_words -- one side of a patch's entry: its size and hash, or none
std::string side_words(const Side& s)
{
    return s.present ? format_text(msg::kSideFormat, static_cast<ull>(s.size), hex_of(s.hash).c_str())
                     : std::string(msg::kNoSide);
}

// entry_name -- what an entry is of: "piece 003", or the frame
std::string entry_name(int piece)
{
    return piece == kFramePiece ? std::string(msg::kFrameName)
                                : format_text(msg::kPieceNameFormat, piece_file_name(piece).c_str());
}

// pieces_words -- piece numbers as file names, "000, 003"
std::string pieces_words(const std::vector<int>& pieces)
{
    std::string words;
    for (int k : pieces)
        words += (words.empty() ? "" : ", ") + piece_file_name(k);
    return words;
}

// file_side_words -- one side of a folder patch's file: its size and hash, or none
std::string file_side_words(const Side& s)
{
    return s.present ? side_words(s) : std::string(msg::kNoFile);
}

std::string folder_reason(const Detail& d);
std::string kit_reason(const Detail& d);

// patch_reason -- what a detail line says of a patch or a bundle it refuses
std::string patch_reason(const Detail& d)
{
    switch (d.why) {
    case Why::no_table_to_patch:
        return msg::kNoTableToPatch;
    case Why::not_piecewise:
        return msg::kNotPiecewise;
    case Why::same_bundle:
        return format_text(msg::kSameBundleFormat, d.name.c_str());
    case Why::wrong_piece:
        return format_text(msg::kWrongPieceFormat, entry_name(d.piece).c_str(), side_words(d.expected).c_str(),
                           side_words(d.found).c_str());
    case Why::wrong_count:
        return format_text(msg::kWrongCountFormat, static_cast<std::size_t>(d.size), static_cast<unsigned>(d.limit));
    case Why::already_made:
        return msg::kAlreadyMade;
    case Why::already_taken_back:
        return msg::kAlreadyTakenBack;
    case Why::not_a_patch:
        return msg::kNotAPatch;
    case Why::other_version:
        return format_text(msg::kOtherVersionFormat, static_cast<ull>(d.size), static_cast<ull>(d.limit));
    case Why::patch_damaged:
        return msg::kPatchDamaged;
    case Why::patch_malformed:
        return msg::kPatchMalformed;
    case Why::not_as_recorded:
        return format_text(msg::kNotAsRecordedFormat, entry_name(d.piece).c_str());
    case Why::other_compressor:
        return format_text(msg::kOtherCompressorFormat, static_cast<ull>(d.size), static_cast<ull>(d.limit));
    case Why::result_not_as_recorded:
        return msg::kResultNotAsRecorded;
    case Why::no_record_to_diff:
        return msg::kNoRecordToDiff;
    case Why::no_record_to_patch:
        return msg::kNoRecordToPatch;
    case Why::overlapping:
        return format_text(msg::kOverlappingFormat, static_cast<ull>(d.size), static_cast<ull>(d.limit),
                           entry_name(d.piece).c_str(), d.name.c_str());
    case Why::not_combinable:
        return format_text(msg::kNotCombinableFormat, entry_name(d.piece).c_str());
    case Why::no_way_back:
        return format_text(msg::kNoWayBackFormat, pieces_words(d.pieces).c_str(), d.name.c_str());
    case Why::not_a_patch_to_replace:
        return msg::kNotAPatchToReplace;
    case Why::not_of_these_pieces:
        return format_text(msg::kNotOfThesePiecesFormat, d.name.c_str(), static_cast<ull>(d.size));
    case Why::no_original:
        return format_text(msg::kNoOriginalFormat, d.name.c_str(), static_cast<ull>(d.size));
    case Why::no_original_to_merge:
        return format_text(msg::kNoOriginalToMergeFormat, d.name.c_str(), static_cast<ull>(d.size));
    default:
        return folder_reason(d);
    }
}

// folder_reason -- what a detail line says of a folder, its journal or a folder patch
std::string folder_reason(const Detail& d)
{
    switch (d.why) {
    case Why::journal_left:
        return format_text(msg::kJournalLeftFormat, d.name.c_str());
    case Why::journal_unreadable:
        return msg::kJournalUnreadable;
    case Why::journal_file_lost:
        return format_text(msg::kJournalFileLostFormat, d.name.c_str());
    case Why::unsafe_path:
        return format_text(msg::kUnsafePathFormat, d.name.c_str(),
                           msg::kPathProblems[std::min<std::size_t>(d.size, std::size(msg::kPathProblems) - 1)]);
    case Why::same_but_case:
        return format_text(msg::kSameButCaseFormat, d.name.c_str(), d.file.c_str());
    case Why::through_link:
        return format_text(msg::kThroughLinkFormat, d.name.c_str());
    case Why::no_space:
        return format_text(msg::kNoSpaceFormat, static_cast<ull>(d.size), static_cast<ull>(d.limit));
    case Why::folder_patch:
        return msg::kFolderPatch;
    case Why::bundle_patch:
        return msg::kBundlePatch;
    case Why::wrong_file:
        return format_text(msg::kWrongFileFormat, file_side_words(d.expected).c_str(), file_side_words(d.found).c_str());
    case Why::folder_already:
        return msg::kFolderAlready;
    case Why::folder_taken_back:
        return msg::kFolderTakenBack;
    case Why::not_a_folder:
        return msg::kNotAFolder;
    case Why::file_twice:
        return format_text(msg::kFileTwiceFormat, d.name.c_str());
    case Why::no_target:
        return format_text(msg::kNoTargetFormat, static_cast<ull>(d.size));
    default:
        return kit_reason(d);
    }
}

// kit_reason -- what a detail line says of a kit not made
std::string kit_reason(const Detail& d)
{
    switch (d.why) {
    case Why::kit_folder_unknown:
        return msg::kKitFolderUnknown;
    case Why::no_kit_folder:
        return format_text(msg::kNoKitFolderFormat, d.name.c_str());
    case Why::no_kit_file:
        return format_text(msg::kNoKitFileFormat,
                           msg::kKitFileMakers[std::min<std::size_t>(d.size, std::size(msg::kKitFileMakers) - 1)]);
    case Why::not_a_kit_to_replace:
        return msg::kNotAKitToReplace;
    case Why::unsafe_kit_name:
        return format_text(msg::kUnsafeKitNameFormat, d.name.c_str(),
                           msg::kPathProblems[std::min<std::size_t>(d.size, std::size(msg::kPathProblems) - 1)]);
    case Why::kit_too_large:
        return format_text(msg::kKitTooLargeFormat, static_cast<ull>(d.size), static_cast<ull>(d.limit));
    default:
        return "";
    }
}

// bundle_reason -- what a detail line says of a bundle, its pieces or their record
std::string bundle_reason(const Detail& d)
{
    switch (d.why) {
    case Why::is_the_bundle:
        return msg::kIsTheBundle;
    case Why::past_the_end:
        return format_text(msg::kPastTheEndFormat, d.piece, static_cast<unsigned>(d.size), static_cast<ull>(d.limit));
    case Why::no_piece_zero:
        return msg::kNoPieceZero;
    case Why::follows_gap:
        return format_text(msg::kFollowsGapFormat, piece_file_name(d.piece).c_str());
    case Why::at_most_pieces:
        return format_text(msg::kAtMostPiecesFormat, static_cast<int>(d.limit));
    case Why::empty_piece:
        return msg::kEmptyPiece;
    case Why::piece_too_large:
        return format_text(msg::kPieceTooLargeFormat, static_cast<ull>(d.size), static_cast<unsigned>(d.limit));
    case Why::too_large_to_pack:
        return format_text(msg::kPieceTooLargeToPackFormat, static_cast<std::size_t>(d.size), static_cast<std::size_t>(d.limit));
    case Why::missing_piece:
        return msg::kMissingPiece;
    case Why::split_stopped:
        return d.piece == kNoPiece ? msg::kSplitStoppedAtEnd : msg::kSplitStopped;
    case Why::holds_other:
        return format_text(msg::kHoldsOtherFormat, d.name.c_str());
    case Why::holds_other_join:
        return format_text(msg::kOtherBundleFormat, d.name.c_str());
    case Why::edited:
        return format_text(msg::kEditedFormat, pieces_words(d.pieces).c_str());
    case Why::record_unreadable:
        return msg::kRecordUnreadable;
    case Why::not_this_bundle:
        return format_text(msg::kNotThisBundleFormat, d.name.c_str(), d.name.c_str());
    default:
        return patch_reason(d);
    }
}

}  // namespace

FaultReport report_of(Fault fault)
{
    switch (fault) {
    case Fault::no_memory:
        return {&msg::kNoMemory, kExitInput};
    case Fault::cannot_open:
        return {&msg::kCannotOpen, kExitInput};
    case Fault::read_failed:
        return {&msg::kReadFailed, kExitInput};
    case Fault::not_flz0:
        return {&msg::kNotFlz0, kExitInput};
    case Fault::corrupt:
        return {&msg::kCorrupt, kExitInput};
    case Fault::too_large:
        return {&msg::kTooLarge, kExitInput};
    case Fault::already_flz0:
        return {&msg::kAlreadyFlz0, kExitInput};
    case Fault::bad_piece:
        return {&msg::kBadPiece, kExitInput};
    case Fault::bad_patch:
        return {&msg::kBadPatch, kExitInput};
    case Fault::wrong_bundle:
        return {&msg::kWrongBundle, kExitInput};
    case Fault::already_applied:
        return {&msg::kAlreadyApplied, kExitAlready};
    case Fault::no_change:
        return {&msg::kNoChange, kExitInput};
    case Fault::other_pieces:
        return {&msg::kOtherPieces, kExitInput};
    case Fault::write_failed:
    case Fault::output_lost:
        return {&msg::kWriteFailed, kExitOutput};
    case Fault::cannot_rename:
        return {&msg::kCannotRename, kExitOutput};
    }
    return {&msg::kWriteFailed, kExitOutput};
}

std::string error_words(platform::SysError e)
{
    if (e.code == platform::kNotRegular)
        return msg::kNotRegularFile;
    if (e.code == platform::kUnsupported)
        return msg::kNotSupported;
    if (e.code == platform::kTooManyTemps)
        return msg::kTooManyAtOnce;
    const std::string text = platform::system_error_text(e);
    return text.empty() ? format_text(msg::kSystemErrorFormat, e.code) : text;
}

std::string reason_text(const Detail& d)
{
    if (d.error)
        return error_words(d.error);
    switch (d.why) {
    case Why::none:
        return "";
    case Why::out_of_memory:
        return msg::kOutOfMemory;
    case Why::no_memory_for_file:
        return std::string(msg::kNoMemoryFor) + msg::kForTheFile;
    case Why::no_memory_for_image:
        return std::string(msg::kNoMemoryFor) + msg::kForTheImage;
    case Why::no_memory_for_decoded:
        return std::string(msg::kNoMemoryFor) + msg::kForTheDecodedData;
    case Why::already_exists:
        return msg::kAlreadyExists;
    case Why::changed_since_read:
        return msg::kChangedSinceRead;
    case Why::ended_after:
        return format_text(msg::kEndedAfterFormat, static_cast<ull>(d.size), static_cast<ull>(d.limit));
    case Why::outside_ended:
        return msg::kOutsideEnded;
    case Why::no_flz0_magic:
        return msg::kNoFlz0Magic;
    case Why::starts_with_flz0:
        return msg::kStartsWithFlz0;
    case Why::stream_ends:
        return format_text(msg::kStreamEndsFormat, static_cast<std::size_t>(d.size), static_cast<unsigned>(d.limit));
    case Why::longer_than_flz0:
        return format_text(msg::kLongerThanFlz0Format, static_cast<std::size_t>(d.limit));
    case Why::packed_too_long:
        return format_text(msg::kPackedTooLongFormat, static_cast<std::size_t>(d.limit));
    case Why::not_decoding_back:
        return msg::kNotDecodingBack;
    default:
        return bundle_reason(d);
    }
}

std::string piece_line(const char* format, int index, std::uint64_t start, std::uint64_t end)
{
    return format_text(format, piece_file_name(index).c_str(), static_cast<unsigned>(start), static_cast<unsigned>(end));
}

std::string with_words(std::string line, const std::string& words)
{
    line.pop_back();
    return line + ' ' + words + '\n';
}

std::string event_line(const Event& e)
{
    switch (e.what) {
    case Tell::cutting:
        return piece_line(msg::kCuttingFormat, e.piece, e.start, e.end);
    case Tell::joining:
        return piece_line(msg::kJoiningFormat, e.piece, e.start, e.end);
    case Tell::patching:
        return piece_line(msg::kPatchingFormat, e.piece, e.start, e.end);
    case Tell::patching_file:
        return format_text(msg::kPatchingFileFormat, e.name.c_str());
    case Tell::removing:
        return format_text(msg::kRemovingFormat, e.name.c_str());
    case Tell::sizes:
        return format_text(msg::kSizesFormat, static_cast<int>(e.first), static_cast<int>(e.second));
    case Tell::packed:
        return format_text(msg::kPackedFormat, static_cast<int>(e.first), static_cast<int>(e.second));
    case Tell::failed:
        break;
    }
    return "";
}

std::string kind_words(const PieceKind& kind)
{
    std::string words = msg::kKindRaw;
    if (kind.form == PieceForm::flz0) {
        words = format_text(msg::kKindFlz0Format, kind.decoded);
        if (kind.after > 0)
            words += kind.after == 1 ? std::string(msg::kKindAfterOne) : format_text(msg::kKindAfterFormat, kind.after);
    } else if (kind.form == PieceForm::corrupt_flz0) {
        words = format_text(msg::kKindCorruptFormat, kind.produced, kind.original);
    }
    static constexpr const char* kTypes[] = {
        "", msg::kTypePng, msg::kTypeJpeg, msg::kTypeGif, msg::kTypeDds, msg::kTypeWav, msg::kTypeOgg, msg::kTypeMp3,
        msg::kTypeZip, msg::kTypeGzip, msg::kType7z, msg::kTypeRar, msg::kTypeElf, msg::kTypeExe, msg::kTypeBundle,
        msg::kTypeText};
    if (const char* type = kTypes[static_cast<int>(kind.type)]; *type)
        words += std::string(", ") + type;
    return words;
}

std::string fate_words(const PieceFate& fate)
{
    std::string change = msg::kPieceChangeWords[static_cast<int>(fate.change)];
    if (fate.change == PieceChange::from_source)
        change = format_text(change.c_str(), fate.source.c_str()) + msg::kSourceWords[static_cast<int>(fate.is)];
    std::string words = change + ", " + msg::kPieceStoreWords[static_cast<int>(fate.store)];
    if (fate.moves != 0)
        words += format_text(msg::kMovesFormat, static_cast<long long>(fate.moves));
    return words;
}

std::string why_it_ended(const PieceList& list)
{
    switch (list.end) {
    case ListEnd::limit:
        return format_text(msg::kEndsAtLimitFormat, list.limit);
    case ListEnd::capacity:
        return format_text(msg::kEndsAtCapacityFormat, kMaxPieces);
    case ListEnd::end_zero:
        return format_text(msg::kEndIsZeroFormat, list.entry);
    case ListEnd::size_zero:
        return format_text(msg::kSizeIsZeroFormat, list.entry);
    case ListEnd::end_below_start:
        return format_text(msg::kEndBelowStartFormat, list.entry, list.stop, list.start);
    case ListEnd::too_large:
        break;
    }
    return format_text(msg::kTooLargeFormat, list.entry, list.stop - list.start, kMaxPieceSize);
}

std::string why_not_kept(const Layout& layout)
{
    switch (layout.lost) {
    case LayoutLost::other_count:
        return format_text(msg::kOtherCountFormat, layout.old_count, layout.pieces.size());
    case LayoutLost::in_the_table:
        return msg::kInTheTable;
    case LayoutLost::past_the_end:
        return msg::kPastItsEnd;
    case LayoutLost::too_far:
    case LayoutLost::none:
        break;
    }
    return msg::kTooFar;
}

namespace {

// encoder_words -- the encoder that made an FLZ0 piece, as a person reads it
std::string encoder_words(const Encoder& e)
{
    switch (e.family) {
    case EncoderFamily::tree:
        return format_text(msg::kTreeEncoderFormat, static_cast<unsigned>(e.setting));
    case EncoderFamily::chain:
        return format_text(msg::kChainEncoderFormat, static_cast<unsigned>(e.setting));
    case EncoderFamily::pack:
        break;
    }
    return msg::kPackEncoder;
}

// way_back_words -- how an entry's old side comes back
std::string way_back_words(const Change& back)
{
    switch (back.how) {
    case Remake::flz0:
        return format_text(msg::kBackByEncoderFormat, encoder_words(back.encoder).c_str(),
                           back.delta.size() + back.after.size());
    case Remake::raw:
        return format_text(msg::kBackFromStoredFormat, back.delta.size());
    case Remake::none:
        break;
    }
    return msg::kBackFromBefore;
}

}  // namespace

std::string describe_patch(const Patch& patch)
{
    const auto bundle_line = [](const char* name, const BundleId& id) {
        return format_text(msg::kPatchBundleFormat, name, static_cast<ull>(id.size), id.pieces, hex_of(id.hash).c_str());
    };
    std::string text = bundle_line(msg::kOldName, patch.old_bundle) + bundle_line(msg::kNewName, patch.new_bundle);
    std::vector<int> before;  // the pieces the bundle before the patch gives back
    for (const Entry& e : patch.entries) {
        const int piece = e.piece == kFrame ? kFramePiece : static_cast<int>(e.piece);
        const int word = !e.old_side.present ? 1 : !e.new_side.present ? 2 : 0;
        const auto old_size = static_cast<ull>(e.old_side.size);
        const auto new_size = static_cast<ull>(e.new_side.size);
        const std::string sizes = word == 0 ? format_text(msg::kSizesChangeFormat, old_size, new_size)
                                            : format_text(msg::kSizeFormat, word == 1 ? new_size : old_size);
        std::string how;
        if (e.new_side.present)
            how = format_text(e.forward.how == Remake::flz0 ? msg::kFromContentFormat : msg::kFromStoredFormat,
                              e.forward.delta.size() + e.forward.after.size());
        if (e.old_side.present)
            how += way_back_words(e.reverse);
        if (e.old_side.present && e.reverse.how == Remake::none)
            before.push_back(piece);
        text += format_text(msg::kEntryFormat, entry_name(piece).c_str(), msg::kEntryWords[word], sizes.c_str(), how.c_str());
    }
    text += format_text(msg::kWayBackFormat, static_cast<std::size_t>(way_back_size(patch)));
    if (!before.empty())
        text += format_text(msg::kFromBeforeFormat, pieces_words(before).c_str());
    return text;
}

std::string describe_verdict(const std::string& bundle, const Verdict& v, bool reverse)
{
    std::string text;
    if (v.outcome && v.outcome->fault == Fault::wrong_bundle)
        for (const Verdict::Wrong& w : v.wrong)
            text += format_text(msg::kDryWrongFormat, bundle.c_str(), entry_name(w.piece).c_str(),
                                side_words(w.expected).c_str(), side_words(w.found).c_str());
    if (!v.elsewhere.empty())
        text += format_text(msg::kDryElsewhereFormat, bundle.c_str(), pieces_words(v.elsewhere).c_str());
    if (!v.outcome)
        text += format_text(reverse ? msg::kDryTakesBackFormat : msg::kDryAppliesFormat, bundle.c_str());
    return text;
}

std::string describe_folder_patch(const FolderPatch& patch)
{
    std::string text = format_text(msg::kFolderPatchFormat, patch.files.size());
    for (const FileChange& f : patch.files) {
        const int word = !f.old_side.present ? 1 : !f.new_side.present ? 2 : 0;
        const std::string sizes = word == 0 ? format_text(msg::kSizesChangeFormat, static_cast<ull>(f.old_side.size),
                                                          static_cast<ull>(f.new_side.size))
                                            : format_text(msg::kSizeFormat, static_cast<ull>(word == 1 ? f.new_side.size
                                                                                                       : f.old_side.size));
        std::string how = f.how == FileHow::bundle ? format_text(msg::kFolderBundleFormat, f.bundle.entries.size())
                          : f.new_side.present     ? format_text(msg::kFolderBytesFormat, f.forward.size())
                                                   : std::string();
        if (f.how == FileHow::bytes && f.old_side.present && !f.back)
            how += msg::kFolderBackFromBackup;
        text += format_text(msg::kFolderFileFormat, f.path.c_str(), msg::kEntryWords[word], sizes.c_str(), how.c_str());
    }
    return text;
}

std::string describe_folder_verdict(const std::string& folder, const FolderApply& apply, const Outcome& outcome,
                                    bool reverse)
{
    std::string text;
    for (const FileVerdict& v : apply.files) {
        const std::string path = in_dir(folder, v.path);
        if (v.state == FileState::wrong)
            text += format_text(msg::kFileWrongFormat, path.c_str(), reason_text(v.why->detail).c_str());
        else
            text += format_text(v.state == FileState::already ? msg::kFileAlreadyFormat
                                : reverse                     ? msg::kFileComesBackFormat
                                                              : msg::kFileAppliesFormat,
                                path.c_str());
    }
    if (!outcome)
        text += format_text(msg::kSpaceFormat, apply.target.c_str(), static_cast<ull>(apply.needed),
                            static_cast<ull>(apply.free));
    return text;
}

namespace {

// checksum_line -- a file's SHA-256 and name as sha256sum writes a line
std::string checksum_line(const Digest& hash, const std::string& name)
{
    return format_text(msg::kChecksumLineFormat, hex_of(hash).c_str(), name.c_str());
}

// script -- a kit's script: its head, the line that applies one patch, its tail
std::string script(std::string_view head, std::string_view line, std::string_view tail)
{
    return std::string(head) + std::string(line) + std::string(tail);
}

}  // namespace

KitTexts kit_texts(const std::string& patch_name, const std::string& bundle, const Patch& patch)
{
    const char* p = patch_name.c_str();
    const char* b = bundle.c_str();
    return KitTexts{.readme = format_text(msg::kKitReadmeFormat, p, b, b, b, p, p, b, b, b, b,
                                          checksum_line(patch.old_bundle.hash, bundle).c_str(),
                                          checksum_line(patch.new_bundle.hash, bundle).c_str()),
                    .apply_bat = script(msg::kKitBatHead, msg::kKitBatBundleLine, msg::kKitBatTail),
                    .apply_sh = script(msg::kKitShHead, msg::kKitShBundleLine, msg::kKitShTail)};
}

KitTexts folder_kit_texts(const std::string& patch_name, const FolderPatch& patch)
{
    std::string before;
    std::string after;
    for (const FileChange& f : patch.files) {
        if (f.old_side.present)
            before += checksum_line(f.old_side.hash, f.path);
        if (f.new_side.present)
            after += checksum_line(f.new_side.hash, f.path);
    }
    const char* p = patch_name.c_str();
    return KitTexts{.readme = format_text(msg::kKitFolderReadmeFormat, p, p, p, p, before.c_str(), after.c_str()),
                    .apply_bat = script(msg::kKitBatHead, msg::kKitBatFolderLine, msg::kKitBatTail),
                    .apply_sh = script(msg::kKitShHead, msg::kKitShFolderLine, msg::kKitShTail)};
}
