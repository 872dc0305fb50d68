#include "platform/status_batch.h"

#include "platform/read_profile.h"

#include <fcntl.h>
#include <liburing.h>

#include <cerrno>

namespace platform {

namespace {

constexpr int kFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;

void queryOne(int dirFd, const std::string& name, unsigned mask, StatusBatch::Status& status)
{
    status.error = ::statx(dirFd, name.c_str(), kFlags, mask, &status.sx) == 0 ? 0 : errno;
}

} // namespace

struct StatusBatch::Ring {
    io_uring ring{};
    ~Ring() { ::io_uring_queue_exit(&ring); }
};

StatusBatch::StatusBatch(StatusAsking asking)
{
    if (asking == StatusAsking::OneByOne || !ioUringAllowed())
        return;
    auto ring = std::make_unique<Ring>();
    if (::io_uring_queue_init(static_cast<unsigned>(kMaxNames), &ring->ring, 0) < 0)
        return; // io_uring disabled or refused by a filter: one by one
    ring_ = std::move(ring);
}

StatusBatch::~StatusBatch() = default;

void StatusBatch::query(int dirFd, const std::vector<std::string>& names, unsigned mask, std::vector<Status>& statuses)
{
    statuses.assign(names.size(), Status{});
    if (!ring_ || names.size() < 2) {
        for (std::size_t i = 0; i < names.size(); ++i)
            queryOne(dirFd, names[i], mask, statuses[i]);
        return;
    }
    for (std::size_t begin = 0; begin < names.size(); begin += kMaxNames) {
        std::size_t end = std::min(names.size(), begin + kMaxNames);
        for (std::size_t i = begin; i < end; ++i) {
            io_uring_sqe* sqe = ::io_uring_get_sqe(&ring_->ring);
            ::io_uring_prep_statx(sqe, dirFd, names[i].c_str(), kFlags, mask, &statuses[i].sx);
            ::io_uring_sqe_set_data64(sqe, i);
        }
        std::size_t waiting = end - begin;
        if (::io_uring_submit_and_wait(&ring_->ring, static_cast<unsigned>(waiting)) < 0) {
            // Nothing was submitted (or the ring broke): the rest one by one.
            for (std::size_t i = begin; i < names.size(); ++i)
                queryOne(dirFd, names[i], mask, statuses[i]);
            ring_.reset();
            return;
        }
        while (waiting > 0) {
            io_uring_cqe* cqe = nullptr;
            int rc = ::io_uring_wait_cqe(&ring_->ring, &cqe);
            if (rc == -EINTR)
                continue;
            if (rc < 0) {
                ring_.reset(); // ends what is still in flight before the buffers are reused
                for (std::size_t k = begin; k < names.size(); ++k)
                    queryOne(dirFd, names[k], mask, statuses[k]);
                return;
            }
            std::size_t i = ::io_uring_cqe_get_data64(cqe);
            statuses[i].error = cqe->res < 0 ? -cqe->res : 0;
            ::io_uring_cqe_seen(&ring_->ring, cqe);
            --waiting;
        }
    }
}

} // namespace platform
