#include "plan.hpp"

#include <algorithm>
#include <array>

#include "files.hpp"
#include "journal.hpp"

namespace {

using platform::FileSystem;

// A commit under way: the inputs opened so far, and the outputs written
// and not yet named.
struct Committing {
    FileSystem& fs;
    const Plan& plan;
    const Observer& observer;
    std::vector<std::unique_ptr<InputFile>> inputs{};
    std::vector<std::unique_ptr<Output>> outputs{};
    // Two copy buffers, used in turn: a hash goes on over the one while
    // the next block is read into the other (a feed waits for the one
    // before it, so the buffer read into is never the one being hashed).
    std::array<Bytes, 2> buffers{};
    std::size_t next_buffer = 0;
    // The digests taken of parts, by whichever thread has room, and the
    // buffers the parts are read into whole: one is read into again once
    // the digest of what it held is taken. The second thread is declared
    // last, so that it is done before the buffers and digests it works on
    // go, also when a failure ends the commit part-way.
    std::vector<Digest> digests{};
    std::array<Bytes, Behind::kDepth + 1> whole{};
    std::array<std::uint64_t, Behind::kDepth + 1> whole_job{};
    DigestBehind digesting{};
};

// open_input -- input k of the plan, opened into its slot where it is
// not open yet, and still the file the plan read
Outcome open_input(FileSystem& fs, const Plan& plan, int k, std::vector<std::unique_ptr<InputFile>>& inputs,
                   const InputFile*& in)
{
    std::unique_ptr<InputFile>& slot = inputs[static_cast<std::size_t>(k)];
    const PlannedInput& p = plan.inputs[static_cast<std::size_t>(k)];
    if (!slot) {
        auto file = std::make_unique<InputFile>(fs, p.path, p.links);
        platform::FileInfo info;
        if (Outcome f = opened(*file, Fault::read_failed, info))
            return f;
        if (info.size != p.size || info.id != p.id)
            return tool_failure(Fault::read_failed, p.path, Why::changed_since_read);
        slot = std::move(file);
    }
    in = slot.get();
    return {};
}

// opened -- input k of a commit's plan, open
Outcome opened(Committing& c, int k, const InputFile*& in)
{
    return open_input(c.fs, c.plan, k, c.inputs, in);
}

// write_block -- bytes into the output, and into its hash where it has one
Outcome write_block(Output& out, HashBehind* hash, std::span<const std::uint8_t> bytes)
{
    if (hash)
        hash->feed(bytes);
    return out.write(bytes);
}

// copy_part -- a part's bytes from its input into the output, a block at a time
Outcome copy_part(Committing& c, const Part& part, Output& out, HashBehind* hash)
{
    const InputFile* in = nullptr;
    if (Outcome f = opened(c, part.input, in))
        return f;
    for (std::uint64_t done = 0; done < part.size;) {
        Bytes& buf = c.buffers[c.next_buffer++ % 2];
        if (buf.size() != kCopyBlock)
            buf.resize(kCopyBlock);
        const std::span<std::uint8_t> block =
            std::span(buf).first(static_cast<std::size_t>(std::min<std::uint64_t>(part.size - done, kCopyBlock)));
        if (Outcome f = read_exact(*in, part.offset + done, block))
            return f;
        if (Outcome f = write_block(out, hash, block))
            return f;
        done += block.size();
    }
    return {};
}

// copy_digested -- a part read whole, written, and its digest taken
Outcome copy_digested(Committing& c, const Part& part, Output& out)
{
    const InputFile* in = nullptr;
    if (Outcome f = opened(c, part.input, in))
        return f;
    std::size_t free = 0;
    while (!c.digesting.done(c.whole_job[free]))
        free = (free + 1) % c.whole.size();
    Bytes& buf = c.whole[free];
    buf.resize(static_cast<std::size_t>(part.size));
    if (Outcome f = read_exact(*in, part.offset, buf))
        return f;
    if (Outcome f = out.write(buf))
        return f;
    if (c.plan.seen)
        c.plan.seen(static_cast<std::size_t>(part.digest), buf);
    c.whole_job[free] = c.digesting.take(buf, &c.digests[static_cast<std::size_t>(part.digest)]);
    return {};
}

// write_part -- a part's bytes into the output
Outcome write_part(Committing& c, const Part& part, Output& out, HashBehind* h)
{
    if (part.input == kNoInput)
        return part.bytes ? write_block(out, h, *part.bytes) : Outcome{};
    if (part.digest >= 0 && !h)
        return copy_digested(c, part, out);
    return copy_part(c, part, out, h);
}

// write_output -- output k under its temporary name, whole and checked
Outcome write_output(Committing& c, int k)
{
    const PlannedOutput& p = c.plan.outputs[static_cast<std::size_t>(k)];
    auto out = std::make_unique<Output>(c.fs, p.path, p.old, p.durability);
    if (Outcome f = out->create())
        return f;
    if (p.attributes_of != kNoInput) {
        const InputFile* like = nullptr;
        if (Outcome f = opened(c, p.attributes_of, like))
            return f;
        if (Outcome f = out->copy_attributes_of(like->handle()))
            return f;
    }
    // What the hash is given stays until it is done: declared before it.
    Sha256 sum;
    Bytes made;
    std::optional<HashBehind> hash;
    if (p.digest)
        hash.emplace(sum);
    HashBehind* h = hash ? &*hash : nullptr;
    if (p.made) {
        c.digesting.wait();
        made = p.made(c.digests);
        if (Outcome f = write_block(*out, h, made))
            return f;
    }
    for (const Part& part : p.parts) {
        if (Outcome f = tell_all(part.told, c.observer))
            return f;
        if (Outcome f = write_part(c, part, *out, h))
            return f;
    }
    if (hash) {
        hash->wait();
        if (sum.finish() != *p.digest)
            return p.wrong ? *p.wrong : tool_failure(Fault::write_failed, p.path, Why::not_decoding_back);
    }
    c.outputs[static_cast<std::size_t>(k)] = std::move(out);
    return {};
}

// name_output -- a written output takes its name
Outcome name_output(Committing& c, int k)
{
    const PlannedOutput& p = c.plan.outputs[static_cast<std::size_t>(k)];
    std::unique_ptr<Output> out = std::move(c.outputs[static_cast<std::size_t>(k)]);
    Outcome f = out->commit();
    if (f && p.fails_as_write && f->fault == Fault::cannot_rename)
        f->fault = Fault::write_failed;
    return f;
}

// remove_file -- a regular file at path removed, what is told of it told
// first; nothing where the name holds no regular file (any more)
Outcome remove_file(Committing& c, const Step& step)
{
    platform::Result<platform::FileInfo> there = c.fs.look(step.path, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::write_failed, step.path, there.error);
    if (there.value.kind != platform::Kind::regular)
        return {};
    if (Outcome f = tell_all(step.told, c.observer))
        return f;
    if (platform::SysError e = c.fs.remove(step.path))
        return system_failure(Fault::write_failed, step.path, e);
    return {};
}

// take -- one step
Outcome take(Committing& c, const Step& step)
{
    if (step.what != Do::remove)
        if (Outcome f = tell_all(step.told, c.observer))
            return f;
    switch (step.what) {
    case Do::make_dir:
        if (platform::SysError e = c.fs.make_dir(step.path))
            return system_failure(Fault::write_failed, step.path, e);
        return {};
    case Do::write:
        return write_output(c, step.output);
    case Do::finish:
        return c.outputs[static_cast<std::size_t>(step.output)]->finish();
    case Do::keep:
        if (Outcome f = c.outputs[static_cast<std::size_t>(step.output)]->finish())
            return f;
        c.outputs[static_cast<std::size_t>(step.output)]->keep();
        return {};
    case Do::name:
        return name_output(c, step.output);
    case Do::write_and_name:
        if (Outcome f = write_output(c, step.output))
            return f;
        return name_output(c, step.output);
    case Do::remove:
        return remove_file(c, step);
    case Do::restore_backup:
        return restore_backup(c.fs, step.path);
    case Do::tell:
        return {};
    case Do::close_inputs:
        for (std::unique_ptr<InputFile>& in : c.inputs)
            in.reset();
        return {};
    }
    return {};
}

// journal_left -- a journal left in a folder the plan writes in: a commit
// there stopped, and the next bndpatch on that folder finishes or undoes it
Outcome journal_left(FileSystem& fs, const Plan& plan)
{
    std::vector<std::string> paths;
    for (const PlannedOutput& out : plan.outputs)
        paths.push_back(out.path);
    for (const Step& step : plan.steps)
        if (step.what == Do::make_dir || step.what == Do::remove || step.what == Do::restore_backup)
            paths.push_back(step.what == Do::make_dir ? in_dir(step.path, kJournalName) : step.path);
    return unfinished_journal(fs, paths);
}

}  // namespace

