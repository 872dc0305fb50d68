#include "common/message_port.h"

#include <cstdio>

namespace common {

DialogResult StderrMessagePort::show(DialogKind kind, const std::string& text)
{
    if (kind == DialogKind::Question)
        return answer_;
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    return DialogResult::Ok;
}

} // namespace common
