// The details page's remembered trees: each whole walked tree saved when the page lets it
// go (and every few minutes), and read back when a folder in it is listed again.
#include "ui/details_page.h"

#include "browse/saved_tree.h"
#include "browse/tree_shelf.h"
#include "columns/option_store.h"
#include "common/module_thread.h"
#include "common/name_fold.h"
#include "resource_ids.h"

#include <memory>
#include <utility>

namespace rb {

namespace {

volatile LONG savesPending = 0;
volatile LONG recallsAnswered = 0;

} // namespace

LONG DetailsPage::SavesPending() {
    return InterlockedCompareExchange(&savesPending, 0, 0);
}

LONG DetailsPage::RecallsAnswered() {
    return InterlockedCompareExchange(&recallsAnswered, 0, 0);
}

void DetailsPage::Keep(const KeptTree& tree, const std::vector<std::wstring>& roots) {
    keptVersion_ = tree.Version();
    if (!RememberFolderSizes())
        return;
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    auto saves = std::make_shared<std::vector<std::pair<SavedTreeInfo, std::string>>>();
    for (const std::wstring& root : roots) {
        SavedTreeInfo info;
        info.root = root;
        info.savedAt = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
        info.remote = IsRemotePath(root);
        if (!TreeIdentity(root, info.volumeSerial, info.folderId))
            continue; // not told apart from another volume's folder at its path
        // Saved while its tree is shown: what it holds is walked, not to be read back.
        recalls_[FoldName(root)] = true;
        std::string bytes;
        try {
            if (SaveTree(tree, info, bytes) && bytes.size() <= kShelfFileLimit)
                saves->emplace_back(std::move(info), std::move(bytes));
        } catch (const std::bad_alloc&) { // not saved rather than the page gone
        }
    }
    if (saves->empty())
        return;
    // Written beside the window; the thread holds the module until it is done. Not at all
    // once the user deleted everything saved after this.
    const unsigned clears = ShelfClears();
    InterlockedIncrement(&savesPending);
    HANDLE thread = StartModuleThread([saves, clears] {
        for (const auto& save : *saves)
            PutOnShelf(save.first, save.second, clears);
        InterlockedDecrement(&savesPending);
    });
    if (thread)
        CloseHandle(thread);
    else
        InterlockedDecrement(&savesPending);
}

void DetailsPage::SaveNow() {
    if (browser_.Tree().Version() != keptVersion_)
        browser_.KeepTrees();
}

void DetailsPage::Recall(const std::wstring& listed) {
    if (listed.empty() || !RememberFolderSizes())
        return;
    // Read again only when a tree was saved or went since; not while a save writes (tried
    // again a moment later).
    const unsigned changes = ShelfChanges();
    if (!shelfRead_ || changes != shelfChanges_) {
        if (!ListShelf(shelf_, false)) {
            SetTimer(Window(), kShelfTimer, kShelfMilliseconds, nullptr);
            if (!shelfRead_)
                return;
        } else {
            shelfRead_ = true;
            shelfChanges_ = changes;
        }
    }
    // The saved tree the deepest at or above the folder, and those of its rows.
    const ShelfEntry* above = nullptr;
    std::vector<const ShelfEntry*> wanted;
    for (const ShelfEntry& entry : shelf_) {
        const std::wstring& root = entry.info.root;
        if (AtOrBelow(listed, root)) {
            if (!above || root.size() > above->info.root.size())
                above = &entry;
        } else if (SameName(ParentPath(root), listed)) {
            wanted.push_back(&entry);
        }
    }
    if (above)
        wanted.insert(wanted.begin(), above);
    for (const ShelfEntry* entry : wanted) {
        const std::wstring key = FoldName(entry->info.root);
        if (recalls_.count(key) || browser_.SavedCovers(entry->info.root))
            continue; // asked once while its tree is shown
        if (!worker_)
            worker_ = WalkWorker::Create(Window(), kStatisticsReady, browser_.Store());
        if (worker_->Recall(kRecallIds | (++recallSerial_ & (kRecallIds - 1)), *entry,
                            browser_.SavedStore()))
            recalls_[key] = false;
    }
}

void DetailsPage::Recalled(WalkWorker::Result& result) {
    const std::wstring key = FoldName(result.saved.root);
    for (auto& recall : recalls_)
        if (SameName(recall.first, key))
            recall.second = true;
    if (result.recalled)
        browser_.Recalled(result.saved.root, result.saved.savedAt, std::move(result.kept));
    InterlockedIncrement(&recallsAnswered);
}

bool DetailsPage::Checking(const std::wstring& path) const {
    if (browser_.Checked(path))
        return false; // walked since: what changed is walked as usual
    if (browser_.SavedCovers(path))
        return true;
    const std::wstring key = FoldName(path);
    for (const auto& recall : recalls_)
        if (!recall.second && AtOrBelow(key, recall.first))
            return true; // its saved tree is being read
    return false;
}

std::wstring DetailsPage::SavedAtText() const {
    const std::uint64_t at = browser_.SavedAt();
    if (!at)
        return std::wstring();
    FILETIME utc = {static_cast<DWORD>(at), static_cast<DWORD>(at >> 32)};
    FILETIME local = {};
    SYSTEMTIME time = {};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time))
        return std::wstring();
    wchar_t text[32];
    wsprintfW(text, L"%02u.%02u.%04u %02u:%02u", time.wDay, time.wMonth, time.wYear, time.wHour,
              time.wMinute);
    return text;
}

} // namespace rb
