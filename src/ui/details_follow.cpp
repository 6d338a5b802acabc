// The details page follows the disk's changes below the folders it shows, through the
// shell's own change notifications: they hold no folder open, so nothing the page does
// keeps the user from renaming, moving or deleting a folder or ejecting a drive. A
// change lists again only the folder it happened in; the kept tree adjusts every total
// above it.
#include "ui/details_page.h"

#include "columns/tree_walk.h"
#include "shell/id_lists.h"

#include <shlobj.h>

namespace rb {

namespace {

constexpr LONG kFollowedEvents = SHCNE_CREATE | SHCNE_DELETE | SHCNE_MKDIR | SHCNE_RMDIR |
                                 SHCNE_RENAMEITEM | SHCNE_RENAMEFOLDER | SHCNE_UPDATEITEM |
                                 SHCNE_UPDATEDIR;

// Paths compared as the file system names them: A to Z without regard to case.
int CompareStringOrdinalFold(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z')
            x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z')
            y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

// Whether `path` is `folder` or lies below it (both extended, no trailing "\").
bool AtOrBelow(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty() || path.size() < folder.size() ||
        CompareStringOrdinalFold(path.substr(0, folder.size()), folder) != 0)
        return false;
    return path.size() == folder.size() || path[folder.size()] == L'\\' || folder.back() == L'\\';
}

std::wstring ParentOf(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring PathOf(LPCITEMIDLIST list) {
    wchar_t path[MAX_PATH + 1] = {};
    if (!list || !SHGetPathFromIDListW(list, path))
        return std::wstring();
    std::wstring extended = ExtendedPath(path);
    if (!extended.empty() && extended.back() == L'\\')
        extended.pop_back(); // a drive's root
    return extended;
}

// Shares, and drives mapped to them, may send no changes: their values say how old
// they are.
bool Followable(const std::wstring& extended) {
    if (extended.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return false;
    std::wstring root = extended.substr(4, 2) + L"\\";
    return GetDriveTypeW(root.c_str()) != DRIVE_REMOTE;
}

} // namespace

void DetailsPage::Follow() {
    const std::wstring listed = ExtendedPath(folderPath_);
    if (listed.empty() || !Window()) {
        StopFollowing();
        return;
    }
    std::wstring shown = listed;
    if (shown.back() == L'\\')
        shown.pop_back();
    // One registration below the highest folder listed serves every folder the page went
    // into from there.
    if (followId_ && AtOrBelow(shown, followRoot_))
        return;
    // Kept numbers no registration follows any more would grow old unseen: they go.
    if (!followRoot_.empty() && !AtOrBelow(followRoot_, shown))
        kept_.Forget(followRoot_);
    FollowFrom(shown, folderIdList_.get());
}

void DetailsPage::FollowFrom(const std::wstring& root, LPCITEMIDLIST rootList) {
    StopFollowing();
    followRoot_ = root;
    GetLocalTime(&valuesTime_);
    followable_ = Followable(root);
    if (!followable_ || !rootList)
        return;
    const int sources = SHCNRF_ShellLevel | SHCNRF_InterruptLevel | SHCNRF_NewDelivery;
    SHChangeNotifyEntry entry = {rootList, TRUE};
    followId_ = SHChangeNotifyRegister(Window(), sources, kFollowedEvents, kShellChanged, 1, &entry);
    followable_ = followId_ != 0;
    // The shell tells a folder's listeners what happens below it, not what happens to the
    // folders above it: those renames and removals come through the drive's root (as the
    // shell makes them: watching a whole drive for every program would cost Explorer).
    LPITEMIDLIST drive = nullptr;
    std::wstring driveRoot = root.substr(4, 2) + L"\\";
    if (followable_ && SUCCEEDED(SHParseDisplayName(driveRoot.c_str(), nullptr, &drive, 0, nullptr))) {
        SHChangeNotifyEntry whole = {drive, TRUE};
        aboveId_ = SHChangeNotifyRegister(Window(), SHCNRF_ShellLevel | SHCNRF_NewDelivery,
                                          SHCNE_RENAMEFOLDER | SHCNE_RMDIR,
                                          kAboveChanged, 1, &whole);
        CoTaskMemFree(drive);
    }
}

void DetailsPage::StopFollowing() {
    for (ULONG* id : {&followId_, &aboveId_}) {
        if (*id)
            SHChangeNotifyDeregister(*id);
        *id = 0;
    }
    KillTimer(Window(), kChangeTimer);
}

void DetailsPage::OnShellChanged(WPARAM wParam, LPARAM lParam, bool above) {
    PIDLIST_ABSOLUTE* lists = nullptr;
    LONG event = 0;
    HANDLE lock = SHChangeNotification_Lock(reinterpret_cast<HANDLE>(wParam),
                                            static_cast<DWORD>(lParam), &lists, &event);
    if (!lock)
        return;
    const std::wstring first = lists ? PathOf(lists[0]) : std::wstring();
    const std::wstring second = lists ? PathOf(lists[1]) : std::wstring();
    SHChangeNotification_Unlock(lock);
    if (first.empty() || !followId_)
        return;
    event &= ~SHCNE_INTERRUPT;
    const std::wstring shown = ExtendedPath(folderPath_);
    if (above || AtOrBelow(followRoot_, first)) {
        // The followed folder or one above it was renamed, moved or removed: the rest of
        // the drive is no concern of the page's.
        if (!above || !AtOrBelow(followRoot_, first))
            return;
        if (event == SHCNE_RENAMEFOLDER && !second.empty()) {
            kept_.Rename(first, second);
            newRoot_ = second + followRoot_.substr(first.size());
            if (AtOrBelow(shown, first))
                renamedTo_ = second + shown.substr(first.size());
        } else {
            gone_ = true;
        }
    } else if (event == SHCNE_UPDATEDIR) {
        // The shell lost track of what changed in it: its tree is walked again, and the
        // values shown stay until the walk is done.
        rewalk_.insert(first);
    } else if (event == SHCNE_RENAMEFOLDER && !second.empty() &&
               CompareStringOrdinalFold(ParentOf(first), ParentOf(second)) == 0 &&
               kept_.Rename(first, second)) {
        // The numbers go with the name; the listing above it changed.
        changed_.insert(ParentOf(first));
        if (AtOrBelow(shown, first))
            renamedTo_ = second + shown.substr(first.size());
    } else {
        changed_.insert(ParentOf(first));
        if (!second.empty())
            changed_.insert(ParentOf(second));
    }
    // A moment for the changes that come together (a copy of many files); a large folder,
    // listed anew when its own items change, is listed at most about once a second.
    SetTimer(Window(), kChangeTimer,
             items_.size() >= kLargeFolder ? 5 * kChangeMilliseconds : kChangeMilliseconds, nullptr);
}

namespace {

LPITEMIDLIST IdListOf(const std::wstring& extended) {
    std::wstring plain = extended.compare(0, 4, L"\\\\?\\") == 0 ? extended.substr(4) : extended;
    if (plain.size() == 2)
        plain += L'\\'; // a drive's root
    LPITEMIDLIST list = nullptr;
    return SUCCEEDED(SHParseDisplayName(plain.c_str(), nullptr, &list, 0, nullptr)) ? list : nullptr;
}

} // namespace

void DetailsPage::TakeChanges() {
    KillTimer(Window(), kChangeTimer);
    if (!newRoot_.empty()) {
        // The followed folder has a new name: followed there, its numbers kept.
        UniqueIdList root(IdListOf(newRoot_));
        FollowFrom(newRoot_, root.get());
        newRoot_.clear();
    }
    if (!renamedTo_.empty()) {
        // The listed folder, or one above it, has a new name: it is listed there.
        UniqueIdList renamed(IdListOf(renamedTo_));
        renamedTo_.clear();
        if (renamed)
            Fill(renamed.get());
    }
    if (gone_) {
        // The listed folder went: the nearest folder above it that is still there.
        gone_ = false;
        std::wstring up = ExtendedPath(folderPath_);
        while (up.size() > 7 && GetFileAttributesW(up.c_str()) == INVALID_FILE_ATTRIBUTES)
            up = ParentOf(up);
        if (CompareStringOrdinalFold(up, ExtendedPath(folderPath_)) != 0)
            if (UniqueIdList there{IdListOf(up)})
                Fill(there.get());
    }
    std::wstring shown = ExtendedPath(folderPath_);
    if (!shown.empty() && shown.back() == L'\\')
        shown.pop_back();
    bool listedChanged = false;
    KeptTree::Next next;
    for (const std::wstring& folder : rewalk_)
        next.walks.push_back(folder);
    for (const std::wstring& folder : changed_) {
        listedChanged = listedChanged || CompareStringOrdinalFold(folder, shown) == 0;
        // A folder the tree does not keep counts in the nearest one above it that it does.
        std::wstring kept = kept_.Nearest(folder);
        if (!kept.empty())
            next.listings.push_back(kept);
    }
    rewalk_.clear();
    changed_.clear();
    // Items came or went in the listed folder itself: it is listed anew (its rows'
    // numbers from the kept tree) before anything is asked, as listing ends the walks.
    if (listedChanged)
        Refill();
    for (auto* paths : {&next.walks, &next.listings})
        for (auto at = paths->begin(); at != paths->end();)
            // One under way may have listed before the change: it is asked again after.
            if (asked_.count(*at)) {
                again_[*at] = paths == &next.walks ? WalkWorker::Kind::Walk
                                                   : WalkWorker::Kind::Listing;
                at = paths->erase(at);
            } else {
                ++at;
            }
    AskNext(next);
    GetLocalTime(&valuesTime_);
    ShowStatistics(true);
}

} // namespace rb