std::uint64_t PlannedOutput::size() const
{
    std::uint64_t n = 0;
    for (const Part& p : parts)
        n += p.length();
    return n;
}

int Plan::add_input(PlannedInput input)
{
    inputs.push_back(std::move(input));
    return static_cast<int>(inputs.size() - 1);
}

int Plan::add_output(PlannedOutput output)
{
    outputs.push_back(std::move(output));
    return static_cast<int>(outputs.size() - 1);
}

PlannedInput input_of(const std::string& path, platform::Links links, const platform::FileInfo& info)
{
    return PlannedInput{.path = path, .links = links, .size = info.size, .id = info.id};
}

Outcome tell_all(const std::vector<Event>& events, const Observer& observer)
{
    for (const Event& e : events)
        if (Outcome f = observer(e))
            return f;
    return {};
}

Outcome commit(FileSystem& fs, const Plan& plan, const Observer& observer)
{
    if (plan.blocked)
        return plan.blocked;
    if (!plan.journaled)
        if (Outcome f = journal_left(fs, plan))
            return f;
    Committing c{.fs = fs, .plan = plan, .observer = observer};
    c.inputs.resize(plan.inputs.size());
    c.digests.resize(plan.digests);
    c.outputs.resize(plan.outputs.size());
    for (const Step& step : plan.steps)
        if (Outcome f = take(c, step))
            return f;
    return {};
}

