// A file system held in memory, for the browser's model test: folders by id, entries by
// their folded names, links (marked) and loops (unmarked entries back to a folder above),
// folders that cannot be listed and listings that break off once. Paths are extended
// ("\\?\C:\R\a"), the drive's root is folder 1.
#pragma once

#include "columns/tree_walk.h"
#include "common/name_fold.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace rb {

class MemoryFs : public DirectoryLister {
public:
    struct Entry {
        std::wstring name;
        bool folder = false;
        bool owns = true;  // the folder's own entry; false for links and loops
        bool link = false; // marked as a link (not entered by a walk)
        std::uint64_t size = 0;
        std::uint64_t id = 0; // the folder's, or the file's own
    };
    struct Folder {
        std::map<std::wstring, Entry> entries; // by folded name
        bool unlistable = false;
    };
    static constexpr const wchar_t* kDrive = L"\\\\?\\C:";

    std::map<std::uint64_t, Folder> folders{{1, Folder()}};
    std::set<std::uint64_t> breakOnce; // the next listing of these breaks off
    std::set<std::uint64_t> breakAlways; // every listing of these breaks off
    int broken = 0; // listings broken off by the two above
    std::function<void()> beforeListing;
    std::uint64_t nextId = 100;

    // The folder at `path` (a trailing "\" is taken off), through links and loops.
    std::uint64_t Resolve(std::wstring path) const {
        if (!path.empty() && path.back() == L'\\')
            path.pop_back();
        if (path.compare(0, 6, kDrive) != 0)
            return 0;
        std::uint64_t id = 1;
        for (std::size_t at = 6; at < path.size();) {
            std::size_t end = path.find(L'\\', at + 1);
            end = end == std::wstring::npos ? path.size() : end;
            const Entry* entry = Find(id, path.substr(at + 1, end - at - 1));
            if (!entry || !entry->folder || !folders.count(entry->id))
                return 0;
            id = entry->id;
            at = end;
        }
        return id;
    }
    const Entry* Find(std::uint64_t folder, const std::wstring& name) const {
        auto f = folders.find(folder);
        if (f == folders.end())
            return nullptr;
        auto e = f->second.entries.find(FoldName(name));
        return e == f->second.entries.end() ? nullptr : &e->second;
    }

    Listing List(const std::wstring& path, EntrySink& sink) override {
        if (beforeListing)
            beforeListing();
        const std::uint64_t id = Resolve(path);
        if (!id)
            return Listing::Gone;
        if (folders[id].unlistable)
            return Listing::NotListable;
        sink.Entry({L".", 1, kAttributeDirectory, 0, 7, id, 0});
        if (breakOnce.erase(id) || breakAlways.count(id))
            return ++broken, Listing::BrokeOff;
        sink.Entry({L"..", 2, kAttributeDirectory, 0, 11, 0, 0});
        for (const auto& item : folders[id].entries) {
            const Entry& e = item.second;
            sink.Entry({e.name.c_str(), e.name.size(),
                        e.folder ? kAttributeDirectory | (e.link ? kAttributeReparsePoint : 0) : 0x20u,
                        e.link ? 0xA000000Cu : 0, e.size, e.id, 0});
        }
        return Listing::Whole;
    }
    bool SameFolder(const std::wstring& a, const std::wstring& b) override {
        return Resolve(a) != 0 && Resolve(a) == Resolve(b);
    }
    std::uint64_t Identify(const std::wstring& path) override { return Resolve(path); }

    // Every folder reached through the folders' own entries from `top`, with its path.
    std::vector<std::pair<std::wstring, std::uint64_t>> Tree(const std::wstring& top) const {
        std::vector<std::pair<std::wstring, std::uint64_t>> found, stack{{top, Resolve(top)}};
        while (!stack.empty()) {
            auto folder = stack.back();
            stack.pop_back();
            if (!folder.second)
                continue;
            found.push_back(folder);
            for (const auto& item : folders.at(folder.second).entries)
                if (item.second.folder && item.second.owns)
                    stack.push_back({folder.first + L'\\' + item.second.name, item.second.id});
        }
        return found;
    }
    // A folder and everything it owns go.
    void Erase(std::uint64_t id) {
        for (const auto& item : folders[id].entries)
            if (item.second.folder && item.second.owns)
                Erase(item.second.id);
        folders.erase(id);
    }
};

} // namespace rb
