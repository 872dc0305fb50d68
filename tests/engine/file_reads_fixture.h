#pragma once
#include "engine/file_reads.h"
#include "read_recorder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace reads_testing {

// Runs each test on the io_uring path (true) and on the reader threads (false).
class FileReadsTest : public ::testing::TestWithParam<bool> {
protected:
    platform::ReadProfile profile() const
    {
        platform::ReadProfile p;
        p.useIoUring = GetParam();
        return p;
    }
    std::unique_ptr<engine::FileReads> start(platform::ReadProfile p)
    {
        auto reads = std::make_unique<engine::FileReads>(recorder_.poster(), p);
        recorder_.attach(*reads);
        return reads;
    }
    std::unique_ptr<engine::FileReads> start() { return start(profile()); }

    // Opens path and hands it to reads as the next job; false if it could not be opened.
    bool add(engine::FileReads& reads, const std::string& path, std::int64_t listedSize, bool quick = false)
    {
        return addTo(recorder_, reads, nextJob_++, path, listedSize, quick);
    }
    static bool addTo(ReadRecorder& recorder, engine::FileReads& reads, std::uint64_t job, const std::string& path,
                      std::int64_t listedSize, bool quick = false)
    {
        engine::FileToRead f;
        f.job = job;
        f.listedSize = listedSize;
        f.quick = quick;
        if (f.file.open(path, quick ? platform::ReadPattern::FirstBytes : platform::ReadPattern::WholeFile) !=
            platform::OpenResult::Opened)
            return false;
        recorder.expect(f.job, listedSize, quick);
        reads.add(std::move(f));
        return true;
    }

    ReadRecorder recorder_;
    std::uint64_t nextJob_ = 1;
};

inline std::string pathName(const ::testing::TestParamInfo<bool>& param)
{
    return param.param ? "io_uring" : "threads";
}

} // namespace reads_testing
