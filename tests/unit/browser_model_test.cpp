// The browser against a file system held in memory: random changes to the disk, told to
// it as the shell tells them (on time, late, twice, folded into an update of their folder,
// lost behind an update of a folder above, while a walk runs), random walks and listings
// answered in between, and the user going about. At every quiet point each kept folder
// and each row equals a fresh walk of the disk, and the kept tree's invariants hold. The
// page closes and opens again: what it kept is saved, read back, shown while the walks
// run, and compared with.
// RB_MODEL_SEED and RB_MODEL_RUNS run other seeds; a failure prints its steps.
#include "browse/browser.h"
#include "browse/saved_tree.h"
#include "memory_fs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <random>
#include <set>
#include <tuple>

namespace rb {
namespace {

const std::wstring kR = std::wstring(MemoryFs::kDrive) + L"\\R";

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

std::string Numbers(const FolderTotals& t) {
    return std::to_string(t.size) + "/" + std::to_string(t.folders) + "/" + std::to_string(t.files);
}

class Model : public Jobs, public Disk, public Keeper {
public:
    Model(unsigned seed, std::size_t budget) : random_(seed), browser_(*this, *this, budget) {
        browser_.SetKeeper(this);
        fs_.folders[1].entries[L"R"] = {L"R", true, true, false, 0, 2};
        fs_.folders[2];
        for (int i = 0; i < 14; ++i)
            Alter(Pick(2) ? 0 : 4); // files and folders to begin with, untold
        notes_.clear();
    }

    // One sequence: random steps with a quiet point now and then; false with `log` filled
    // at the first thing that is not right.
    bool Run(int steps, std::string& failure) {
        Show(Folders()[Pick(Folders().size())].first);
        for (int step = 0; step < steps && failure_.empty(); ++step) {
            switch (Pick(12)) {
            case 0: case 1: case 2: Alter(Pick(12)); break;
            case 3: case 4: Deliver(); break;
            case 5: case 6: RunJob(); break;
            case 7: case 8: Answer(); break;
            case 9: Tick(Pick(400)); break;
            case 10: User(Pick(7)); break;
            default: if (Pick(4) == 0) Quiet(); break;
            }
        }
        if (failure_.empty())
            Quiet();
        for (const std::string& line : log_)
            failure += line + "\n";
        failure += failure_;
        return failure_.empty();
    }

    bool FolderExists(const std::wstring& path) override { return fs_.Resolve(path) != 0; }
    bool IsLink(const std::wstring& path) override {
        const MemoryFs::Entry* entry = fs_.Find(fs_.Resolve(ParentPath(path)), path.substr(path.find_last_of(L'\\') + 1));
        return entry && !entry->owns;
    }
    bool Ask(std::uint32_t id, const std::wstring& path, JobKind kind) override {
        Say("  asked " + std::to_string(id) + (kind == JobKind::Walk ? " walk " : " listing ") + Narrow(path));
        queue_.push_back({id, path, kind});
        return true;
    }
    // Closing saves each whole tree as the page does, through the file format; read back,
    // each folder on the disk below it that it has has what the kept tree had.
    void Keep(const KeptTree& tree, const std::vector<std::wstring>& roots) override {
        for (const std::wstring& root : roots) {
            SavedTreeInfo info{root, clock_, static_cast<std::uint32_t>(Pick(99)), Pick(1u << 30), Pick(2) == 1};
            std::string bytes;
            FolderTotals totals;
            if (failure_.empty() && (tree.Of(root, totals) != KeptTree::Value::Known ||
                                     !SaveTree(tree, info, bytes)))
                failure_ = "kept " + Narrow(root) + " is no whole tree";
            SavedTreeInfo read;
            KeptTree loaded, shown;
            const auto fields = [](const SavedTreeInfo& i) {
                return std::make_tuple(i.root, i.savedAt, i.volumeSerial, i.folderId, i.remote, i.folders);
            };
            if (failure_.empty() && (!LoadTree(bytes.data(), bytes.size(), read, loaded) || fields(read) != fields(info)))
                failure_ = "saved " + Narrow(root) + " is not read back as written";
            shown.Graft(root, std::move(loaded));
            for (const auto& folder : fs_.Tree(root)) {
                const auto value = [&](const KeptTree& from) {
                    FolderTotals t;
                    return std::make_tuple(from.Of(folder.first, t), Numbers(t), from.SummedAbove(folder.first));
                };
                if (failure_.empty() && std::get<0>(value(shown)) != KeptTree::Value::Unknown &&
                    value(shown) != value(tree))
                    failure_ = "saved " + Narrow(folder.first) + " read back otherwise";
            }
            for (auto at = shelf_.begin(); at != shelf_.end();)
                at = AtOrBelow(at->first, root) ? shelf_.erase(at) : std::next(at);
            shelf_[root] = bytes;
        }
    }
    void Cancel(std::uint32_t id) override {
        Say("  cancelled " + std::to_string(id));
        for (auto at = queue_.begin(); at != queue_.end(); ++at)
            if (at->id == id) {
                queue_.erase(at);
                break;
            }
    }

private:
    struct Note {
        Change change;
        std::wstring first, second;
    };
    struct Asked {
        std::uint32_t id;
        std::wstring path;
        JobKind kind;
    };
    struct Answered {
        Asked job;
        WalkOutcome outcome;
        KeptTree walked;
        FolderTotals own;
        std::vector<std::wstring> subfolders;
        bool broken = false; // by the disk, not by a change while it ran
    };

