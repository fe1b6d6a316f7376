// make_moved_row_files SAMPLES OUT: writes the files with moved rows that the tests build
// (for the fuzzer's seed corpus, or to look at them with mdbtools).
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "tests/jet/jet_moved_rows.h"

namespace {

void Write(const std::string& path, const orbiq::ByteSet& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_moved_row_files SAMPLES-FOLDER OUT-FOLDER\n";
        return 2;
    }
    std::string out = argv[2];
    Write(out + "/catalogue-moved-rows.mdb", orbiq::test::CatalogueWithMovedRows().file);
    std::ifstream in(std::string(argv[1]) + "/V2000_no-password.mdb", std::ios::binary);
    orbiq::ByteSet sample((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (sample.empty()) {
        std::cerr << "no V2000_no-password.mdb in " << argv[1] << "\n";
        return 1;
    }
    Write(out + "/engine-moved-rows.mdb", orbiq::test::EngineFileWithMovedRows(sample).file);
    return 0;
}
