// The details page's browser without its window: the listed folder and the numbers of its
// rows, the kept tree of walked folders, what the disk's change notifications mean, and
// the walks and listings asked of the worker for them. The page shows it and forwards
// keys, clicks and notifications; every decision here is tested without a window.
#pragma once

#include "browse/kept_tree.h"
#include "columns/tree_walk.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace rb {

// Gather: a walk for the files of a tree; Recall: a saved tree read back (the page's own;
// the browser never asks them).
enum class JobKind { Walk, Listing, Gather, Recall };

// The worker as the browser sees it: jobs run one after another in the order asked; each
// answer comes back through Browser::Walked or Browser::Listed with the job's id.
class Jobs {
public:
    // False when the job cannot be taken (no thread, the worker broke down).
    virtual bool Ask(std::uint32_t id, const std::wstring& path, JobKind kind) = 0;
    // The job is not wanted any more: it ends early if it runs, and an answer that still
    // comes is not taken.
    virtual void Cancel(std::uint32_t id) = 0;

protected:
    ~Jobs() = default;
};

// What the browser asks the disk itself.
class Disk {
public:
    virtual bool FolderExists(const std::wstring& path) = 0;
    // A link (or mount point) to a folder elsewhere: changes there are told by the paths
    // of that folder, not by those through the link.
    virtual bool IsLink(const std::wstring& path) = 0;

protected:
    ~Disk() = default;
};

// The shell's change notifications, as they concern folder numbers.
enum class Change {
    Item,          // a file made, written, removed or renamed (`second`: its new path)
    FolderMade,
    FolderRemoved,
    FolderRenamed, // renamed or moved (`second`: its new path)
    FolderUpdated, // the shell lost track of what changed in it
};

// Where walked trees go to be saved before the browser lets them go.
class Keeper {
public:
    // The whole folders of `tree` at `roots` are worth saving.
    virtual void Keep(const KeptTree& tree, const std::vector<std::wstring>& roots) = 0;

protected:
    ~Keeper() = default;
};

class Browser {
public:
    explicit Browser(Jobs& jobs, Disk& disk, std::size_t keptBytes = kKeptBytesLimit);
    // Trees are handed to `keeper` before they go (another tree shown, closing).
    void SetKeeper(Keeper* keeper) { keeper_ = keeper; }
    // The whole trees kept now handed to the keeper.
    void KeepTrees();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    // How long changes are gathered before they are taken, from the first one on: a
    // steady stream of changes is taken at least this often.
    static constexpr std::uint32_t kGatherMilliseconds = 200;
    // In a listed folder of this many rows or more (which is listed anew when its own
    // entries change), five times as long.
    static constexpr std::size_t kLargeFolder = 10000;

    // `folder` listed (extended, no trailing "\"; empty for one outside the file system),
    // with `rows` rows; changes are to be told from FollowedRoot() on. `followable`:
    // changes of this folder are told (a share may send none); they are not for one
    // reached through a link.
    void Show(const std::wstring& folder, std::size_t rows, bool followable, std::uint32_t now);
    // Changes of the followed folder cannot be told after all (the shell took no listener).
    void Unfollowed() { followable_ = false; }
    const std::wstring& ListedFolder() const { return listed_; }
    const std::wstring& FollowedRoot() const { return root_; }
    bool Followable() const { return followable_; }
    // When the shown numbers were counted where no changes are told: the first showing of
    // the tree, or the last F5 (as the caller's clock gave it).
    std::uint32_t CountedAt() const { return countedAt_; }
    // F5: the listed folder walked anew.
    void Refresh(std::uint32_t now);
    // Closing: every job cancelled, every number forgotten.
    void Close();

    // Rows, by their index in the listing: folders with their path (extended) and whether
    // they are links, files with their size. A link is counted as an entry of its folder,
    // as a walk counts it, and has no numbers of its own: its target's are its target's
    // (and changes there are told under the target's paths).
    void SetFolderRow(std::size_t row, const std::wstring& path, bool link = false);
    void SetFileRow(std::size_t row, std::uint64_t size);
    enum class Numbers { None, Running, Saved, Known };
    // A folder row's numbers: Known with `totals`; Running while jobs may still bring them
    // (with `ask`, what they need is asked once per showing), Saved with the saved ones
    // meanwhile; None when it has none (it cannot be listed, its walk broke off, or it is
    // no folder).
    Numbers RowNumbers(std::size_t row, FolderTotals& totals, bool ask);