    std::size_t Pick(std::size_t count) { return count ? random_() % count : 0; }
    void Say(const std::string& line) { log_.push_back(line); }
    void Checked(const char* after) {
        if (std::getenv("RB_MODEL_DUMP") && std::getenv("RB_MODEL_DUMP")[0] == '2')
            browser_.Tree().ForEach([&](const std::wstring& path, KeptTree::Value value, const FolderTotals& kept) {
                Say("      " + Narrow(path) + " " + std::to_string(static_cast<int>(value)) + " " + Numbers(kept));
            });
        std::string why;
        if (failure_.empty() && !browser_.Tree().Check(why))
            failure_ = std::string("invariant broken after ") + after + ": " + why;
    }
    std::vector<std::pair<std::wstring, std::uint64_t>> Folders() const { return fs_.Tree(kR); }
    std::wstring NewName() {
        static const wchar_t* names[] = {L"a", L"B", L"c", L"Dd", L"e\u00E9", L"f"};
        return names[Pick(6)] + std::to_wstring(Pick(40));
    }

    // A change to the disk, and what the shell tells of it.
    void Alter(std::size_t what) {
        const auto folders = Folders();
        const auto [path, id] = folders[Pick(folders.size())];
        auto& entries = fs_.folders[id].entries;
        const std::wstring name = NewName();
        if (fs_.Find(id, name))
            return;
        std::vector<const MemoryFs::Entry*> files;
        for (const auto& item : entries)
            if (!item.second.folder)
                files.push_back(&item.second);
        const MemoryFs::Entry* file = files.empty() ? nullptr : files[Pick(files.size())];
        const bool isRoot = id == 2;
        switch (what) {
        case 0: case 1: case 2: // a file made
            entries[FoldName(name)] = {name, false, true, false, Pick(5000), fs_.nextId++};
            return Tell({Change::Item, path + L"\\" + name, L""}, "file made");
        case 3: // a file grows or shrinks
            if (!file)
                return;
            entries[FoldName(file->name)].size = Pick(9000);
            return Tell({Change::Item, path + L"\\" + file->name, L""}, "file sized");
        case 4: // a folder made, one in eight not listable
            entries[FoldName(name)] = {name, true, true, false, 0, fs_.nextId};
            fs_.folders[fs_.nextId++].unlistable = Pick(8) == 0;
            return Tell({Change::FolderMade, path + L"\\" + name, L""}, "folder made");
        case 5: { // a file removed or renamed
            if (!file)
                return;
            MemoryFs::Entry moved = *file;
            entries.erase(FoldName(file->name));
            if (Pick(2))
                return Tell({Change::Item, path + L"\\" + moved.name, L""}, "file removed");
            const std::wstring old = moved.name;
            moved.name = name;
            entries[FoldName(name)] = moved;
            return Tell({Change::Item, path + L"\\" + old, path + L"\\" + name}, "file renamed");
        }
        case 6: case 7: { // a folder renamed, or moved to another
            if (isRoot)
                return;
            const std::wstring parent = path.substr(0, path.find_last_of(L'\\'));
            const std::uint64_t from = fs_.Resolve(parent);
            auto to = folders[Pick(folders.size())];
            if (what == 6 || AtOrBelow(to.first, path))
                to = {parent, from};
            // Now and then only its case changes.
            std::wstring renamed = name;
            if (what == 6 && Pick(3) == 0) {
                renamed = path.substr(parent.size() + 1);
                for (wchar_t& c : renamed)
                    c = c >= L'a' && c <= L'z' ? c - 32 : c >= L'A' && c <= L'Z' ? c + 32 : c;
            } else if (fs_.Find(to.second, name) || (to.second != from && HoldsLoopAbove(path))) {
                return;
            }
            MemoryFs::Entry moved = fs_.folders[from].entries[FoldName(path.substr(parent.size() + 1))];
            fs_.folders[from].entries.erase(FoldName(moved.name));
            moved.name = renamed;
            fs_.folders[to.second].entries[FoldName(renamed)] = moved;
            return Tell({Change::FolderRenamed, path, to.first + L"\\" + renamed}, "folder moved");
        }
        case 8: { // a folder removed with all it holds
            if (isRoot)
                return;
            const std::wstring parent = path.substr(0, path.find_last_of(L'\\'));
            fs_.folders[fs_.Resolve(parent)].entries.erase(FoldName(path.substr(parent.size() + 1)));
            fs_.Erase(id);
            return Tell({Change::FolderRemoved, path, L""}, "folder removed");
        }
        case 9: { // a loop back to a folder above, or a link anywhere
            std::vector<std::uint64_t> above;
            for (std::wstring at = path; AtOrBelow(at, kR); at = ParentPath(at))
                above.push_back(fs_.Resolve(at));
            const bool link = Pick(2) == 0;
            const std::uint64_t target = link ? folders[Pick(folders.size())].second : above[Pick(above.size())];
            entries[FoldName(name)] = {name, true, false, link, 0, target};
            return Tell({Change::FolderMade, path + L"\\" + name, L""}, link ? "link made" : "loop made");
        }
        case 10: // a folder's listing refused or allowed again
            if (isRoot)
                return;
            fs_.folders[id].unlistable = !fs_.folders[id].unlistable;
            return Tell({Change::FolderUpdated, path, L""}, "listing refused or allowed");
        default: // the next listing of a folder breaks off, or every one until a quiet point
            if (Pick(3) == 0) {
                fs_.breakAlways.insert(id);
                return Say("  breaks off always: " + Narrow(path));
            }
            fs_.breakOnce.insert(id);
            return Say("  breaks off next: " + Narrow(path));
        }
    }

