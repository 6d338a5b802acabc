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
    std::vector<std::wstring> largest, types;
    for (const rb::LargeFile& f : result.files->Largest())
        largest.push_back(f.folder + L"|" + f.name + L"|" + std::to_wstring(f.size));
    for (const rb::FileType& t : result.files->Types())
        types.push_back(t.extension + L"|" + std::to_wstring(t.bytes) + L"|" +
                        std::to_wstring(t.files));
    EXPECT_EQ(largest,
              (std::vector<std::wstring>{dir.Path() + L"|a.BIN|10", dir.Path() + L"\\sub|b.txt|3",
                                         dir.Path() + L"\\sub|c|0"}));
    EXPECT_EQ(types, (std::vector<std::wstring>{L".bin|10|1", L".txt|3|1", L"|0|1"}));
}

} // namespace