    // Answers of the worker; `unreadable`: the folders below the walked one that could not
    // be listed.
    void Walked(std::uint32_t id, const WalkOutcome& outcome, KeptTree&& walked,
                std::uint32_t unreadable = 0);
    // Out of memory while an answer or a change was taken: what is kept may be half
    // updated, so all of it goes; the rows show no value until the folder is listed anew.
    void Spoiled(std::uint32_t now);
    void Listed(std::uint32_t id, Listing outcome, const FolderTotals& own,
                const std::vector<std::wstring>& subfolders, bool loop = false);
    // Jobs asked and not yet answered.
    std::size_t Running() const { return jobs_.size(); }
    // The worker broke down: every job not answered counts as broken off.
    void Lost();

    // A change told by the shell (paths extended, no trailing "\").
    void Told(Change change, const std::wstring& first, const std::wstring& second,
              std::uint32_t now);
    // Whether changes are gathered, and when they are to be taken.
    bool Gathering(std::uint32_t& due) const;
    struct Action {
        enum What { None, Refill, ListOther } what = None;
        std::wstring path; // ListOther: the folder to list instead
    };
    // The gathered changes taken: the jobs they need asked, and what the page does: list
    // its folder anew (its own entries changed), or another folder (the listed one went
    // to a new place, or away: then the nearest one above it that is there).
    Action TakeChanges();

    // The line under the list, and the listed folder's bytes as its rows have them (the
    // share bars' whole). `runningFiles` and `runningBytes`: what the walk under way has met
    // so far (counted while some row still waits for its numbers).
    // `savedAtText`: SavedAt() as the page writes a time.
    std::wstring StateLine(const std::wstring& folderName, std::uint64_t runningFiles,
                           std::uint64_t runningBytes, const std::wstring& countedAtText,
                           std::uint64_t& rowBytes,
                           const std::wstring& savedAtText = std::wstring()) const;

    // A saved tree read back, of the folder `root`, saved at `savedAt` (a FILETIME): its
    // numbers stand for the walked ones until they come, and are what they are compared
    // with. It goes with the kept tree (another tree shown, closing).
    void Recalled(const std::wstring& root, std::uint64_t savedAt, KeptTree&& saved);
    // Whether `path` lies in a saved tree read back.
    bool SavedCovers(const std::wstring& path) const;
    // Whether a walk answered at or above `path` since this tree is shown (its saved
    // numbers are checked).
    bool Checked(const std::wstring& path) const;
    // When the saved numbers of the listed folder's rows were saved; 0: there are none.
    std::uint64_t SavedAt() const;
    // A folder row's walked bytes less its saved bytes; false unless both are there.
    bool Growth(std::size_t row, std::int64_t& bytes) const;

    const KeptTree& Tree() const { return tree_; }
    const KeptTree& Saved() const { return saved_; }
    // Where saved trees are read into.
    const std::shared_ptr<KeptStore>& SavedStore() const { return savedStore_; }
    const std::shared_ptr<KeptStore>& Store() const { return store_; }

private:
    // How a folder is looked at: what a change of its entries needs, what it needs to
    // show its numbers, or a walk whatever is kept (the shell lost track below it).
    enum class Look { Changed, Resolve, Rewalk };
    struct Later {
        std::wstring path;
        Look look;
        bool fromRow;
    };
    struct Job {
        std::wstring path;
        JobKind kind;
        bool fromRow;       // for a row's numbers: cancelled when the user goes elsewhere
        bool again = false; // a change came while it ran: asked again after its answer
        // What was to be looked at below a walk while it ran: looked at once it is grafted.
        std::vector<Later> during;
    };
    struct Row {
        std::wstring path;
        bool folder = false;
        bool link = false;
        bool file = false;
        bool asked = false;
        std::uint32_t version = 0; // of the tree when it last asked
        std::uint64_t size = 0;
    };

