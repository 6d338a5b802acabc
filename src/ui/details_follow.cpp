// The details page follows the disk's changes below the folders it shows, through the
// shell's own change notifications: they hold no folder open, so nothing the page does
// keeps the user from renaming, moving or deleting a folder or ejecting a drive. What a
// notification means is the browser's to decide.
#include "ui/details_page.h"

#include "columns/tree_walk.h"
#include "common/name_fold.h"
#include "shell/id_lists.h"

#include <shlobj.h>

namespace rb {

namespace {

constexpr LONG kFollowedEvents = SHCNE_CREATE | SHCNE_DELETE | SHCNE_MKDIR | SHCNE_RMDIR |
                                 SHCNE_RENAMEITEM | SHCNE_RENAMEFOLDER | SHCNE_UPDATEITEM |
                                 SHCNE_UPDATEDIR;

// The extended path of a notification's ID list, of any length; empty outside the file
// system.
std::wstring PathOf(IShellFolder* desktop, LPCITEMIDLIST list) {
    std::wstring extended = ExtendedPath(ParsingNameOf(desktop, list));
    if (!extended.empty() && extended.back() == L'\\')
        extended.pop_back(); // a drive's root
    return extended;
}

LPITEMIDLIST IdListOf(const std::wstring& extended) {
    const std::wstring plain = PlainPath(extended);
    LPITEMIDLIST list = nullptr;
    return SUCCEEDED(SHParseDisplayName(plain.c_str(), nullptr, &list, 0, nullptr)) ? list : nullptr;
}

bool Local(const std::wstring& extended) {
    return !extended.empty() && extended.compare(0, 8, L"\\\\?\\UNC\\") != 0 &&
           GetDriveTypeW((extended.substr(4, 2) + L"\\").c_str()) != DRIVE_REMOTE;
}

} // namespace

void DetailsPage::Follow() {
    const std::wstring& root = browser_.FollowedRoot();
    if (followId_ && SameName(root, registered_))
        return;
    // The new registration first, then the old one goes: no change falls between them.
    ULONG followId = 0, aboveId = 0;
    UniqueIdList rootList(Local(root) && Window() ? IdListOf(root) : nullptr);
    if (rootList) {
        const int sources = SHCNRF_ShellLevel | SHCNRF_InterruptLevel | SHCNRF_NewDelivery;
        SHChangeNotifyEntry entry = {rootList.get(), TRUE};
        followId = SHChangeNotifyRegister(Window(), sources, kFollowedEvents, kShellChanged, 1, &entry);
        // The shell tells a folder's listeners what happens below it, not what happens to
        // the folders above it: those renames and removals come through the drive's root
        // (as the shell makes them: watching a whole drive for every program would cost
        // Explorer).
        UniqueIdList drive(followId ? IdListOf(root.substr(0, 6)) : nullptr);
        if (drive) {
            SHChangeNotifyEntry whole = {drive.get(), TRUE};
            aboveId = SHChangeNotifyRegister(Window(), SHCNRF_ShellLevel | SHCNRF_NewDelivery,
                                             SHCNE_RENAMEFOLDER | SHCNE_RMDIR, kAboveChanged, 1, &whole);
        }
    }
    for (ULONG id : {followId_, aboveId_})
        if (id)
            SHChangeNotifyDeregister(id);
    followId_ = followId;
    aboveId_ = aboveId;
    registered_ = followId ? root : std::wstring();
}

void DetailsPage::StopFollowing() {
    for (ULONG* id : {&followId_, &aboveId_}) {
        if (*id)
            SHChangeNotifyDeregister(*id);
        *id = 0;
    }
    registered_.clear();
    if (!Window())
        return;
    KillTimer(Window(), kChangeTimer);
    // Notifications still queued hold the shell's shared memory until they are locked
    // and let go.
    MSG queued;
    while (PeekMessageW(&queued, Window(), kShellChanged, kAboveChanged, PM_REMOVE)) {
        PIDLIST_ABSOLUTE* lists = nullptr;
        LONG event = 0;
        if (HANDLE lock = SHChangeNotification_Lock(reinterpret_cast<HANDLE>(queued.wParam),
                                                    static_cast<DWORD>(queued.lParam), &lists, &event))
            SHChangeNotification_Unlock(lock);
    }
}

void DetailsPage::OnShellChanged(WPARAM wParam, LPARAM lParam) {
    PIDLIST_ABSOLUTE* lists = nullptr;
    LONG event = 0;
    HANDLE lock = SHChangeNotification_Lock(reinterpret_cast<HANDLE>(wParam),
                                            static_cast<DWORD>(lParam), &lists, &event);
    if (!lock)
        return;
    std::wstring first, second;
    try {
        ComPtr<IShellFolder> desktop;
        if (lists && SUCCEEDED(SHGetDesktopFolder(desktop.put()))) {
            first = PathOf(desktop.get(), lists[0]);
            second = PathOf(desktop.get(), lists[1]);
        }
    } catch (...) {
        SHChangeNotification_Unlock(lock);
        throw;
    }
    SHChangeNotification_Unlock(lock);
    if (!followId_)
        return;
    Change change;
    switch (event & ~SHCNE_INTERRUPT) {
    case SHCNE_MKDIR:
        change = Change::FolderMade;
        break;
    case SHCNE_RMDIR:
        change = Change::FolderRemoved;
        break;
    case SHCNE_RENAMEFOLDER:
        change = Change::FolderRenamed;
        break;
    case SHCNE_UPDATEDIR:
        change = Change::FolderUpdated;
        break;
    case SHCNE_CREATE:
    case SHCNE_DELETE:
    case SHCNE_RENAMEITEM:
    case SHCNE_UPDATEITEM:
        change = Change::Item;
        break;
    default:
        return;
    }
    try {
        browser_.Told(change, first, second, GetTickCount());
    } catch (...) { // out of memory: no value rather than a wrong one
        browser_.Spoiled(GetTickCount());
    }
    try {
        GatheredChanged(event & ~SHCNE_INTERRUPT, first);
        if (!second.empty())
            GatheredChanged(event & ~SHCNE_INTERRUPT, second); // moved in from elsewhere
    } catch (...) { // out of memory: the lists are old, and say so
        statsOld_ = stats_ != nullptr;
    }
    ScheduleChanges();
}

void DetailsPage::ScheduleChanges() {
    // At the time the first change gathered sets; a stream of changes does not move it.
    std::uint32_t due;
    if (!browser_.Gathering(due))
        return;
    const std::uint32_t left = due - GetTickCount();
    SetTimer(Window(), kChangeTimer, static_cast<std::int32_t>(left) > 0 ? left : 1, nullptr);
}

void DetailsPage::TakeChanges() {
    KillTimer(Window(), kChangeTimer);
    Browser::Action action;
    try {
        action = browser_.TakeChanges();
    } catch (...) { // out of memory: no value rather than a wrong one
        browser_.Spoiled(GetTickCount());
        ScheduleChanges(); // the folder listed anew when due
    }
    if (action.what == Browser::Action::ListOther) {
        // The listed folder has a new place, or went: listed there, or the nearest folder
        // above it that is there.
        if (UniqueIdList there{IdListOf(action.path)})
            Fill(there.get());
    } else if (action.what == Browser::Action::Refill) {
        // Items came or went in the listed folder itself: listed anew, its rows' numbers
        // from the kept tree.
        Refill();
    }
    InvalidateRect(list_, nullptr, FALSE);
    ShowState();
    CheckWaiting(); // the walks waited for may have gone with what changed
}

} // namespace rb
