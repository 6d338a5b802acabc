// A tree held in memory, listed the way a file system would: for the walk's tests.
#pragma once

#include "columns/tree_walk.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace rb {

// A tree held in memory, listed the way a file system would.
class FakeLister : public DirectoryLister {
public:
    struct Item {
        std::wstring name;
        std::uint32_t attributes;
        std::uint64_t size;
        std::uint64_t id;
        std::uint32_t tag;
        std::uint64_t writeTime = 0;
    };
    std::map<std::wstring, std::vector<Item>> folders;
    std::vector<std::wstring> listed;
    std::set<std::wstring> brokenFolders;
    int sameFolderQuestions = 0;
    bool sameFolderAnswer = true;

    // A folder with "." and ".." (sizes 7 and 11, so that their sum shows).
    void Folder(const std::wstring& path, std::uint64_t id, std::vector<Item> items) {
        items.insert(items.begin(), {{L".", kAttributeDirectory, 7, id, 0},
                                     {L"..", kAttributeDirectory, 11, 0, 0}});
        folders[path] = items;
    }

    Listing List(const std::wstring& path, EntrySink& sink) override {
        listed.push_back(path);
        auto it = folders.find(path);
        if (it == folders.end())
            return Listing::NotListable;
        // A listing that breaks off hands over its first entry only.
        bool breaks = brokenFolders.count(path) != 0;
        for (const Item& item : it->second) {
            sink.Entry({item.name.c_str(), item.name.size(), item.attributes, item.tag, item.size,
                        item.id, item.writeTime});
            if (breaks)
                return Listing::BrokeOff;
        }
        return Listing::Whole;
    }
    bool SameFolder(const std::wstring&, const std::wstring&) override {
        ++sameFolderQuestions;
        return sameFolderAnswer;
    }
    // The id of its "." entry.
    std::uint64_t Identify(const std::wstring& path) override {
        auto it = folders.find(path);
        return it == folders.end() || it->second.empty() ? 0 : it->second.front().id;
    }
};

const std::uint32_t kDir = kAttributeDirectory;
const std::uint32_t kLink = kAttributeDirectory | kAttributeReparsePoint;

} // namespace rb
