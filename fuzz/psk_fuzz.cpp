// Opens arbitrary bytes as an archive in both modes and extracts every member, loading the
// pictures and texts among them the way the catalogue would.
#include "fuzz/psk_exercise.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

class SilentPort final : public common::MessagePort {
public:
    common::DialogResult show(common::DialogKind, const std::string&) override { return common::DialogResult::Ok; }
    void beep() override {}
};

// The process's own directory for the input file and the module's base directory, removed
// when the process ends normally (libFuzzer ends by exit() after its time is up).
class WorkDir {
public:
    WorkDir()
    {
        char pattern[] = "/tmp/psk-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            std::abort();
        path_ = pattern;
    }
    ~WorkDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const std::string& workDir()
{
    static const WorkDir dir;
    return dir.path();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SilentPort port;
    fuzzing::exerciseArchive(workDir(), {data, size}, port);
    return 0;
}

#ifdef PSK_FUZZ_REPLAY
// Without libFuzzer: replays the inputs named on the command line.
int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        std::printf("replayed %s\n", argv[i]);
    }
    return 0;
}
#endif