    // Whether a loop below `folder` leads above it: moved elsewhere, it would lead to a
    // folder that is no longer above it, and be a second path to that folder (which only
    // a share can have, where nothing is told).
    bool HoldsLoopAbove(const std::wstring& folder) const {
        std::set<std::uint64_t> inside;
        const auto tree = fs_.Tree(folder);
        for (const auto& below : tree)
            inside.insert(below.second);
        for (const auto& below : tree)
            for (const auto& item : fs_.folders.at(below.second).entries)
                if (item.second.folder && !item.second.owns && !item.second.link && !inside.count(item.second.id))
                    return true;
        return false;
    }

    // How the shell tells it: as it is, twice, folded into an update of its folder, or lost
    // behind an update of a folder above (the followed one too).
    void Tell(Note note, const char* what) {
        Say(std::string(what) + ": " + Narrow(note.first) + (note.second.empty() ? "" : " -> " + Narrow(note.second)));
        const std::size_t how = Pick(10);
        if (how == 7 || how == 8) {
            // The folder that holds both places of a rename.
            std::wstring folder = ParentPath(note.first);
            while (!note.second.empty() && !AtOrBelow(note.second, folder))
                folder = ParentPath(folder);
            if (how == 8)
                while (Pick(2) && AtOrBelow(ParentPath(folder), kR))
                    folder = ParentPath(folder);
            note = {Change::FolderUpdated, folder, L""};
        }
        notes_.push_back(note);
        if (how == 9)
            notes_.push_back(note);
    }

