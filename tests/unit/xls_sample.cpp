// Writes a small export as a BIFF2 file, for reading it back with another reader.
#include "export/biff2/worksheet.h"
#include "export/formats.h"
#include "export/list_source.h"

#include <cstdio>
#include <memory>

namespace {

class FileSink : public rb::ByteSink {
public:
    explicit FileSink(FILE* file) : file_(file) {}
    void Write(const void* data, std::size_t size) override { std::fwrite(data, 1, size, file_); }
    void Close() override { std::fclose(file_); }

private:
    FILE* file_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    rb::MemoryListSource list;
    list.columns = {{"Name", 100},
                    {"Gr\xF6\xDF"
                     "e",
                     60},
                    {"", 40}};
    list.rows = {{"a.txt", "12 KB", "x"}, {"b", "", "\xC4rger & <Co>"}};
    for (int r = 0; r < 20000; ++r)
        list.rows.push_back({"n" + std::to_string(r), std::to_string(r), ""});
    FILE* file = std::fopen(argv[1], "wb");
    if (!file)
        return 1;
    rb::BiffStream stream(std::unique_ptr<rb::ByteSink>(new FileSink(file)));
    rb::WriteXls(list, stream);
    return 0;
}
