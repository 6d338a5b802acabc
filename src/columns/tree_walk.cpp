#include "columns/tree_walk.h"

#include <utility>
#include <vector>

namespace rb {

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix, bool ignoreCase = false) {
    for (std::size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size())
            return false;
        wchar_t a = text[i], b = prefix[i];
        if (ignoreCase) {
            if (a >= L'a' && a <= L'z')
                a = static_cast<wchar_t>(a - L'a' + L'A');
            if (b >= L'a' && b <= L'z')
                b = static_cast<wchar_t>(b - L'a' + L'A');
        }
        if (a != b)
            return false;
    }
    return true;
}

bool IsDriveRoot(const std::wstring& text, std::size_t at) {
    if (text.size() < at + 2 || text[at + 1] != L':')
        return false;
    wchar_t letter = text[at];
    bool isLetter = (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
    return isLetter && (text.size() == at + 2 || text[at + 2] == L'\\');
}

// The components of `text` from `at` on, without empty and "." components, with ".."
// taking back the component before it (never one of the first `fixed` ones).
bool Components(const std::wstring& text, std::size_t at, std::size_t fixed,
                std::vector<std::wstring>& parts) {
    std::size_t start = at;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\\', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring part = text.substr(start, end - start);
        if (part == L"..") {
            if (parts.size() > fixed)
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    return parts.size() >= fixed;
}

} // namespace

std::wstring PlainPath(const std::wstring& extended) {
    const bool unc = extended.compare(0, 8, L"\\\\?\\UNC\\") == 0;
    const std::size_t from = unc ? 8 : extended.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    std::wstring plain = (unc ? L"\\\\" : L"") + extended.substr(from);
    const bool driveRoot = plain.size() == 3 && plain[1] == L':';
    if (!plain.empty() && plain.back() == L'\\' && !driveRoot)
        plain.pop_back();
    if (plain.size() == 2 && plain[1] == L':')
        plain += L'\\';
    return plain;
}

std::wstring ExtendedPath(const std::wstring& input) {
    std::wstring path = input;
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    std::size_t rest = 0;
    bool unc = false;
    if (StartsWith(path, L"\\\\?\\")) {
        if (StartsWith(path.substr(4), L"UNC\\", true)) {
            unc = true;
            rest = 8;
        } else if (IsDriveRoot(path, 4)) {
            rest = 4;
        } else {
            // Other extended forms (volume names) are taken as they are.
            return path.size() > 4 ? path : std::wstring();
        }
    } else if (StartsWith(path, L"\\\\.\\") || StartsWith(path, L"\\??\\")) {
        return std::wstring(); // devices, not files
    } else if (StartsWith(path, L"\\\\")) {
        unc = true;
        rest = 2;
    } else if (IsDriveRoot(path, 0) && path.size() >= 3) {
        rest = 0;
    } else {
        return std::wstring(); // empty, relative, or relative to a drive's current folder
    }

    std::vector<std::wstring> parts;
    if (unc) {
        // Server and share stay; ".." never climbs above the share.
        if (!Components(path, rest, 2, parts))
            return std::wstring();
        std::wstring result = L"\\\\?\\UNC";
        for (const std::wstring& part : parts)
            result += L"\\" + part;
        return result;
    }
    std::wstring drive = path.substr(rest, 2);
    if (path.size() < rest + 3)
        return std::wstring(); // "\\?\C:" names the drive's current folder
    Components(path, rest + 3, 0, parts);
    std::wstring result = L"\\\\?\\" + drive + L"\\";
    for (std::size_t i = 0; i < parts.size(); ++i)
        result += (i ? L"\\" : L"") + parts[i];
    return result;
}

bool Entered(std::uint32_t attributes, std::uint32_t reparseTag) {
    if (attributes & kAttributeRecallOnOpen)
        return false;
    // Tag 0 is no valid tag: Wine reports Unix links that way.
    return !(attributes & kAttributeReparsePoint) ||
           (reparseTag != 0 && (reparseTag & kReparseTagNameSurrogate) == 0);
}

namespace {

bool IsDotName(const wchar_t* name, std::size_t length) {
    return (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.');
}

// 0 and all ones are what file systems without file ids report.
bool IsKnownId(std::uint64_t id) {
    return id != 0 && id != ~std::uint64_t{0};
}


std::uint64_t Mix(std::uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

// One entry's part of its folder's listing print; the parts are added, so the order of
// the listing does not matter.
std::uint64_t EntryPrint(const DirectoryEntry& entry) {
    std::uint64_t name = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < entry.nameLength; ++i)
        name = (name ^ static_cast<std::uint16_t>(entry.name[i])) * 0x100000001B3ull;
    return Mix(name ^ Mix(entry.size ^ Mix(entry.writeTime ^ Mix(entry.attributes))));
}

// One folder on the current descent, with the subfolders still to be entered.
struct Frame {
    std::size_t pathLength = 0; // of the folder's path with its trailing "\"
    std::uint64_t id = 0;
    std::uint64_t print = 0; // of the whole listing
    FolderTotals own;        // what the folder's own listing adds
    std::wstring names;      // each name ended by a zero
    std::vector<std::uint64_t> ids;
    std::size_t nextName = 0;
    std::size_t nextIndex = 0;
    FolderTotals subtree;        // its own and those of its subfolders walked so far
    WalkSink::Handle kept = 0;   // its place in the kept tree
    bool listed = true;
};

class Collector : public EntrySink {
public:
    explicit Collector(Frame& frame) : totals_(frame.own), frame_(frame) {}

    void Entry(const DirectoryEntry& entry) override {
        frame_.print += EntryPrint(entry);
        totals_.size += entry.size;
        if (IsDotName(entry.name, entry.nameLength)) {
            if (entry.nameLength == 1 && IsKnownId(entry.fileId))
                frame_.id = entry.fileId;
            return;
        }
        if (!(entry.attributes & kAttributeDirectory)) {
            ++totals_.files;
            return;
        }
        ++totals_.folders;
        if (!Entered(entry.attributes, entry.reparseTag))
            return;
        frame_.names.append(entry.name, entry.nameLength);
        frame_.names.push_back(L'\0');
        frame_.ids.push_back(entry.fileId);
    }

private:
    FolderTotals& totals_;
    Frame& frame_;
};

// The files of one listing, held until it is known that its entries count: a listing
// without ids may turn out to be an ancestor's.
struct HeldFiles {
    std::wstring names;
    std::vector<std::pair<std::size_t, DirectoryEntry>> entries; // with the name's start

    void Tell(const std::wstring& folder, FileSink& sink) {
        for (const auto& held : entries) {
            DirectoryEntry entry = held.second;
            entry.name = names.data() + held.first;
            sink.File(folder, entry);
        }
    }
};

// A walk's collector that holds the files as well; a walk without a file sink keeps the
// plain one, and pays nothing for them.
class FileCollector final : public Collector {
public:
    FileCollector(Frame& frame, HeldFiles& held) : Collector(frame), held_(held) {
        held.names.clear();
        held.entries.clear();
    }

    void Entry(const DirectoryEntry& entry) override {
        Collector::Entry(entry);
        if ((entry.attributes & kAttributeDirectory) || IsDotName(entry.name, entry.nameLength))
            return;
        held_.entries.emplace_back(held_.names.size(), entry);
        held_.names.append(entry.name, entry.nameLength);
    }

private:
    HeldFiles& held_;
};

Listing ListInto(DirectoryLister& lister, const std::wstring& path, Frame& frame, HeldFiles* held) {
    if (!held) {
        Collector collector(frame);
        return lister.List(path, collector);
    }
    FileCollector collector(frame, *held);
    return lister.List(path, collector);
}

bool FitsTheSystem(const std::wstring& folderPath) {
    // A listing pattern adds "*" and the terminator.
    return folderPath.size() + 2 <= kMaxPathCharacters;
}

// A folder above the walk's root, with its path's length (its trailing "\" included).
struct Outer {
    std::size_t pathLength;
    std::uint64_t id;
};

// The folders above `path` (ending in "\") up to the drive's or share's root, by the ids
// the lister gives them; those without one are left out.
std::vector<Outer> OuterFolders(const std::wstring& path, DirectoryLister& lister) {
    std::vector<Outer> outer;
    std::size_t at = 4; // "\\?\"
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        at = path.find(L'\\', 8);
        at = at == std::wstring::npos ? at : path.find(L'\\', at + 1);
    } else {
        at = path.find(L'\\', at);
    }
    for (; at != std::wstring::npos && at + 1 < path.size(); at = path.find(L'\\', at + 1)) {
        const std::uint64_t id = lister.Identify(path.substr(0, at + 1));
        if (IsKnownId(id))
            outer.push_back({at + 1, id});
    }
    return outer;
}

// Whether the folder listed in `root` is one of the folders above it.
bool IsRootAbove(const std::vector<Outer>& outer, const Frame& root, const std::wstring& path,
                 DirectoryLister& lister) {
    for (const Outer& above : outer)
        if (above.id == root.id && lister.SameFolder(path.substr(0, above.pathLength), path))
            return true;
    return false;
}

bool IsOwnAncestor(const std::vector<Outer>& outer, const std::vector<Frame>& stack,
                   std::uint64_t id, const std::wstring& path, DirectoryLister& lister) {
    if (!IsKnownId(id))
        return false;
    for (const Outer& above : outer)
        if (above.id == id && lister.SameFolder(path.substr(0, above.pathLength), path))
            return true;
    for (const Frame& frame : stack)
        if (frame.id == id && lister.SameFolder(path.substr(0, frame.pathLength), path))
            return true;
    return false;
}

// For a folder just listed without an id (the last frame): whether an ancestor's listing
// was the same and the lister confirms that both are one folder.
bool ListedAsAnAncestor(const std::vector<Frame>& stack, const std::wstring& path,
                        DirectoryLister& lister) {
    const Frame& child = stack.back();
    if (IsKnownId(child.id))
        return false;
    for (std::size_t i = 0; i + 1 < stack.size(); ++i)
        if (stack[i].print == child.print &&
            lister.SameFolder(path.substr(0, stack[i].pathLength), path))
            return true;
    return false;
}

void Add(FolderTotals& totals, const FolderTotals& more) {
    totals.size += more.size;
    totals.files += more.files;
    totals.folders += more.folders;
}

} // namespace

Listing ListOwn(const std::wstring& folder, DirectoryLister& lister, FolderTotals& own,
                std::vector<std::wstring>& subfolders, bool* loop) {
    std::vector<Frame> stack(1);
    Frame& frame = stack.back();
    std::wstring path = folder;
    if (path.empty() || path.back() != L'\\')
        path.push_back(L'\\');
    frame.pathLength = path.size();
    Collector collector(frame);
    Listing listing = lister.List(path, collector);
    own = listing == Listing::Whole ? frame.own : FolderTotals();
    own.whole = listing == Listing::Whole;
    subfolders.clear();
    if (listing != Listing::Whole)
        return listing;
    // A subfolder that is the folder itself or one above it is counted, not entered.
    const std::vector<Outer> outer = OuterFolders(path, lister);
    if (loop)
        *loop = IsRootAbove(outer, frame, path, lister);
    std::size_t index = 0;
    for (std::size_t at = 0; at < frame.names.size(); ++index) {
        std::size_t end = frame.names.find(L'\0', at);
        std::wstring name = frame.names.substr(at, end - at);
        at = end + 1;
        if (!IsOwnAncestor(outer, stack, frame.ids[index], path + name + L'\\', lister))
            subfolders.push_back(std::move(name));
    }
    return listing;
}

FolderTotals WalkTree(const std::wstring& root, DirectoryLister& lister, WalkSink* keep,
                      WalkOutcome* outcome, FileSink* files) {
    FolderTotals totals;
    WalkOutcome ignored;
    WalkOutcome& result = outcome ? *outcome : ignored;
    result = WalkOutcome();
    Listing& how = result.listing;
    if (root.empty())
        return totals;
    std::wstring path = root;
    if (path.back() != L'\\')
        path.push_back(L'\\');
    if (!FitsTheSystem(path))
        return totals;

    // Depth first with an explicit stack: one listing open at a time, and no recursion
    // whose depth the tree would choose.
    std::vector<Frame> stack(1);
    stack.back().pathLength = path.size();
    if (keep)
        stack.back().kept = keep->Enter(0, L"", 0);
    HeldFiles held;
    HeldFiles* const holding = files ? &held : nullptr;
    {
        how = ListInto(lister, path, stack.back(), holding);
        if (how != Listing::Whole) {
            if (keep && how == Listing::NotListable)
                keep->Done(stack.back().kept, FolderTotals(), false);
            return totals;
        }
        Add(totals, stack.back().own);
        stack.back().subtree = stack.back().own;
    }
    const std::vector<Outer> outer = OuterFolders(path, lister);
    result.loop = IsRootAbove(outer, stack.back(), path, lister);
    if (result.loop)
        return totals; // reached through a link back: a walk of it counts nothing
    if (files)
        held.Tell(path, *files);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.nextIndex >= top.ids.size()) {
            // Its subtree is whole: it counts in its parent's.
            if (keep)
                keep->Done(top.kept, top.subtree, top.listed);
            if (stack.size() > 1)
                Add(stack[stack.size() - 2].subtree, top.subtree);
            stack.pop_back();
            continue;
        }
        const wchar_t* name = top.names.c_str() + top.nextName;
        std::size_t nameLength = std::char_traits<wchar_t>::length(name);
        std::uint64_t id = top.ids[top.nextIndex];
        top.nextName += nameLength + 1;
        ++top.nextIndex;

        path.resize(top.pathLength);
        path.append(name, nameLength);
        path.push_back(L'\\');
        if (!FitsTheSystem(path) || IsOwnAncestor(outer, stack, id, path, lister))
            continue;
        const WalkSink::Handle kept = keep && top.kept ? keep->Enter(top.kept, name, nameLength) : 0;
        stack.emplace_back();
        Frame& child = stack.back();
        child.pathLength = path.size();
        child.id = id;
        child.kept = kept;
        bool again = false;
        {
            Listing listing = ListInto(lister, path, child, holding);
            if (listing == Listing::BrokeOff || listing == Listing::Gone) {
                how = Listing::BrokeOff; // some numbers are missing: none are given
                return FolderTotals();
            }
            if (listing == Listing::Whole)
                again = ListedAsAnAncestor(stack, path, lister);
            child.listed = listing == Listing::Whole;
        }
        if (again) {
            if (keep && kept)
                keep->Drop(kept);
            stack.pop_back();
        } else {
            Add(totals, child.own);
            child.subtree = child.own;
            if (files)
                held.Tell(path, *files);
        }
    }
    totals.whole = true;
    return totals;
}

} // namespace rb