    void Deliver() {
        if (notes_.empty())
            return;
        const Note note = notes_.front();
        notes_.pop_front();
        Say("  told " + std::to_string(static_cast<int>(note.change)) + " " + Narrow(note.first) +
            (note.second.empty() ? "" : " -> " + Narrow(note.second)));
        browser_.Told(note.change, note.first, note.second, clock_);
        Checked("a notification");
    }

    void RunJob() {
        if (queue_.empty())
            return;
        Asked job = queue_.front();
        queue_.pop_front();
        Say("  runs " + std::string(job.kind == JobKind::Walk ? "walk " : "listing ") + Narrow(job.path));
        // While it runs, the disk changes and the page takes what the shell tells.
        fs_.beforeListing = [this] {
            if (quiet_)
                return;
            if (Pick(12) == 0)
                Alter(Pick(12));
            if (Pick(10) == 0)
                Deliver();
        };
        Answered answer{job, WalkOutcome(), KeptTree(browser_.Store()), {}, {}};
        const int broken = fs_.broken;
        if (job.kind == JobKind::Walk)
            WalkTree(job.path, fs_, &answer.walked, &answer.outcome);
        else
            answer.outcome.listing = ListOwn(job.path, fs_, answer.own, answer.subfolders, &answer.outcome.loop);
        fs_.beforeListing = nullptr;
        answer.broken = fs_.broken != broken;
        answers_.push_back(std::move(answer));
    }

    void Answer() {
        if (!recalls_.empty() && (answers_.empty() || Pick(2)))
            return RecallAnswer();
        if (answers_.empty())
            return;
        Answered answer = std::move(answers_.front());
        answers_.pop_front();
        Say("  answered " + Narrow(answer.job.path) + " " + std::to_string(static_cast<int>(answer.outcome.listing)));
        // A walk that broke off because a folder went while it ran is mended by what the
        // shell tells of it, not by the next showing.
        brokeOff_ += answer.broken ? 1 : 0;
        if (!quiet_ && Pick(60) == 0) { // out of memory while it is taken
            Say("  spoiled");
            ++brokeOff_;
            browser_.Spoiled(clock_);
        } else if (answer.job.kind == JobKind::Walk) {
            const std::wstring path = answer.job.path;
            browser_.Walked(answer.job.id, answer.outcome, std::move(answer.walked));
            FolderTotals totals;
            if (browser_.Tree().Of(path, totals) == KeptTree::Value::Known)
                checked_.insert(path); // its saved numbers are not shown again
        } else
            browser_.Listed(answer.job.id, answer.outcome.listing, answer.own, answer.subfolders,
                            answer.outcome.loop);
        Checked("an answer");
        Paint(); // as the page shows the rows again after answers
    }

    void Tick(std::uint32_t milliseconds) {
        clock_ += milliseconds;
        std::uint32_t due;
        if (!browser_.Gathering(due) || static_cast<std::int32_t>(clock_ - due) < 0)
            return;
        const Browser::Action action = browser_.TakeChanges();
        Checked("taking changes");
        Say("  changes taken");
        if (action.what == Browser::Action::ListOther)
            Show(action.path);
        else if (action.what == Browser::Action::Refill)
            Show(browser_.ListedFolder());
        else
            Paint();
    }

