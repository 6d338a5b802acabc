// The worker's gathering of file statistics on real folders.
#include <gtest/gtest.h>

#include "browse/walk_worker.h"
#include "support.h"
#include "windows_found.h"

#include <string>
#include <vector>

namespace {

TEST(WalkWorker, AGatheringAnswersWithTheFilesOfTheTreeAndNoKeptTree) {
    rbtest::TempDir dir;
    dir.MakeDir(L"sub");
    dir.WriteFile(L"a.BIN", std::string(10, 'a'));
    dir.WriteFile(L"sub\\b.txt", "bbb");
    dir.WriteFile(L"sub\\c", "");
    auto worker = rb::WalkWorker::Create(nullptr, 0, std::make_shared<rb::KeptStore>());
    ASSERT_TRUE(worker->Ask(7, rb::ExtendedPath(dir.Path()), rb::JobKind::Gather));
    std::vector<rb::WalkWorker::Result> results;
    ASSERT_TRUE(rbtest::WaitUntil([&] {
        results = worker->TakeResults();
        return !results.empty();
    }));
    EXPECT_TRUE(worker->Stop(10000));
    ASSERT_EQ(results.size(), 1u);
    const rb::WalkWorker::Result& result = results[0];
    EXPECT_EQ(result.id, 7u);
    EXPECT_EQ(result.kind, rb::JobKind::Gather);
    EXPECT_EQ(result.outcome.listing, rb::Listing::Whole);
    EXPECT_EQ(result.kept.Folders(), 0u);
    ASSERT_TRUE(result.files);
    std::vector<std::wstring> largest;
    for (const rb::LargeFile& f : result.files->Largest())
        largest.push_back(f.folder + L"|" + f.name + L"|" + std::to_wstring(f.size));
    EXPECT_EQ(largest,
              (std::vector<std::wstring>{dir.Path() + L"|a.BIN|10", dir.Path() + L"\\sub|b.txt|3",
                                         dir.Path() + L"\\sub|c|0"}));
    EXPECT_EQ(result.files->Types().size(), 3u);
}

} // namespace
