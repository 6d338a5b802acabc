// The cost of saving a kept tree and reading it back. Prints figures; not a test.
//   saved_tree_bench [FOLDERS]
// A tree of 1,000,000 folders (names of 6 to 20 characters, a few beyond ASCII, fan-out
// from none to dozens, up to 12 deep), made through Enter/Done as a walk makes it. Then,
// best of 3 each: that making again (the baseline), SaveTree, and LoadTree.
#include "browse/saved_tree.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

double Best(int runs, const std::function<void()>& work) {
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// A walk's calls, made once and handed to a sink again and again: Enter with a name (an
// offset into `names`), or Done with the folder's totals.
struct Script {
    struct Step {
        bool enter;
        std::uint32_t name, length;
        rb::FolderTotals totals;
    };
    std::vector<Step> steps;
    std::wstring names;
    std::size_t folders = 0;
    std::size_t nameUnits = 0;

    explicit Script(std::size_t target) {
        std::uint64_t seed = 0x9E3779B97F4A7C15ull;
        auto next = [&seed](std::uint32_t below) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            return static_cast<std::uint32_t>((seed >> 33) % below);
        };
        static const wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789 _-ABCDEF\u00E4\u00F6\u00FC\u00DF\u00E9";
        const std::uint32_t letters = sizeof kLetters / sizeof kLetters[0] - 1;
        struct Frame {
            std::uint32_t left, made;
            rb::FolderTotals totals;
        };
        std::vector<Frame> stack;
        auto enter = [&](std::size_t depth) {
            std::uint32_t children = 0;
            if (depth == 0)
                children = 40;
            else if (depth == 1)
                children = 5 + next(26);
            else if (depth < 5)
                children = next(12);
            else if (depth < 12)
                children = next(8) == 0 ? 2 + next(10) : next(2);
            children = static_cast<std::uint32_t>(std::min<std::size_t>(children, target - folders - 1));
            ++folders;
            rb::FolderTotals own;
            own.files = next(30);
            own.size = own.files * (next(4) == 0 ? 1000000 + next(9000000) : next(200000));
            own.folders = children; // its subfolders' entries
            own.whole = true;
            stack.push_back({children, 0, own});
        };
        steps.push_back({true, 0, 0, {}});
        enter(0);
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.made == top.left || folders >= target) {
                const rb::FolderTotals done = top.totals;
                steps.push_back({false, 0, 0, done});
                stack.pop_back();
                if (!stack.empty()) {
                    rb::FolderTotals& parent = stack.back().totals;
                    parent.size += done.size;
                    parent.files += done.files;
                    parent.folders += done.folders;
                }
                continue;
            }
            const std::uint32_t made = top.made++;
            const std::uint32_t length = 6 + next(15);
            const std::uint32_t at = static_cast<std::uint32_t>(names.size());
            for (std::uint32_t i = 0; i + 2 < length; ++i)
                names.push_back(kLetters[next(8) == 0 ? next(letters) : next(26)]);
            names.push_back(static_cast<wchar_t>(L'A' + made / 26 % 26)); // unique among siblings
            names.push_back(static_cast<wchar_t>(L'a' + made % 26));
            nameUnits += length;
            steps.push_back({true, at, length, {}});
            enter(stack.size());
        }
    }

    void Play(rb::WalkSink& sink) const {
        std::vector<rb::WalkSink::Handle> open;
        for (const Step& step : steps) {
            if (step.enter) {
                open.push_back(open.empty() ? sink.Enter(0, L"", 0)
                                            : sink.Enter(open.back(), names.c_str() + step.name, step.length));
            } else {
                sink.Done(open.back(), step.totals, true);
                open.pop_back();
            }
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    const std::size_t target = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const Script script(target);
    const std::wstring root = L"\\\\?\\C:\\Daten";

    const double build = Best(3, [&] {
        rb::KeptTree tree;
        script.Play(tree);
    });
    rb::KeptTree walked;
    script.Play(walked);
    rb::KeptTree kept;
    kept.Graft(root, std::move(walked));

    rb::SavedTreeInfo info{root, 133500000000000000ull, 0x1234ABCDu, 0x0005000000001234ull, false};
    std::string bytes;
    bool saved = true;
    const double save = Best(3, [&] { saved = rb::SaveTree(kept, info, bytes) && saved; });
    bool loaded = true;
    std::size_t loadedFolders = 0;
    const double load = Best(3, [&] {
        rb::KeptTree into;
        rb::SavedTreeInfo read;
        loaded = rb::LoadTree(bytes.data(), bytes.size(), read, into) && loaded;
        loadedFolders = into.Folders();
    });

    std::printf("Saved tree, %s build\n", sizeof(void*) == 4 ? "32-bit" : "64-bit");
    std::printf("  folders                    %zu (saved %llu, read back %zu)%s\n", script.folders,
                static_cast<unsigned long long>(info.folders), loadedFolders,
                saved && loaded ? "" : "  FAILED");
    std::printf("  file bytes                 %zu\n", bytes.size());
    std::printf("  bytes per folder           %.1f (%.1f without the names' %zu units)\n",
                double(bytes.size()) / script.folders,
                double(bytes.size() - 2 * script.nameUnits) / script.folders, script.nameUnits);
    std::printf("  made through Enter/Done    %7.1f ms (baseline)\n", build * 1000);
    std::printf("  SaveTree                   %7.1f ms (%.2f x the baseline)\n", save * 1000, save / build);
    std::printf("  LoadTree                   %7.1f ms (%.2f x the baseline)\n", load * 1000, load / build);
    return saved && loaded ? 0 : 1;
}