    // The page lists a folder: its rows as the shell enumerates them, each shown.
    void Show(const std::wstring& folder) {
        Say("  shows " + Narrow(folder));
        const std::uint64_t id = fs_.Resolve(folder);
        std::vector<MemoryFs::Entry> rows;
        if (id && !fs_.folders[id].unlistable)
            for (const auto& item : fs_.folders[id].entries)
                rows.push_back(item.second);
        const std::wstring root = browser_.FollowedRoot();
        if (folder.empty() || root.empty() || !(AtOrBelow(folder, root) || AtOrBelow(root, folder))) {
            recalled_.clear(); // another tree: the saved one goes with the kept one
            checked_.clear();
        }
        browser_.Show(folder, rows.size(), true, clock_);
        brokeAtShow_ = brokeOff_;
        shownNames_.clear();
        for (const MemoryFs::Entry& row : rows)
            shownNames_.push_back(row.name);
        rowPaths_.assign(rows.size(), std::wstring());
        for (std::size_t row = 0; row < rows.size(); ++row)
            rowPaths_[row] = folder + L"\\" + rows[row].name;
        for (std::size_t row = 0; row < rows.size(); ++row)
            if (rows[row].folder)
                browser_.SetFolderRow(row, folder + L"\\" + rows[row].name, rows[row].link);
            else
                browser_.SetFileRow(row, rows[row].size);
        rows_ = rows.size();
        Checked("showing");
        Paint();
    }
    void Paint() {
        FolderTotals totals, saved;
        for (std::size_t row = 0; row < rows_; ++row) {
            if (browser_.RowNumbers(row, totals, true) != Browser::Numbers::Saved || !failure_.empty())
                continue;
            if (!Saved(rowPaths_[row], saved) || Numbers(saved) != Numbers(totals))
                failure_ = "row " + Narrow(rowPaths_[row]) + " shows saved " + Numbers(totals) +
                           ", saved were " + Numbers(saved);
            for (const std::wstring& walked : checked_)
                if (AtOrBelow(rowPaths_[row], walked))
                    failure_ = "row " + Narrow(rowPaths_[row]) + " shows saved after " + Narrow(walked) + " was walked";
        }
        Checked("painting");
    }
    // The saved tree the deepest at or above the listed folder read back, as the page does,
    // and those of its rows; they answer in any order, between the walks' answers.
    void Recall(const std::wstring& listed) {
        recalled_.clear();
        checked_.clear();
        std::wstring above;
        std::vector<std::wstring> roots;
        for (const auto& saved : shelf_)
            if (AtOrBelow(listed, saved.first) && saved.first.size() > above.size())
                above = saved.first;
            else if (ParentPath(saved.first) == listed)
                roots.push_back(saved.first);
        if (!above.empty())
            roots.push_back(above);
        std::shuffle(roots.begin(), roots.end(), random_);
        for (const std::wstring& root : roots)
            recalls_.push_back({root, shelf_[root]});
    }
    // One read back: taken unless a tree taken before lies at or above it; those below it
    // go.
    void RecallAnswer() {
        const std::pair<std::wstring, std::string> recall = std::move(recalls_.front());
        recalls_.pop_front();
        const std::wstring& root = recall.first;
        SavedTreeInfo info;
        KeptTree loaded, copy;
        if (!LoadTree(recall.second.data(), recall.second.size(), info, loaded) || info.root != root) {
            failure_ = "the saved tree of " + Narrow(root) + " is not read back";
            return;
        }
        LoadTree(recall.second.data(), recall.second.size(), info, copy);
        KeptTree tree;
        tree.Graft(root, std::move(copy));
        const std::wstring followed = browser_.FollowedRoot();
        FolderTotals totals;
        bool taken = !followed.empty() && (AtOrBelow(root, followed) || AtOrBelow(followed, root)) &&
                     tree.Of(root, totals) == KeptTree::Value::Known;
        for (const auto& tree : recalled_)
            taken = taken && !AtOrBelow(root, tree.first);
        Say("  recalled " + Narrow(root) + (taken ? "" : ", not taken"));
        if (taken) {
            for (auto at = recalled_.begin(); at != recalled_.end();)
                at = AtOrBelow(at->first, root) ? recalled_.erase(at) : std::next(at);
            recalled_[root].first = info.savedAt;
            recalled_[root].second = std::move(tree);
        }
        browser_.Recalled(root, info.savedAt, std::move(loaded));
        if (browser_.SavedAt() != SavedAt())
            failure_ = "the line names another time than the save's";
        Paint();
    }
    // What the line names: the time of the tree at or above the listed folder, or else the
    // newest below it.
    std::uint64_t SavedAt() const {
        const std::wstring listed = browser_.ListedFolder();
        std::uint64_t at = 0;
        std::size_t depth = 0;
        for (const auto& tree : recalled_)
            if (AtOrBelow(listed, tree.first) && tree.first.size() > depth)
                depth = tree.first.size(), at = tree.second.first;
        for (const auto& tree : recalled_)
            if (!depth && AtOrBelow(tree.first, listed))
                at = std::max(at, tree.second.first);
        return at;
    }
    // A folder's saved numbers, from its tree when that was saved at the time the line
    // names.
    bool Saved(const std::wstring& path, FolderTotals& totals) const {
        for (const auto& tree : recalled_)
            if (AtOrBelow(path, tree.first))
                return tree.second.first == SavedAt() &&
                       tree.second.second.Of(path, totals) == KeptTree::Value::Known;
        return false;
    }

