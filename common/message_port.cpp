#include "common/message_port.h"

#include "common/encoding.h"

#include <cstdio>

namespace common {

DialogResult StderrMessagePort::show(DialogKind kind, const std::string& text)
{
    if (kind == DialogKind::Question)
        return answer_;
    std::string line = messageLine(text);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    return DialogResult::Ok;
}

} // namespace common
