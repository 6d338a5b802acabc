#include "browse/browser.h"

#include "columns/number_format.h"
#include "common/name_fold.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace rb {

namespace {

// `path` moved from `from` to `to`: the same place below the new one.
std::wstring MovedPath(const std::wstring& path, const std::wstring& from, const std::wstring& to) {
    return to + path.substr(from.size());
}

std::wstring Widened(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// "\\?\C:" and "\\?\UNC\server\share" have nothing above them that can be listed.
bool IsVolumeRoot(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return std::count(path.begin() + 8, path.end(), L'\\') <= 1;
    return path.find(L'\\', 4) == std::wstring::npos;
}

} // namespace

Browser::Browser(Jobs& jobs, Disk& disk, std::size_t keptBytes)
    : worker_(jobs), disk_(disk), savedStore_(std::make_shared<KeptStore>(keptBytes / 2)), saved_(savedStore_),
      store_(std::make_shared<KeptStore>(keptBytes)), tree_(store_) {}

void Browser::KeepTrees() {
    if (!keeper_ || !tree_.Folders())
        return;
    // Called on the way to letting the tree go: out of memory, nothing is saved and the
    // tree still goes.
    try {
        const std::vector<std::wstring> roots = tree_.WholeTops();
        if (!roots.empty())
            keeper_->Keep(tree_, roots);
    } catch (...) {
    }
}

void Browser::ForgetSaved() {
    saved_.Clear();
    savedAt_.clear();
    checked_.clear();
}

void Browser::Recalled(const std::wstring& root, std::uint64_t savedAt, KeptTree&& saved) {
    if (root.empty() || root_.empty() || !(AtOrBelow(root, root_) || AtOrBelow(root_, root)))
        return; // of a tree no longer shown
    // A tree read back at or above it has it, from one time; one below it goes.
    const std::wstring key = FoldName(root);
    for (const auto& above : savedAt_)
        if (AtOrBelow(key, above.first))
            return;
    saved_.Graft(root, std::move(saved), KeptTree::Place::Counted);
    FolderTotals totals;
    if (saved_.Of(root, totals) != KeptTree::Value::Known)
        return; // not taken
    for (auto at = savedAt_.begin(); at != savedAt_.end();)
        at = AtOrBelow(at->first, key) ? savedAt_.erase(at) : std::next(at);
    savedAt_[key] = savedAt;
}

bool Browser::Checked(const std::wstring& path) const {
    if (checked_.empty())
        return false;
    for (std::wstring at = FoldName(path); !at.empty(); at = ParentPath(at))
        if (checked_.count(at))
            return true;
    return false;
}

bool Browser::SavedCovers(const std::wstring& path) const {
    if (savedAt_.empty())
        return false;
    const std::wstring key = FoldName(path);
    for (const auto& saved : savedAt_)
        if (AtOrBelow(key, saved.first))
            return true;
    return false;
}

std::uint64_t Browser::SavedAt() const {
    // The deepest saved tree at or above the listed folder, or else the newest below it.
    if (listed_.empty() || savedAt_.empty())
        return 0;
    const std::wstring key = FoldName(listed_);
    std::uint64_t at = 0;
    std::size_t depth = 0;
    for (const auto& saved : savedAt_)
        if (AtOrBelow(key, saved.first) && saved.first.size() >= depth) {
            depth = saved.first.size();
            at = saved.second;
        }
    if (depth)
        return at;
    for (const auto& saved : savedAt_)
        if (AtOrBelow(saved.first, key))
            at = std::max(at, saved.second);
    return at;
}

bool Browser::SavedOf(const Row& row, FolderTotals& totals) const {
    if (savedAt_.empty() || !row.folder || row.link ||
        saved_.Of(row.path, totals) != KeptTree::Value::Known)
        return false;
    // The tree it was read from: the deepest saved at or above it.
    const std::wstring key = FoldName(row.path);
    const std::pair<const std::wstring, std::uint64_t>* from = nullptr;
    for (const auto& saved : savedAt_)
        if (AtOrBelow(key, saved.first) && (!from || saved.first.size() > from->first.size()))
            from = &saved;
    return from && from->second == SavedAt();
}

bool Browser::SavedShown(const Row& row, FolderTotals& totals) const {
    return SavedOf(row, totals) && !Checked(row.path);
}

bool Browser::Growth(std::size_t index, std::int64_t& bytes) const {
    if (index >= rows_.size())
        return false;
    const Row& row = rows_[index];
    FolderTotals walked, saved;
    if (!SavedOf(row, saved) || tree_.Of(row.path, walked) != KeptTree::Value::Known)
        return false;
    bytes = static_cast<std::int64_t>(walked.size - saved.size);
    return true;
}

void Browser::Show(const std::wstring& folder, std::size_t rows, bool followable,
                   std::uint32_t now) {
    listedAsked_ = false;
    broken_.clear();
    mendedOnce_.clear();
    gone_.clear();
    loops_.clear(); // told apart again by one listing each
    rows_.assign(rows, Row());
    if (folder.empty() || root_.empty() ||
        !(AtOrBelow(folder, root_) || AtOrBelow(root_, folder))) {
        // Another tree: what was kept of the one before goes, as nothing follows it any
        // more (coming back walks it anew rather than show old values as current).
        CancelAll();
        KeepTrees();
        tree_.Clear();
        ForgetSaved();
        loops_.clear();
        links_.clear();
        unreadable_.clear();
        changed_.clear();
        rewalk_.clear();
        gathering_ = false;
        root_ = folder;
        countedAt_ = now;
    } else if (!SameName(folder, root_) && AtOrBelow(root_, folder)) {
        root_ = folder; // gone up: followed from there
    }
    listed_ = folder;
    listedTo_.clear();
    listedLeft_ = false;
    followable_ = followable && !folder.empty();
    // Reached through a link, the folder's changes are told under the target's paths:
    // what is kept below the link counts nowhere else, and is not followed.
    std::wstring link;
    for (std::wstring at = folder; !at.empty() && !IsVolumeRoot(at); at = ParentPath(at))
        if (disk_.IsLink(at))
            link = at;
    if (!link.empty()) {
        followable_ = false;
        tree_.KeepApart(link);
        links_.insert(FoldName(link));
    } else {
        // Out of it: what was kept and asked below a link goes.
        for (const std::wstring& path : tree_.ForgetApart())
            Gone(path, false);
        for (const std::wstring& path : links_)
            Gone(path, false);
        links_.clear();
    }
    // The walks for the rows of the folder before end where they serve this one nothing.
    auto unwanted = [&folder](const std::wstring& path, bool fromRow) {
        return fromRow && !AtOrBelow(path, folder) && !AtOrBelow(folder, path);
    };
    std::vector<std::uint32_t> ended;
    for (auto& entry : jobs_) {
        if (unwanted(entry.second.path, entry.second.fromRow))
            ended.push_back(entry.first);
        DropLater(entry.second, unwanted);
    }
    for (std::uint32_t id : ended)
        Cancel(id);
    tree_.Touch(folder);
    Trim();
}

void Browser::Refresh(std::uint32_t now) {
    if (listed_.empty())
        return;
    Gone(listed_, false); // and walked anew when its rows are shown
    listedAsked_ = false;
    broken_.clear();
    mendedOnce_.clear();
    for (Row& row : rows_)
        row.asked = false;
    countedAt_ = now;
}

void Browser::Close() {
    CancelAll();
    KeepTrees();
    tree_.Clear();
    ForgetSaved();
    loops_.clear();
    links_.clear();
    unreadable_.clear();
    rows_.clear();
    listed_.clear();
    root_.clear();
    changed_.clear();
    rewalk_.clear();
    gathering_ = false;
    listedTo_.clear();
    listedLeft_ = false;
}

void Browser::SetFolderRow(std::size_t row, const std::wstring& path, bool link) {
    if (row >= rows_.size())
        return;
    rows_[row].path = path;
    rows_[row].folder = !path.empty();
    rows_[row].link = link;
}

void Browser::SetFileRow(std::size_t row, std::uint64_t size) {
    if (row >= rows_.size())
        return;
    rows_[row].folder = false;
    rows_[row].file = true;
    rows_[row].size = size;
}

Browser::Numbers Browser::RowNumbers(std::size_t index, FolderTotals& totals, bool ask) {
    if (index >= rows_.size() || !rows_[index].folder)
        return Numbers::None;
    Row& row = rows_[index];
    // Asked once, and again whenever the tree changed since (what it had may have gone
    // with a folder walked anew above it); not while the listed folder has moved on (the
    // rows have their old paths until it is listed at its new place). Not again where a
    // walk at or below it broke off since the showing: that is tried at the next one, not
    // in a circle of asking and breaking off.
    bool first = ask && listedTo_.empty() && (!row.asked || row.version != Version());
    if (first && row.asked && !broken_.empty() && BrokenAtOrBelow(row.path)) {
        first = false;
        row.version = Version();
    }
    row.asked = row.asked || ask;
    // Asked for each cell painted: no name folded where nothing is to be found.
    if (row.link || (!loops_.empty() && loops_.count(FoldName(row.path))))
        return Numbers::None;
    switch (tree_.Of(row.path, totals)) {
    case KeptTree::Value::Known:
        return Numbers::Known;
    case KeptTree::Value::Failed:
        return Numbers::None;
    default:
        break;
    }
    if (!broken_.empty() && broken_.count(FoldName(row.path)))
        return Numbers::None; // tried again at the next showing
    for (const std::wstring& gone : gone_)
        if (AtOrBelow(row.path, gone))
            return Numbers::None; // it goes with the next listing
    if (first) {
        row.version = Version();
        LookAt(row.path, Look::Resolve, true);
    }
    if (!row.asked || jobs_.empty())
        return Numbers::None;
    return SavedShown(row, totals) ? Numbers::Saved : Numbers::Running;
}

bool Browser::BrokenAtOrBelow(const std::wstring& folder) const {
    const std::wstring key = FoldName(folder);
    if (broken_.count(key))
        return true;
    auto below = broken_.lower_bound(key + L'\\');
    return below != broken_.end() && below->compare(0, key.size() + 1, key + L'\\') == 0;
}

void Browser::Mend(const std::wstring& folder, bool below) {
    if (broken_.empty())
        return;
    // Once per showing each: where folders come and go all the time, a walk that outlasts
    // them breaks off every time (tried again at the next showing).
    const std::size_t before = broken_.size();
    auto mend = [this](std::set<std::wstring>::iterator at) {
        return mendedOnce_.insert(*at).second ? broken_.erase(at) : std::next(at);
    };
    const std::wstring key = FoldName(folder);
    for (std::wstring at = key; !at.empty(); at = ParentPath(at)) {
        auto found = broken_.find(at);
        if (found != broken_.end())
            mend(found);
    }
    if (below)
        for (auto at = broken_.lower_bound(key + L'\\');
             at != broken_.end() && at->compare(0, key.size() + 1, key + L'\\') == 0;)
            at = mend(at);
    mended_ += broken_.size() != before ? 1 : 0;
}

void Browser::LookAt(const std::wstring& folder, Look look, bool fromRow) {
    if (look == Look::Resolve && loops_.count(FoldName(folder)))
        return; // a link back: nothing to resolve
    if (look != Look::Resolve)
        Mend(folder, look == Look::Rewalk);
    if (const std::uint32_t above = WalkAbove(folder)) {
        // The walk under way may have passed it before what is to be looked at came.
        jobs_[above].during.push_back({folder, look, fromRow});
        return;
    }
    KeptTree::Next next;
    switch (look) {
    case Look::Changed: {
        // A listing of it under way may have read before the change, whatever is kept.
        auto& listings = byPath_[static_cast<int>(JobKind::Listing)];
        auto running = listings.find(FoldName(folder));
        if (running != listings.end())
            jobs_[running->second].again = true;
        next = tree_.Changed(folder);
        break;
    }
    case Look::Resolve:
        next = tree_.Resolve(folder);
        break;
    case Look::Rewalk: {
        // Below a folder that keeps no subfolders, that one is walked.
        const std::wstring summed = tree_.SummedAbove(folder);
        next.walks.push_back(summed.empty() ? folder : summed);
        break;
    }
    }
    for (const std::wstring& path : next.walks)
        AskJob(path, JobKind::Walk, fromRow, false);
    for (const std::wstring& path : next.listings)
        AskJob(path, JobKind::Listing, fromRow, look == Look::Changed);
}

void Browser::AskJob(const std::wstring& path, JobKind kind, bool fromRow, bool again) {
    const std::wstring key = FoldName(path);
    auto& byPath = byPath_[static_cast<int>(kind)];
    auto found = byPath.find(key);
    if (found != byPath.end()) {
        Job& job = jobs_[found->second];
        job.fromRow = job.fromRow && fromRow;
        job.again = job.again || again;
        return;
    }
    // Kept before it is asked: out of memory cannot leave a job running that nothing cancels.
    const std::uint32_t id = ++nextId_;
    jobs_.emplace(id, Job{path, kind, fromRow, false, {}});
    byPath[key] = id;
    if (!worker_.Ask(id, path, kind)) {
        // No worker: rather no value than an old one.
        jobs_.erase(id);
        byPath.erase(key);
        if (!fromRow)
            tree_.Abandon(path);
        broken_.insert(key);
    }
}

std::uint32_t Browser::WalkAbove(const std::wstring& path) const {
    const auto& walks = byPath_[static_cast<int>(JobKind::Walk)];
    if (walks.empty())
        return 0;
    for (std::wstring at = FoldName(path); !at.empty(); at = ParentPath(at)) {
        auto found = walks.find(at);
        if (found != walks.end())
            return found->second;
    }
    return 0;
}

bool Browser::TakeJob(std::uint32_t id, Job& job) {
    auto found = jobs_.find(id);
    if (found == jobs_.end())
        return false;
    job = std::move(found->second);
    jobs_.erase(found);
    auto& byPath = byPath_[static_cast<int>(job.kind)];
    auto indexed = byPath.find(FoldName(job.path));
    if (indexed != byPath.end() && indexed->second == id)
        byPath.erase(indexed);
    return true;
}

void Browser::Cancel(std::uint32_t id) {
    Job job;
    if (!TakeJob(id, job))
        return;
    worker_.Cancel(id);
    for (const Later& later : job.during)
        if (!later.fromRow)
            LookAt(later.path, later.look, false);
}

void Browser::CancelAll() {
    for (const auto& entry : jobs_)
        worker_.Cancel(entry.first);
    jobs_.clear();
    byPath_[0].clear();
    byPath_[1].clear();
}

void Browser::Lost() {
    for (const auto& entry : jobs_) {
        tree_.Abandon(entry.second.path);
        broken_.insert(FoldName(entry.second.path));
    }
    jobs_.clear();
    byPath_[0].clear();
    byPath_[1].clear();
}

void Browser::AfterAnswer(Job& job) {
    if (job.again)
        AskJob(job.path, job.kind, job.fromRow, false);
    for (const Later& later : job.during)
        LookAt(later.path, later.look, later.fromRow);
    // The rows' walks all answered: the listed folder listed by itself (and what it holds
    // beyond the rows asked so far walked), once per showing, so that it is whole and its
    // tree is kept as one.
    FolderTotals totals;
    if (jobs_.empty() && !listedAsked_ && !listed_.empty() && listedTo_.empty() && !listedLeft_ &&
        broken_.empty() && tree_.Of(listed_, totals) == KeptTree::Value::Unknown) {
        listedAsked_ = true;
        LookAt(listed_, Look::Resolve, true);
    }
}

void Browser::Walked(std::uint32_t id, const WalkOutcome& outcome, KeptTree&& walked,
                     std::uint32_t unreadable) {
    Job job;
    if (!TakeJob(id, job))
        return; // cancelled: not taken
    // What could not be listed below it is counted once, from its latest walk.
    ForgetUnreadableBelow(job.path);
    if (unreadable && outcome.listing == Listing::Whole)
        unreadable_[FoldName(job.path)] = {job.path, unreadable};
    if (outcome.listing == Listing::BrokeOff) {
        // No value for it or above it, rather than a short one.
        tree_.Abandon(job.path);
        broken_.insert(FoldName(job.path));
    } else if (outcome.listing == Listing::Gone) {
        // Not there when walked: what the shell tells of it (a rename, a removal) comes,
        // and its old numbers must not go along with it.
        tree_.Forget(job.path);
    } else if (outcome.loop) {
        // A link not marked as one (a share's), back to a folder above it: like a link, it
        // has no numbers of its own.
        loops_.insert(FoldName(job.path));
        tree_.Forget(job.path);
    } else {
        checked_.insert(FoldName(job.path)); // before or after its saved tree is read back
        const KeptTree::Next next = tree_.Graft(
            job.path, std::move(walked), job.fromRow ? KeptTree::Place::Row : KeptTree::Place::Counted);
        for (const std::wstring& path : next.walks)
            AskJob(path, JobKind::Walk, job.fromRow, false);
    }
    AfterAnswer(job);
    Trim();
}

void Browser::Spoiled(std::uint32_t now) {
    CancelAll();
    tree_.Clear();
    loops_.clear();
    links_.clear();
    unreadable_.clear();
    // A change may have been half taken: the folder is listed anew when changes are due.
    if (!listed_.empty()) {
        listedLeft_ = true;
        Gather(now);
    }
    try {
        for (Row& row : rows_)
            if (row.folder)
                broken_.insert(FoldName(row.path));
    } catch (...) { // rows left out are walked anew: no value is wrong either way
    }
}

void Browser::ForgetUnreadableBelow(const std::wstring& folder) {
    for (auto at = unreadable_.begin(); at != unreadable_.end();)
        at = AtOrBelow(at->second.first, folder) ? unreadable_.erase(at) : std::next(at);
}

void Browser::Listed(std::uint32_t id, Listing outcome, const FolderTotals& own,
                     const std::vector<std::wstring>& subfolders, bool loop) {
    Job job;
    if (!TakeJob(id, job))
        return;
    if (loop) {
        // Reached through a link back to a folder above it: no numbers of its own.
        loops_.insert(FoldName(job.path));
        tree_.Forget(job.path);
    } else if (outcome == Listing::BrokeOff) {
        tree_.Abandon(job.path);
        broken_.insert(FoldName(job.path));
    } else if (outcome == Listing::Gone) {
        tree_.Forget(job.path);
    } else {
        const KeptTree::Next next =
            tree_.Relisted(job.path, outcome == Listing::Whole, own, subfolders);
        for (const auto* paths : {&next.walks, &next.listings})
            for (const std::wstring& path : *paths)
                LookAt(path, Look::Resolve, job.fromRow);
    }
    AfterAnswer(job);
}

void Browser::Told(Change change, const std::wstring& first, const std::wstring& second,
                   std::uint32_t now) {
    if (root_.empty() || (first.empty() && second.empty()))
        return;
    const bool moved = change == Change::FolderRenamed && !second.empty();
    // The listed folder moved or removed: listed anew even where it comes back (a folder
    // of that name made or moved there is another folder).
    if ((change == Change::FolderRenamed || change == Change::FolderRemoved) &&
        AtOrBelow(listedTo_.empty() ? listed_ : listedTo_, first))
        listedLeft_ = true;
    if ((change == Change::FolderRenamed || change == Change::FolderRemoved) &&
        AtOrBelow(root_, first)) {
        // The followed folder or one above it went to a new place, or away.
        if (moved) {
            if (!tree_.Rename(first, second))
                tree_.Remove(first);
            Moved(first, second);
            const std::wstring current = listedTo_.empty() ? listed_ : listedTo_;
            if (AtOrBelow(current, first))
                listedTo_ = MovedPath(current, first, second);
            root_ = MovedPath(root_, first, second);
        } else {
            Gone(first, true); // the nearest folder that is there is listed
        }
        Gather(now);
        return;
    }
    if (change == Change::FolderUpdated && AtOrBelow(root_, first)) {
        rewalk_[FoldName(root_)] = root_; // lost track above it: all of it
        Gather(now);
        return;
    }
    if (!AtOrBelow(first, root_)) {
        // Elsewhere on the drive, unless it came from there into the followed folder.
        if (second.empty() || !AtOrBelow(second, root_))
            return;
        changed_[FoldName(ParentPath(second))] = ParentPath(second);
        Gather(now);
        return;
    }
    const std::wstring parent = ParentPath(first);
    switch (change) {
    case Change::FolderUpdated:
        rewalk_[FoldName(first)] = first;
        break;
    case Change::FolderRenamed:
        if (moved && AtOrBelow(listedTo_.empty() ? listed_ : listedTo_, first))
            listedTo_ = MovedPath(listedTo_.empty() ? listed_ : listedTo_, first, second);
        if (moved && AtOrBelow(second, root_)) {
            // Its numbers go with it where no listing counts it; either way both
            // listings are looked at again. Where they cannot, they go.
            if (!tree_.Rename(first, second))
                tree_.Remove(first);
            gone_.push_back(first);
            Moved(first, second);
            changed_[FoldName(parent)] = parent;
            changed_[FoldName(ParentPath(second))] = ParentPath(second);
            break;
        }
        [[fallthrough]]; // out of the followed folder: gone from it
    case Change::FolderRemoved:
        Gone(first, true);
        changed_[FoldName(parent)] = parent;
        break;
    default:
        changed_[FoldName(parent)] = parent;
        if (!second.empty() && AtOrBelow(second, root_))
            changed_[FoldName(ParentPath(second))] = ParentPath(second);
        break;
    }
    Gather(now);
}

template <class Unwanted>
void Browser::DropLater(Job& job, const Unwanted& unwanted) {
    job.during.erase(std::remove_if(job.during.begin(), job.during.end(),
                                    [&](const Later& later) { return unwanted(later.path, later.fromRow); }),
                     job.during.end());
}

std::vector<std::uint32_t> Browser::JobsBelow(const std::wstring& folder) const {
    std::vector<std::uint32_t> below;
    for (const auto& entry : jobs_)
        if (AtOrBelow(entry.second.path, folder))
            below.push_back(entry.first);
    return below;
}

void Browser::Gone(const std::wstring& folder, bool removed) {
    // What was asked at or below it is not wanted any more, and its numbers go now: a
    // folder of that name made later is walked anew. A folder removed leaves its parent's
    // numbers as the parent's next listing has them.
    for (std::uint32_t id : JobsBelow(folder))
        Cancel(id);
    // What rows asked below it goes too; what changes asked stays, unless it is gone.
    for (auto& entry : jobs_)
        DropLater(entry.second, [&folder, removed](const std::wstring& path, bool fromRow) {
            return (removed || fromRow) && AtOrBelow(path, folder);
        });
    if (removed) {
        tree_.Remove(folder);
        gone_.push_back(folder);
    } else {
        tree_.Forget(folder);
    }
    ForgetUnreadableBelow(folder);
    for (auto at = loops_.begin(); at != loops_.end();)
        at = AtOrBelow(*at, FoldName(folder)) ? loops_.erase(at) : std::next(at);
    Mend(folder, true); // a folder of that name made later is another one
}

void Browser::Moved(const std::wstring& from, const std::wstring& to) {
    for (auto* gathered : {&changed_, &rewalk_}) {
        std::map<std::wstring, std::wstring> renamed;
        for (auto at = gathered->begin(); at != gathered->end();) {
            if (AtOrBelow(at->second, from)) {
                const std::wstring path = MovedPath(at->second, from, to);
                renamed[FoldName(path)] = path;
                at = gathered->erase(at);
            } else {
                ++at;
            }
        }
        gathered->insert(renamed.begin(), renamed.end());
    }
    // Jobs at or below it read the old place: asked again at the new one.
    std::vector<Later> again;
    for (std::uint32_t id : JobsBelow(from)) {
        Job job;
        if (!TakeJob(id, job))
            continue;
        worker_.Cancel(id);
        again.push_back({MovedPath(job.path, from, to),
                         job.kind == JobKind::Walk ? Look::Rewalk : Look::Changed, job.fromRow});
        for (Later& later : job.during) {
            if (AtOrBelow(later.path, from))
                later.path = MovedPath(later.path, from, to);
            again.push_back(later);
        }
    }
    for (auto& entry : jobs_)
        for (Later& later : entry.second.during)
            if (AtOrBelow(later.path, from))
                later.path = MovedPath(later.path, from, to);
    for (const Later& later : again)
        LookAt(later.path, later.look, later.fromRow);
}

void Browser::Gather(std::uint32_t now) {
    // From the first change on, not from the last: a steady stream is taken as it goes.
    if (gathering_)
        return;
    gathering_ = true;
    due_ = now + (rows_.size() >= kLargeFolder ? 5 : 1) * kGatherMilliseconds;
}

bool Browser::Gathering(std::uint32_t& due) const {
    due = due_;
    return gathering_;
}

Browser::Action Browser::TakeChanges() {
    Action action;
    gathering_ = false;
    // The listed folder where it went, or the nearest folder above that is there: it may
    // have gone without a word of it (the shell told only that it lost track).
    std::wstring there = listedTo_.empty() ? listed_ : listedTo_;
    const bool moved = !listedTo_.empty() && listedTo_ != listed_; // a new case too
    while (!there.empty() && !IsVolumeRoot(there) && !disk_.FolderExists(there))
        there = ParentPath(there);
    if (moved || !SameName(there, listed_)) {
        action.what = Action::ListOther;
        action.path = there;
    }
    const auto rewalk = std::move(rewalk_);
    const auto changed = std::move(changed_);
    rewalk_.clear();
    changed_.clear();
    for (const auto& entry : rewalk)
        LookAt(entry.second, Look::Rewalk, false);
    // The shell lost track of the listed folder or one above it: its items may have come
    // or gone as well.
    bool refill = listedLeft_;
    for (const auto& entry : rewalk)
        refill = refill || AtOrBelow(listed_, entry.second);
    for (const auto& entry : changed) {
        refill = refill || SameName(entry.second, listed_);
        LookAt(entry.second, Look::Changed, false);
    }
    if (action.what == Action::None && refill)
        action.what = Action::Refill;
    listedTo_.clear(); // only now: out of memory before it keeps where the folder went
    listedLeft_ = false;
    return action;
}

void Browser::Trim() {
    // Room for the walks under way beside the kept tree.
    tree_.Trim(store_->Limit() - store_->Limit() / 5, listed_);
}

std::wstring Browser::StateLine(const std::wstring& folderName, std::uint64_t runningFiles,
                                std::uint64_t runningBytes, const std::wstring& countedAtText,
                                std::uint64_t& rowBytes, const std::wstring& savedAtText) const {
    std::uint64_t files = 0, bytes = 0, savedBytes = 0;
    bool grown = false;      // some row compares with its saved numbers
    bool savedShown = false; // some row shows them while its walk runs
    std::uint32_t unreadable = 0;
    bool waiting = false; // a row still waits for its numbers
    for (const Row& row : rows_) {
        FolderTotals totals;
        if (row.file) {
            ++files;
            bytes += row.size;
        } else if (!row.folder || row.link) {
            continue;
        } else if (tree_.Of(row.path, totals) == KeptTree::Value::Known) {
            files += static_cast<std::uint64_t>(totals.files);
            bytes += totals.size;
            grown = grown || SavedOf(row, totals);
        } else if (row.asked) {
            const std::wstring key = FoldName(row.path);
            const bool loop = loops_.count(key) != 0;
            const bool none = jobs_.empty() || broken_.count(key) || loop;
            unreadable += none && !loop ? 1 : 0;
            waiting = waiting || !none;
            if (!none && SavedShown(row, totals)) {
                savedBytes += totals.size;
                savedShown = true;
            }
        }
    }
    // The bars compare saved numbers too while they are shown.
    rowBytes = bytes + savedBytes;
    if (savedShown && !savedAtText.empty())
        return L"Stand " + savedAtText + L" \u2013 wird gepr\u00fcft \u2026";
    for (const auto& below : unreadable_)
        if (AtOrBelow(below.second.first, listed_) && !SameName(below.second.first, listed_))
            unreadable += below.second.second;
    const bool running = !jobs_.empty();
    if (running && waiting) {
        files += runningFiles;
        bytes += runningBytes;
    }
    const std::wstring counted = Widened(GroupThousands(files, nullptr)) +
                                 (files == 1 ? L" Datei, " : L" Dateien, ") +
                                 Widened(FormatShortSize(bytes));
    std::wstring text;
    if (running) {
        text = L"Durchsuche " + (folderName.empty() ? std::wstring() : folderName + L" ") +
               L"\u2026 " + counted;
    } else {
        text = L"Fertig: " + counted;
        if (unreadable)
            text += L", " + std::to_wstring(unreadable) + L" Ordner nicht lesbar";
    }
    // Where no changes are told (a share), the values say when they were counted.
    if (!followable_ && !root_.empty())
        text += L", Stand " + countedAtText;
    if (grown && !savedAtText.empty())
        text += L" \u2013 Zuwachs seit " + savedAtText;
    return text;
}

} // namespace rb