    void User(std::size_t what) {
        const std::wstring listed = browser_.ListedFolder();
        const std::uint64_t id = fs_.Resolve(listed);
        std::vector<std::wstring> folders;
        if (id)
            for (const auto& item : fs_.folders[id].entries)
                if (item.second.folder)
                    folders.push_back(listed + L"\\" + item.second.name);
        if (what <= 1 && !folders.empty())
            Show(folders[Pick(folders.size())]); // a folder opened, a link or loop too
        else if (what == 2 && listed.size() > 6 && fs_.Resolve(ParentPath(listed)))
            Show(ParentPath(listed)); // up
        else if (what == 3) {
            // F5 takes what changes gathered first (the listed folder may have moved).
            std::uint32_t due;
            if (browser_.Gathering(due))
                Tick(due - clock_);
            Say("  F5");
            browser_.Refresh(clock_);
            Show(browser_.ListedFolder());
        } else if (what == 4 && id) {
            Show(L""); // away (This PC) and back
            Show(listed);
        } else if (what == 5 && !listed.empty()) {
            Say("  closed and opened again");
            browser_.Close();
            queue_.clear();
            answers_.clear();
            recalls_.clear();
            // Changes while it is closed are told to no one.
            for (std::size_t change = Pick(4); change > 0; --change)
                Alter(Pick(2) ? 10 : Pick(11));
            notes_.clear();
            // On the folder, or the nearest one above it that is there (it moved meanwhile).
            std::wstring opened = listed;
            while (!fs_.Resolve(opened) && opened.size() > kR.size())
                opened = ParentPath(opened);
            Show(opened);
            Recall(opened);
        } else {
            Paint();
        }
    }

    // Everything told, taken, asked and answered; folders that break off every time
    // leave no job asked without end.
    void Settle() {
        int jobs = 0;
        for (int guard = 0; guard < 1000 && failure_.empty(); ++guard) {
            std::uint32_t due;
            if (notes_.empty() && queue_.empty() && answers_.empty() && recalls_.empty() &&
                !browser_.Gathering(due))
                return;
            while (!notes_.empty())
                Deliver();
            Tick(5 * Browser::kGatherMilliseconds);
            while ((!queue_.empty() || !answers_.empty() || !recalls_.empty()) && ++jobs < 10000) {
                RunJob();
                Answer();
            }
        }
        if (failure_.empty())
            failure_ = "jobs are asked without end";
    }

