#pragma once

namespace platform {

// True when another process has the file behind fd open for writing: a read lease cannot be
// taken then. The lease is released at once. Where leases are not permitted at all (not the
// file's owner, a filesystem without leases) the probe tells nothing and says false.
bool heldByWriter(int fd);

} // namespace platform
