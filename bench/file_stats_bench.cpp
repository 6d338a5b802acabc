// The cost of gathering file statistics during a walk. Prints figures; not a test.
//   file_stats_bench [TREE]
// 1. A tree held in memory, 1,000 folders of 100 files (sizes and types varied): the walk
//    with a FileStats sink against the same walk without one, interleaved, best of 9.
// 2. Windows builds, with TREE: the same on the disk, through the product's stoppable walk
//    (best of 5).
// Then what the statistics hold: bytes, kept files and the folder paths they share.
#include "browse/file_stats.h"
#include "columns/tree_walk.h"
#ifdef _WIN32
#include "columns/folder_walk.h"
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// 20 groups of 50 folders of 100 files, listed from memory the way a file system would.
class MemoryTree : public rb::DirectoryLister {
public:
    explicit MemoryTree(const std::wstring& root) {
        static const wchar_t* const kTypes[] = {L".txt", L".JPG",  L".jpg", L".dll", L".tar.gz",
                                                L"",     L".docx", L".h",   L".cpp", L".mp4"};
        std::uint64_t seed = 12345;
        std::uint64_t id = 100;
        std::vector<Item>& top = Folder(root, id++);
        for (int g = 0; g < 20; ++g) {
            wchar_t group[8];
            std::swprintf(group, 8, L"g%02d", g);
            top.push_back({group, rb::kAttributeDirectory, 0, id});
            std::vector<Item>& groupItems = Folder(root + group + L"\\", id++);
            for (int d = 0; d < 50; ++d) {
                wchar_t folder[8];
                std::swprintf(folder, 8, L"d%04d", g * 50 + d);
                groupItems.push_back({folder, rb::kAttributeDirectory, 0, id});
                std::vector<Item>& files = Folder(root + group + L"\\" + folder + L"\\", id++);
                for (int f = 0; f < 100; ++f) {
                    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
                    wchar_t name[32];
                    std::swprintf(name, 32, L"datei%03d%ls", f, kTypes[(seed >> 33) % 10]);
                    // Mostly small, some big: sizes spread over six decades.
                    const std::uint64_t size =
                        (seed >> 40) % 1000 * ((seed >> 20) % 7 == 0 ? 1000000 : 100);
                    files.push_back({name, 0x20, size, id++});
                }
            }
        }
    }

    rb::Listing List(const std::wstring& path, rb::EntrySink& sink) override {
        auto found = folders_.find(path);
        if (found == folders_.end())
            return rb::Listing::NotListable;
        for (const Item& item : found->second)
            sink.Entry({item.name.c_str(), item.name.size(), item.attributes, 0, item.size, item.id,
                        item.id * 977});
        return rb::Listing::Whole;
    }
    bool SameFolder(const std::wstring& a, const std::wstring& b) override { return a == b; }
    std::uint64_t Identify(const std::wstring&) override { return 0; }

private:
    struct Item {
        std::wstring name;
        std::uint32_t attributes;
        std::uint64_t size;
        std::uint64_t id;
    };
    std::vector<Item>& Folder(const std::wstring& path, std::uint64_t id) {
        std::vector<Item>& items = folders_[path];
        items.push_back({L".", rb::kAttributeDirectory, 0, id});
        items.push_back({L"..", rb::kAttributeDirectory, 0, 0});
        return items;
    }
    std::map<std::wstring, std::vector<Item>> folders_;
};

// Best times of the plain walk and of the gathering one, run by turns.
void Compare(const char* what, int runs, const std::function<std::uint64_t()>& plain,
             const std::function<std::uint64_t(rb::FileStats&)>& gathering) {
    double plainBest = 1e9, gatheringBest = 1e9;
    std::uint64_t files = 0;
    rb::FileStats kept;
    for (int run = 0; run < runs; ++run) {
        plainBest = std::min(plainBest, Seconds([&] { files = plain(); }));
        rb::FileStats stats;
        gatheringBest = std::min(gatheringBest, Seconds([&] { gathering(stats); }));
        if (run == 0)
            kept = stats;
    }
    std::printf("%s, %llu files (best of %d): walk %8.2f ms, with file statistics %8.2f ms, "
                "ratio %.3f (target 1.05)\n",
                what, static_cast<unsigned long long>(files), runs, plainBest * 1e3,
                gatheringBest * 1e3, gatheringBest / plainBest);
    std::printf("  held: %zu bytes, %zu largest files in %zu folder paths, %zu types, %llu files "
                "counted\n",
                kept.MemoryBytes(), kept.Largest().size(), kept.FoldersHeld(), kept.Types().size(),
                static_cast<unsigned long long>(kept.Files()));
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main() {
#endif
    const std::wstring root = L"\\\\?\\C:\\bench\\";
    MemoryTree tree(root);
    Compare(
        "tree in memory", 9, [&] { return rb::WalkTree(root, tree).files; },
        [&](rb::FileStats& stats) {
            rb::FileStatsSink sink(stats);
            return rb::WalkTree(root, tree, nullptr, nullptr, &sink).files;
        });
#ifdef _WIN32
    if (argc > 1) {
        const std::wstring disk = rb::ExtendedPath(argv[1]);
        const std::atomic<bool> stop{false};
        Compare(
            "tree on disk", 5, [&] { return rb::WalkFolderStoppable(disk, stop).files; },
            [&](rb::FileStats& stats) {
                rb::FileStatsSink sink(stats);
                return rb::WalkFolderStoppable(disk, stop, nullptr, nullptr, nullptr, &sink).files;
            });
    }
#endif
    return 0;
}