    // At a quiet point the list shows what the folder holds now (it was listed anew after
    // every change of its own items), and every value held against a fresh walk: before
    // the rows are shown once more (unless a walk broke off since they were: then they
    // are tried again at the next showing) and after.
    void Quiet() {
        quiet_ = true;
        Settle();
        fs_.breakOnce.clear();
        fs_.breakAlways.clear();
        std::vector<std::wstring> names;
        const std::uint64_t id = fs_.Resolve(browser_.ListedFolder());
        if (id && !fs_.folders[id].unlistable)
            for (const auto& item : fs_.folders[id].entries)
                names.push_back(item.second.name);
        if (failure_.empty() && browser_.Followable() && names != shownNames_)
            failure_ = "the list does not show what " + Narrow(browser_.ListedFolder()) + " holds";
        if (brokeOff_ == brokeAtShow_)
            HoldAgainstAFreshWalk();
        Show(browser_.ListedFolder());
        Settle();
        quiet_ = false;
        HoldAgainstAFreshWalk();
    }

    void HoldAgainstAFreshWalk() {
        if (!failure_.empty())
            return;
        Say("  quiet");
        if (std::getenv("RB_MODEL_DUMP"))
            browser_.Tree().ForEach([&](const std::wstring& path, KeptTree::Value value, const FolderTotals& kept) {
                Say("    " + Narrow(path) + " " + std::to_string(static_cast<int>(value)) + " " + Numbers(kept));
            });
        // Reached through a link, nothing is told: the values say when they were counted.
        if (!browser_.Followable())
            return;
        const std::wstring listed = browser_.ListedFolder();
        if (!listed.empty() && !fs_.Resolve(listed))
            failure_ = "the listed folder is gone: " + Narrow(listed);
        KeptTree walked, fresh;
        WalkTree(MemoryFs::kDrive, fs_, &walked);
        fresh.Graft(MemoryFs::kDrive, std::move(walked));
        auto expected = [&](const std::wstring& path, FolderTotals& totals) {
            if (fresh.Of(path, totals) == KeptTree::Value::Known)
                return true;
            WalkOutcome outcome;
            totals = WalkTree(path, fs_, nullptr, &outcome);
            return outcome.listing == Listing::Whole;
        };
        browser_.Tree().ForEach([&](const std::wstring& path, KeptTree::Value value, const FolderTotals& kept) {
            FolderTotals walked;
            const bool whole = expected(path, walked);
            if (value == KeptTree::Value::Known && (!whole || Numbers(walked) != Numbers(kept)))
                failure_ += "kept " + Narrow(path) + " " + Numbers(kept) + ", walked " +
                            (whole ? Numbers(walked) : "nothing") + "\n";
            if (failure_.empty() && value == KeptTree::Value::Failed && whole)
                failure_ = "kept " + Narrow(path) + " as not listable, walked " + Numbers(walked);
        });
        const std::uint64_t id = fs_.Resolve(listed);
        std::size_t row = 0;
        for (const auto& item : id && !fs_.folders[id].unlistable ? fs_.folders[id].entries
                                                                 : std::map<std::wstring, MemoryFs::Entry>()) {
            FolderTotals shown, walked;
            const Browser::Numbers numbers = browser_.RowNumbers(row++, shown, false);
            if (!item.second.folder || !failure_.empty())
                continue;
            // A link or loop is an entry of its folder, with no numbers of its own.
            const std::wstring path = listed + L"\\" + item.second.name;
            WalkOutcome outcome;
            WalkTree(path, fs_, nullptr, &outcome);
            const bool whole = !item.second.link && !outcome.loop && expected(path, walked);
            if (whole ? numbers != Browser::Numbers::Known || Numbers(shown) != Numbers(walked)
                      : numbers != Browser::Numbers::None)
                failure_ = "row " + Narrow(item.second.name) + " shows " +
                           (numbers == Browser::Numbers::Known ? Numbers(shown) : std::to_string(static_cast<int>(numbers))) +
                           ", walked " + (whole ? Numbers(walked) : "nothing");
            // Growth: the walked bytes less those saved, where both are there.
            FolderTotals saved;
            std::int64_t growth = 0;
            const bool grew = browser_.Growth(row - 1, growth);
            const bool both = whole && numbers == Browser::Numbers::Known &&
                              Saved(path, saved);
            if (failure_.empty() && (grew != both ||
                                     (both && growth != static_cast<std::int64_t>(walked.size - saved.size))))
                failure_ = "row " + Narrow(item.second.name) + " grew " +
                           (grew ? std::to_string(growth) : "nothing") + ", walked " + Numbers(walked) +
                           ", saved " + (both ? Numbers(saved) : "nothing");
        }
    }