PlannedBytes::PlannedBytes(platform::FileSystem& fs, const Plan& plan, int output)
    : fs_(fs), plan_(plan), output_(plan.outputs[static_cast<std::size_t>(output)]), size_(output_.size())
{
    inputs_.resize(plan.inputs.size());
}

const std::string& PlannedBytes::name() const
{
    return output_.path;
}

Outcome PlannedBytes::read(std::uint64_t at, std::span<std::uint8_t> out)
{
    std::uint64_t part_start = 0;
    for (const Part& part : output_.parts) {
        const std::uint64_t part_end = part_start + part.length();
        if (out.empty())
            break;
        if (at < part_end) {
            const std::uint64_t from = at - part_start;
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(part_end - at, out.size()));
            if (part.input == kNoInput) {
                std::copy_n(part.bytes->begin() + static_cast<std::ptrdiff_t>(from), n, out.begin());
            } else {
                const InputFile* in = nullptr;
                if (Outcome f = open_input(fs_, plan_, part.input, inputs_, in))
                    return f;
                if (Outcome f = read_exact(*in, part.offset + from, out.first(n)))
                    return f;
            }
            out = out.subspan(n);
            at += n;
        }
        part_start = part_end;
    }
    if (!out.empty())
        return tool_failure(Fault::read_failed, output_.path, Why::ended_after, at, size_);
    return {};
}
