// The fuzz targets as plain programs, for builds without libFuzzer: each
// argument, a file or a folder of files, is one input or a corpus, run as
// libFuzzer replays it.  ctest replays the committed corpora this way, so
// that every case found or written down stays a test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

int replay(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
        return 0;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    int ran = 0;
    for (int i = 1; i < argc; i++) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto &e : std::filesystem::directory_iterator(p))
                if (e.is_regular_file())
                    ran += replay(e.path());
        } else {
            ran += replay(p);
        }
    }
    std::printf("%d inputs replayed\n", ran);
    return ran > 0 ? 0 : 1;  // a corpus that ran nothing is a fault too
}