    std::map<std::wstring, std::string> shelf_; // saved trees by their root
    // The trees read back since the opening, by their root: when saved, what they hold.
    std::map<std::wstring, std::pair<std::uint64_t, KeptTree>> recalled_;
    std::set<std::wstring> checked_;            // walks taken since it was read back
    std::deque<std::pair<std::wstring, std::string>> recalls_; // asked, not answered: root, file
    std::vector<std::wstring> rowPaths_;
    MemoryFs fs_;
    std::mt19937 random_;
    Browser browser_;
    std::deque<Note> notes_;
    std::deque<Asked> queue_;
    std::deque<Answered> answers_;
    std::uint32_t clock_ = 1000;
    std::size_t rows_ = 0;
    std::vector<std::wstring> shownNames_;
    int brokeOff_ = 0;    // answers of walks or listings the disk broke off
    int brokeAtShow_ = 0; // of them when the rows were last shown
    std::vector<std::string> log_;
    std::string failure_;
    bool quiet_ = false;
};

// Jobs taken and never answered, and a disk where every folder is there.
struct Idle : Jobs, Disk {
    bool Ask(std::uint32_t, const std::wstring&, JobKind) override { return true; }
    void Cancel(std::uint32_t) override {}
    bool FolderExists(const std::wstring&) override { return true; }
    bool IsLink(const std::wstring&) override { return false; }
};

TEST(BrowserModel, ChangesAreTakenByTheDeadlineTheFirstOfThemSetsNotTheLast) {
    // In a listed folder of `rows` rows, changes told at these times are due then.
    const struct {
        std::size_t rows;
        std::vector<std::uint32_t> told;
        std::uint32_t due;
    } cases[] = {
        {3, {1000}, 1200},
        {3, {1000, 1150, 1199, 1250}, 1200}, // a steady stream: not moved on
        {9999, {1000, 1900}, 1200},
        {10000, {1000, 1900}, 2000}, // a large folder listed anew: once a second
    };
    for (const auto& c : cases) {
        Idle idle;
        Browser browser(idle, idle);
        browser.Show(kR, c.rows, true, 900);
        std::uint32_t due = 0;
        for (std::uint32_t at : c.told)
            browser.Told(Change::Item, kR + L"\\f", L"", at);
        EXPECT_TRUE(browser.Gathering(due));
        EXPECT_EQ(due, c.due) << c.rows << " rows, " << c.told.size() << " changes";
        // Taken, one more sets a deadline of its own.
        browser.TakeChanges();
        browser.Told(Change::Item, kR + L"\\g", L"", c.due + 50);
        EXPECT_TRUE(browser.Gathering(due) && due == c.due + 50 + (c.due - 1000));
    }
}

TEST(BrowserModel, EveryKeptFolderAndRowEqualsAFreshWalkAtEveryQuietPoint) {
    const char* seed = std::getenv("RB_MODEL_SEED");
    const char* runs = std::getenv("RB_MODEL_RUNS");
    const unsigned first = seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : 1;
    const unsigned count = runs ? static_cast<unsigned>(std::strtoul(runs, nullptr, 10)) : 2000;
    for (unsigned run = first; run < first + count; ++run) {
        // One run in four with a budget so small that trees are trimmed and walks summed.
        Model model(run, run % 4 == 0 ? 2048 : kKeptBytesLimit);
        std::string failure;
        if (!model.Run(120, failure)) {
            ADD_FAILURE() << "seed " << run << ":\n" << failure;
            return;
        }
    }
}

} // namespace
} // namespace rb