    // What `folder` needs, asked now, or once a walk at or above it is grafted.
    void LookAt(const std::wstring& folder, Look look, bool fromRow);
    // One job; one asked already for the path serves (`again`: it is asked once more
    // after its answer, as it may have read before the change).
    void AskJob(const std::wstring& path, JobKind kind, bool fromRow, bool again);
    // The walk under way at or above `path`, or 0.
    std::uint32_t WalkAbove(const std::wstring& path) const;
    bool TakeJob(std::uint32_t id, Job& job);
    // Cancelled; what changes left for it to look at is looked at now.
    void Cancel(std::uint32_t id);
    void CancelAll();
    // After an answer: what came meanwhile.
    void AfterAnswer(Job& job);
    void ForgetUnreadableBelow(const std::wstring& folder);
    // What was to be looked at once `job` is answered, less the unwanted.
    template <class Unwanted>
    void DropLater(Job& job, const Unwanted& unwanted);
    // The jobs at or below `folder`.
    std::vector<std::uint32_t> JobsBelow(const std::wstring& folder) const;
    // A folder removed (or moved out of the followed one), or whose numbers go.
    void Gone(const std::wstring& folder, bool removed);
    // Everything waiting at or below `from` now at or below `to`.
    void Moved(const std::wstring& from, const std::wstring& to);
    void Gather(std::uint32_t now);
    void Trim();

    Jobs& worker_;
    Disk& disk_;
    Keeper* keeper_ = nullptr;
    std::shared_ptr<KeptStore> savedStore_;
    KeptTree saved_;
    std::map<std::wstring, std::uint64_t> savedAt_; // folded root -> when it was saved
    std::set<std::wstring> checked_; // folded roots of the walks answered in this tree
    // A row's saved numbers, from the time SavedAt() names (a tree saved at another time
    // neither shows nor grows).
    bool SavedOf(const Row& row, FolderTotals& totals) const;
    // ... shown while its walk runs: not once a walk answered at or above it.
    bool SavedShown(const Row& row, FolderTotals& totals) const;
    void ForgetSaved();
    std::shared_ptr<KeptStore> store_;
    KeptTree tree_;
    std::wstring listed_;
    std::wstring root_;
    bool followable_ = false;
    std::uint32_t countedAt_ = 0;
    std::vector<Row> rows_;

    std::uint32_t nextId_ = 0;
    std::unordered_map<std::uint32_t, Job> jobs_;
    std::unordered_map<std::wstring, std::uint32_t> byPath_[2]; // folded path, by kind
    std::set<std::wstring> broken_; // folded paths whose walk broke off, in order
    std::uint32_t mended_ = 0;      // counts what Mend took out of them
    std::set<std::wstring> mendedOnce_; // what Mend took out since the showing
    bool BrokenAtOrBelow(const std::wstring& folder) const;
    // A change told at `folder` may be why a walk at or above it broke off (a folder went
    // while it was walked): those are asked again (once per showing), with `below` those
    // below it too.
    void Mend(const std::wstring& folder, bool below);
    // What rows compare to know whether to ask again.
    std::uint32_t Version() const { return tree_.Version() + mended_; }
    std::unordered_set<std::wstring> loops_;  // folded paths of folders above themselves
    std::set<std::wstring> links_;            // links the listing was reached through
    std::vector<std::wstring> gone_;          // folders removed or moved since the showing
    // Folders that could not be listed below each walked one, by its folded path.
    std::map<std::wstring, std::pair<std::wstring, std::uint32_t>> unreadable_;

    bool gathering_ = false;
    std::uint32_t due_ = 0;
    std::map<std::wstring, std::wstring> changed_; // folded path -> path: entries changed
    std::map<std::wstring, std::wstring> rewalk_;  // folded path -> path: lost track
    std::wstring listedTo_; // the listed folder's new place
    bool listedLeft_ = false; // the listed folder moved or removed since the last listing
    bool listedAsked_ = false; // the listed folder asked for by itself since the showing
};

} // namespace rb
